// Image pyramid by subsampling, with optional 3 x 3 smoothing before each halving.
#include "processing/algebra/pyramid.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include <emmintrin.h>

#include "foundation/erro.h"
#include "processing/kernels/isa.h"

namespace {

// floor(log(n / min) / ln 2) + 1, or 0 when that is below 1.
int level_count(int n, int min) {
  const double levels = std::floor(std::log(static_cast<double>(n) / min) / 0.6931471805599453) + 1;
  return levels >= 1 ? static_cast<int>(levels) : 0;
}

// One row of the next level from the rows of a level whose sides are even (every level but
// the coarsest). Smoothing is the separable 3 x 3 mean with outside samples left out, taken
// only where it is kept: the vertical mean t of rows up, mid, dn (up null on the first row,
// where only mid and dn count) at every column, then out[i] the mean of t over columns
// 2i - 1 .. 2i + 1 (2i and 2i + 1 for i = 0). Each mean is rounded with halves up; a sum over
// three never ends in a half, so that is (s + 1) / 3, and over two (s + 1) / 2.
struct Rows {
  const uint8_t* up;
  const uint8_t* mid;
  const uint8_t* dn;
};

inline unsigned vertical(const Rows& r, int64_t j) {
  return r.up ? (r.up[j] + r.mid[j] + r.dn[j] + 1u) / 3 : (r.mid[j] + r.dn[j] + 1u) >> 1;
}

inline uint8_t smoothed(const Rows& r, int64_t i) {
  if (i == 0) return static_cast<uint8_t>((vertical(r, 0) + vertical(r, 1) + 1) >> 1);
  return static_cast<uint8_t>(
      (vertical(r, 2 * i - 1) + vertical(r, 2 * i) + vertical(r, 2 * i + 1) + 1) / 3);
}

// Outputs i .. n - 1 one at a time (the plain tier, and the vector loops' tails).
inline void smooth_from(const Rows& r, uint8_t* out, int64_t i, int64_t n) {
  for (; i < n; i++) out[i] = smoothed(r, i);
}
inline void halve_from(const uint8_t* in, uint8_t* out, int64_t i, int64_t n) {
  for (; i < n; i++) out[i] = in[2 * i];
}

// Vectors of W 16-bit lanes and of W bytes.
template <int W>
struct Lanes;
#define VISTELMO_LANES(W)                                     \
  template <>                                                 \
  struct Lanes<W> {                                           \
    typedef uint16_t U16 __attribute__((vector_size(2 * W))); \
    typedef uint8_t U8 __attribute__((vector_size(W)));       \
  };
VISTELMO_LANES(8)
VISTELMO_LANES(16)
VISTELMO_LANES(32)
#undef VISTELMO_LANES

template <class U16, size_t... K>
__attribute__((always_inline)) inline U16 shifted_lanes(const U16& prev, const U16& cur,
                                                        std::index_sequence<K...>) {
  return __builtin_shufflevector(prev, cur, (sizeof...(K) - 1 + K)...);
}

// v = prev's last lane, then cur's lanes but its last (by reference: no vector return without
// AVX). Without SSSE3 the generic shuffle becomes lane extractions; byte shifts do it there.
template <class U16>
__attribute__((always_inline)) inline void shifted_in(const U16& prev, const U16& cur, U16& v) {
  if constexpr (sizeof(U16) == 16) {
    __m128i p, c;
    __builtin_memcpy(&p, &prev, 16);
    __builtin_memcpy(&c, &cur, 16);
    const __m128i r = _mm_or_si128(_mm_slli_si128(c, 2), _mm_srli_si128(p, 14));
    __builtin_memcpy(&v, &r, 16);
  } else {
    v = shifted_lanes(prev, cur, std::make_index_sequence<sizeof(U16) / 2>());
  }
}

// W outputs at a time, in 16-bit lanes: a lane read from two bytes holds an even column in its
// low byte and the odd one after it in its high byte. The vertical means of the odd columns
// 2i - 1 come from the previous block's odd lanes moved up by one.
template <int W>
__attribute__((always_inline)) inline void smooth_row_body(const Rows& r, uint8_t* out, int64_t n) {
  typedef typename Lanes<W>::U16 U16;
  typedef typename Lanes<W>::U8 U8;
  auto load = [](U16& v, const uint8_t* p) { __builtin_memcpy(&v, p, sizeof v); };
  int64_t i = 0;
  if (n >= W) {
    U16 prev_odd = {};
    for (; i + W <= n; i += W) {
      U16 m, d, even, odd;
      load(m, r.mid + 2 * i);
      load(d, r.dn + 2 * i);
      even = (m & 0xFF) + (d & 0xFF) + 1;
      odd = (m >> 8) + (d >> 8) + 1;
      if (r.up) {
        U16 u;
        load(u, r.up + 2 * i);
        even = (even + (u & 0xFF)) / 3;
        odd = (odd + (u >> 8)) / 3;
      } else {
        even >>= 1;
        odd >>= 1;
      }
      U16 left;
      shifted_in(prev_odd, odd, left);
      const U8 o = __builtin_convertvector((left + even + odd + 1) / 3, U8);
      __builtin_memcpy(out + i, &o, sizeof o);
      prev_odd = odd;
    }
    out[0] = smoothed(r, 0);
  }
  smooth_from(r, out, i, n);
}

// out[i] = in[2i]: the low bytes of 16-bit lanes.
template <int W>
__attribute__((always_inline)) inline void halve_row_body(const uint8_t* in, uint8_t* out,
                                                          int64_t n) {
  typedef typename Lanes<W>::U16 U16;
  typedef typename Lanes<W>::U8 U8;
  int64_t i = 0;
  for (; i + W <= n; i += W) {
    U16 v;
    __builtin_memcpy(&v, in + 2 * i, sizeof v);
    const U8 o = __builtin_convertvector(v, U8);
    __builtin_memcpy(out + i, &o, sizeof o);
  }
  halve_from(in, out, i, n);
}

struct RowKernels {
  void (*smooth)(const Rows& r, uint8_t* out, int64_t n);
  void (*halve)(const uint8_t* in, uint8_t* out, int64_t n);
};

#define VISTELMO_PYRAMID_KERNELS(name, attr, W)                        \
  attr void smooth_##name(const Rows& r, uint8_t* out, int64_t n) {    \
    smooth_row_body<W>(r, out, n);                                     \
  }                                                                    \
  attr void halve_##name(const uint8_t* in, uint8_t* out, int64_t n) { \
    halve_row_body<W>(in, out, n);                                     \
  }                                                                    \
  const RowKernels kernels_##name = {smooth_##name, halve_##name};

VISTELMO_PYRAMID_KERNELS(portable, , 8)
VISTELMO_PYRAMID_KERNELS(avx2, __attribute__((target(VISTELMO_TARGET_AVX2))), 16)
VISTELMO_PYRAMID_KERNELS(avx512, __attribute__((target(VISTELMO_TARGET_AVX512))), 32)
#undef VISTELMO_PYRAMID_KERNELS

// The plain tier: one output at a time.
void smooth_plain(const Rows& r, uint8_t* out, int64_t n) { smooth_from(r, out, 0, n); }
void halve_plain(const uint8_t* in, uint8_t* out, int64_t n) { halve_from(in, out, 0, n); }
const RowKernels kernels_plain = {smooth_plain, halve_plain};

const RowKernels& row_kernels() {
  switch (vistelmo::current_isa()) {
    case vistelmo::Isa::kPlain:
      return kernels_plain;
    case vistelmo::Isa::kAvx512:
    case vistelmo::Isa::kAvx512Vbmi:
      return kernels_avx512;
    case vistelmo::Isa::kAvx2:
      return kernels_avx2;
    default:
      return kernels_portable;
  }
}

}  // namespace

void piramide(const IMGGRY& a_in, VETOR<IMGGRY>& v, int rmin, int cmin, char modo) {
  if (rmin < 1) erro("Erro: rmin<=0", "");
  if (cmin < 1) erro("Erro: cmin<=0", "");
  const int nla = a_in.data ? static_cast<int>(a_in.nl) : 0;
  const int nca = a_in.data ? static_cast<int>(a_in.nc) : 0;
  const int lr = level_count(nla, rmin), lcnt = level_count(nca, cmin);
  const int L = lr < lcnt ? lr : lcnt;
  if (L <= 0) erro("Erro MATRIZ::operator(l,c) - Indice invalido", "");

  // Coarsest size is an exact division by 2^(L-1); finer levels double it.
  const int rc = nla >> (L - 1), cc = nca >> (L - 1);

  // The source may be one of v's own levels, which the resizes below would release. Level 0
  // of as many levels, already of its size, stays where it is.
  const bool inside_v = v.data != nullptr && &a_in >= v.data && &a_in < v.data + v.n();
  const bool in_place =
      inside_v && &a_in == v.data && v.n() == L && nla == rc << (L - 1) && nca == cc << (L - 1);
  IMGGRY own;
  if (inside_v && !in_place) own = a_in;
  const IMGGRY& a = inside_v && !in_place ? own : a_in;
  v.resize(L);
  for (int k = 0; k < L; k++) v(k).resize(rc << (L - 1 - k), cc << (L - 1 - k));
  const RowKernels& kern = row_kernels();
  const bool smooth = modo == 'm';
  // Level 0 is copied two rows at a time just ahead of the halving that reads them.
  auto copy_row = [&](int l) {
    if (!in_place) std::memcpy(v(0).rows[l], a.rows[l], v(0).nc());
  };
  if (L == 1)
    for (int l = 0; l < v(0).nl(); l++) copy_row(l);
  for (int k = 1; k < L; k++) {
    const IMGGRY& src = v(k - 1);
    IMGGRY& g = v(k);
    for (int l = 0; l < g.nl(); l++) {
      if (k == 1) copy_row(2 * l), copy_row(2 * l + 1);
      if (smooth)
        kern.smooth({l > 0 ? src.rows[2 * l - 1] : nullptr, src.rows[2 * l], src.rows[2 * l + 1]},
                    g.rows[l], g.nc());
      else
        kern.halve(src.rows[2 * l], g.rows[l], g.nc());
    }
  }
}
