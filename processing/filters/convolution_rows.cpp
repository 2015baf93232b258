// The real row kernel of the spatial filters, built for the baseline instruction set and for
// AVX2 and AVX-512, and picked at run time. Every build forms the same sums in the same order.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "images/colour_internal.h"
#include "processing/filters/convolve_internal.h"

namespace {

typedef double V2 __attribute__((vector_size(16)));
typedef double V4 __attribute__((vector_size(32)));
typedef double V8 __attribute__((vector_size(64)));

// The sums of a vector stored as the output wants them: doubles, or floats.
template <vistelmo::RowOut::Kind K, class V>
__attribute__((always_inline)) inline void put(void* out, int j, V v) {
  typedef float F __attribute__((vector_size(sizeof(V) / 2)));
  if constexpr (K == vistelmo::RowOut::kFloat) {
    const F f = __builtin_convertvector(v, F);
    std::memcpy(static_cast<float*>(out) + j, &f, sizeof f);
  } else if constexpr (K == vistelmo::RowOut::kFloatWide) {
    const V w = __builtin_convertvector(__builtin_convertvector(v, F), V);
    std::memcpy(static_cast<double*>(out) + j, &w, sizeof w);
  } else {
    std::memcpy(static_cast<double*>(out) + j, &v, sizeof v);
  }
}

template <vistelmo::RowOut::Kind K>
__attribute__((always_inline)) inline void put_one(void* out, int j, double v) {
  if constexpr (K == vistelmo::RowOut::kFloat)
    static_cast<float*>(out)[j] = static_cast<float>(v);
  else if constexpr (K == vistelmo::RowOut::kFloatWide)
    static_cast<double*>(out)[j] = static_cast<float>(v);
  else
    static_cast<double*>(out)[j] = v;
}

// A vector from unaligned p; held in a register when held (else the compiler may fold the load
// into each use and read it again for every row).
template <class V>
__attribute__((always_inline)) inline V load(const double* p, bool held) {
  V x;
  std::memcpy(&x, p, sizeof x);
  if (held) asm("" : "+v"(x));
  return x;
}

// R output rows at once, so that every vector loaded serves each row that reads it. Output k
// adds its tap row p from src[first(k) + p], first(k) = k when dir > 0 and R-1-k when dir < 0;
// src rows are visited in order, so each sum still adds its taps in (p, q) order from +0.
template <int R>
__attribute__((always_inline)) inline int first_row(int k, int dir) {
  return dir < 0 ? R - 1 - k : k;
}

// The taps of source row s (at p) for the outputs KLO .. KHI, those that read it.
// Tap columns q < 64 with bit q of skip set are left out: zero in every tap row, and every sample
// finite, they add +0 or -0 to a sum that never holds -0 (it starts from +0).
template <class V, int U, int R, int KLO, int KHI>
__attribute__((always_inline)) inline void rows_step(V (&acc)[R][U], const double* p,
                                                     const double* taps, int s, int kc, int dir,
                                                     uint64_t skip) {
  constexpr int L = sizeof(V) / sizeof(double);
  const double* tk[R];
  for (int k = KLO; k <= KHI; k++) tk[k] = taps + (s - first_row<R>(k, dir)) * kc;
  for (int q = 0; q < kc; q++, p += dir) {
    if (q < 64 && (skip >> q & 1)) continue;
    V x[U];
    for (int u = 0; u < U; u++) x[u] = load<V>(p + u * L, KHI > KLO);
    for (int k = KLO; k <= KHI; k++) {
      const double t = tk[k][q];
      for (int u = 0; u < U; u++) acc[k][u] += t * x[u];
    }
  }
}

// Source row s for the outputs klo .. khi, the range picked at run time.
template <class V, int U, int R, int KLO = 0, int KHI = 0>
__attribute__((always_inline)) inline void rows_pick(int klo, int khi, V (&acc)[R][U],
                                                     const double* p, const double* taps, int s,
                                                     int kc, int dir, uint64_t skip) {
  if constexpr (KLO < R) {
    if constexpr (KHI < R) {
      if (klo == KLO && khi == KHI)
        return rows_step<V, U, R, KLO, KHI>(acc, p, taps, s, kc, dir, skip);
      return rows_pick<V, U, R, KLO, KHI + 1>(klo, khi, acc, p, taps, s, kc, dir, skip);
    } else {
      return rows_pick<V, U, R, KLO + 1, KLO + 1>(klo, khi, acc, p, taps, s, kc, dir, skip);
    }
  }
}

// With kl >= R - 1 the outputs that read row s are known for every s: rows 0 .. R-2 (M) and
// kl .. kl+R-2 (kl-1+M) serve some of them, the rows between all of them.
template <class V, int U, int R, bool Conv, int M = 0>
__attribute__((always_inline)) inline void rows_head(V (&acc)[R][U], const double* const* src,
                                                     int j, const double* taps, int kc, int dir,
                                                     uint64_t skip) {
  if constexpr (M < R - 1) {
    rows_step<V, U, R, Conv ? R - 1 - M : 0, Conv ? R - 1 : M>(acc, src[M] + j, taps, M, kc, dir,
                                                               skip);
    rows_head<V, U, R, Conv, M + 1>(acc, src, j, taps, kc, dir, skip);
  }
}

template <class V, int U, int R, bool Conv, int M = 1>
__attribute__((always_inline)) inline void rows_tail(V (&acc)[R][U], const double* const* src,
                                                     int j, const double* taps, int kl, int kc,
                                                     int dir, uint64_t skip) {
  if constexpr (M < R) {
    const int s = kl - 1 + M;
    rows_step<V, U, R, Conv ? 0 : M, Conv ? R - 1 - M : R - 1>(acc, src[s] + j, taps, s, kc, dir,
                                                               skip);
    rows_tail<V, U, R, Conv, M + 1>(acc, src, j, taps, kl, kc, dir, skip);
  }
}

// U vectors of R output rows from column j on.
template <class V, int U, int R, vistelmo::RowOut::Kind K>
__attribute__((always_inline)) inline void rows_block(const double* const* src, const double* taps,
                                                      int kl, int kc, int dir, int j,
                                                      void* const* out, uint64_t skip = 0) {
  constexpr int L = sizeof(V) / sizeof(double);
  V acc[R][U];
  for (int k = 0; k < R; k++)
    for (int u = 0; u < U; u++) acc[k][u] = V{};
  if (kl >= R - 1) {
    if (dir < 0)
      rows_head<V, U, R, true>(acc, src, j, taps, kc, dir, skip);
    else
      rows_head<V, U, R, false>(acc, src, j, taps, kc, dir, skip);
    for (int s = R - 1; s < kl; s++)
      rows_step<V, U, R, 0, R - 1>(acc, src[s] + j, taps, s, kc, dir, skip);
    if (dir < 0)
      rows_tail<V, U, R, true>(acc, src, j, taps, kl, kc, dir, skip);
    else
      rows_tail<V, U, R, false>(acc, src, j, taps, kl, kc, dir, skip);
  } else {
    for (int s = 0; s < kl + R - 1; s++) {
      int klo = R, khi = -1;
      for (int k = 0; k < R; k++) {
        const int p = s - first_row<R>(k, dir);
        if (p < 0 || p >= kl) continue;
        klo = std::min(klo, k);
        khi = std::max(khi, k);
      }
      rows_pick<V, U, R>(klo, khi, acc, src[s] + j, taps, s, kc, dir, skip);
    }
  }
  for (int k = 0; k < R; k++)
    for (int u = 0; u < U; u++) put<K>(out[k], j + u * L, acc[k][u]);
}

template <class V, int U, int R, vistelmo::RowOut::Kind K>
__attribute__((always_inline)) inline void rows_body(const double* const* src, const double* taps,
                                                     int kl, int kc, int dir, int n,
                                                     void* const* out, const vistelmo::Ahead* ahead,
                                                     uint64_t skip) {
  constexpr int L = sizeof(V) / sizeof(double);
  int j = 0;
  for (; j + L * U <= n; j += L * U) {
    if (ahead)
      for (int k = 0; k < ahead->count; k++) {
        if (!ahead->rows[k]) continue;
        const char* a = static_cast<const char*>(ahead->rows[k]) + size_t(j) * ahead->bytes;
        for (int b = 0; b < L * U * ahead->bytes; b += 64) __builtin_prefetch(a + b, 0, 2);
      }
    rows_block<V, U, R, K>(src, taps, kl, kc, dir, j, out, skip);
  }
  for (; j + L <= n; j += L) rows_block<V, 1, R, K>(src, taps, kl, kc, dir, j, out, skip);
  for (; j < n; j++)
    for (int k = 0; k < R; k++) {
      double acc = 0;
      const double* tp = taps;
      for (int p = 0; p < kl; p++) {
        const double* s = src[first_row<R>(k, dir) + p] + j;
        for (int q = 0; q < kc; q++, s += dir) acc += *tp++ * *s;
      }
      put_one<K>(out[k], j, acc);
    }
}

template <class V, int U, int R>
__attribute__((always_inline)) inline void rows_any(const double* const* src, const double* taps,
                                                    int kl, int kc, int dir, int n,
                                                    const vistelmo::RowOut* out,
                                                    const vistelmo::Ahead* ahead = nullptr,
                                                    uint64_t skip = 0) {
  void* p[R];
  for (int k = 0; k < R; k++) p[k] = out[k].p;
  if (out[0].kind == vistelmo::RowOut::kFloat)
    return rows_body<V, U, R, vistelmo::RowOut::kFloat>(src, taps, kl, kc, dir, n, p, ahead, skip);
  if (out[0].kind == vistelmo::RowOut::kFloatWide)
    return rows_body<V, U, R, vistelmo::RowOut::kFloatWide>(src, taps, kl, kc, dir, n, p, ahead,
                                                            skip);
  rows_body<V, U, R, vistelmo::RowOut::kDouble>(src, taps, kl, kc, dir, n, p, ahead, skip);
}

// One output row: blocks of 8 vectors of sums.
template <class V>
__attribute__((always_inline)) inline void row_any(const double* const* rows, const double* taps,
                                                   int kl, int kc, int dir, int n,
                                                   vistelmo::RowOut out) {
  rows_any<V, 8, 1>(rows, taps, kl, kc, dir, n, &out);
}

// Float or byte rows of an image widened for the kernel.
template <class S>
__attribute__((always_inline)) inline void widen_body(const S* s, double* d, int n) {
  for (int j = 0; j < n; j++) d[j] = s[j];
}

// Float rows widened; whether every sample is finite (its exponent bits not all set).
__attribute__((always_inline)) inline bool widen_finite(const float* s, double* d, int n) {
  uint32_t bad = 0;
  for (int j = 0; j < n; j++) {
    uint32_t b;
    std::memcpy(&b, s + j, sizeof b);
    bad |= ~b & 0x7f800000u ? 0 : 1;
    d[j] = s[j];
  }
  return bad == 0;
}

// One set of kernels per instruction set.
using RowFn = void (*)(const double* const*, const double*, int, int, int, int, vistelmo::RowOut);
using RowsFn = void (*)(const double* const*, const double*, int, int, int, int,
                        const vistelmo::RowOut*, const vistelmo::Ahead*, uint64_t);
struct Kernels {
  RowFn row, exact_row;
  int block;  // output rows of one rows call
  RowsFn rows, exact_rows;
  bool (*widen)(const float*, double*, int);
  void (*widen_bytes)(const unsigned char*, double*, int);
};

// Kernels this short (rows) sum fewer vectors a block on AVX-512: the rows that only some outputs
// read are then most of the work, and 6 vectors a block run out of registers there.
constexpr int kShort = 4;

// The exact row (products exact in double) lets the compiler fuse each product into its add:
// the fused add rounds once, as the separate add does after an exact product.
#define VISTELMO_ROW_KERNELS(name, target, fused, V, U, Ushort, R)                                \
  target void name##_row(const double* const* rows, const double* taps, int kl, int kc, int dir,  \
                         int n, vistelmo::RowOut out) {                                           \
    row_any<V>(rows, taps, kl, kc, dir, n, out);                                                  \
  }                                                                                               \
  target fused void name##_exact_row(const double* const* rows, const double* taps, int kl,       \
                                     int kc, int dir, int n, vistelmo::RowOut out) {              \
    row_any<V>(rows, taps, kl, kc, dir, n, out);                                                  \
  }                                                                                               \
  constexpr int name##_block = R;                                                                 \
  target void name##_rows(const double* const* src, const double* taps, int kl, int kc, int dir,  \
                          int n, const vistelmo::RowOut* out, const vistelmo::Ahead* ahead,       \
                          uint64_t skip) {                                                        \
    if (kl <= kShort) return rows_any<V, Ushort, R>(src, taps, kl, kc, dir, n, out, ahead, skip); \
    rows_any<V, U, R>(src, taps, kl, kc, dir, n, out, ahead, skip);                               \
  }                                                                                               \
  target fused void name##_exact_rows(const double* const* src, const double* taps, int kl,       \
                                      int kc, int dir, int n, const vistelmo::RowOut* out,        \
                                      const vistelmo::Ahead* ahead, uint64_t skip) {              \
    if (kl <= kShort) return rows_any<V, Ushort, R>(src, taps, kl, kc, dir, n, out, ahead, skip); \
    rows_any<V, U, R>(src, taps, kl, kc, dir, n, out, ahead, skip);                               \
  }                                                                                               \
  target bool name##_widen(const float* s, double* d, int n) { return widen_finite(s, d, n); }    \
  target void name##_widen_bytes(const unsigned char* s, double* d, int n) { widen_body(s, d, n); }

#define VISTELMO_FUSED __attribute__((optimize("fp-contract=fast")))
// Without fused products the baseline build gains nothing from several rows a call.
VISTELMO_ROW_KERNELS(baseline, , , V2, 8, 8, 1)
VISTELMO_ROW_KERNELS(avx2, __attribute__((target("avx2,fma"))), VISTELMO_FUSED, V4, 3, 3, 4)
VISTELMO_ROW_KERNELS(avx512, __attribute__((target("avx512f"))), VISTELMO_FUSED, V8, 6, 4, 4)
#undef VISTELMO_FUSED

// Along a row (kc > 1, taps one sample apart) the taps read shifted, unaligned vectors: 64-byte
// vectors split a cache line on nearly every such load, so AVX-512 serves the column shape
// (kc = 1) and the interleaved colour rows (taps three samples apart), where it still gains.
void avx512_or_avx2_row(const double* const* rows, const double* taps, int kl, int kc, int dir,
                        int n, vistelmo::RowOut out) {
  (kc > 1 && (dir == 1 || dir == -1) ? avx2_row : avx512_row)(rows, taps, kl, kc, dir, n, out);
}
void avx512_or_avx2_exact_row(const double* const* rows, const double* taps, int kl, int kc,
                              int dir, int n, vistelmo::RowOut out) {
  (kc > 1 && (dir == 1 || dir == -1) ? avx2_exact_row : avx512_exact_row)(rows, taps, kl, kc, dir,
                                                                          n, out);
}

const Kernels baseline{baseline_row,        baseline_exact_row, baseline_block,      baseline_rows,
                       baseline_exact_rows, baseline_widen,     baseline_widen_bytes};
const Kernels avx2{avx2_row,        avx2_exact_row, avx2_block,      avx2_rows,
                   avx2_exact_rows, avx2_widen,     avx2_widen_bytes};
const Kernels avx512{avx512_or_avx2_row, avx512_or_avx2_exact_row, avx512_block,
                     avx512_rows,        avx512_exact_rows,        avx512_widen,
                     avx512_widen_bytes};

#undef VISTELMO_ROW_KERNELS

bool supported(vistelmo::RowIsa isa) {
  switch (isa) {
    case vistelmo::RowIsa::kAvx512:
      return __builtin_cpu_supports("avx512f");
    case vistelmo::RowIsa::kAvx2:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    default:
      return true;
  }
}

vistelmo::RowIsa best_isa() {
  if (supported(vistelmo::RowIsa::kAvx512)) return vistelmo::RowIsa::kAvx512;
  if (supported(vistelmo::RowIsa::kAvx2)) return vistelmo::RowIsa::kAvx2;
  return vistelmo::RowIsa::kBaseline;
}

vistelmo::RowIsa& current() {
  static vistelmo::RowIsa isa = best_isa();
  return isa;
}

const Kernels* kernels_of(vistelmo::RowIsa isa) {
  switch (isa) {
    case vistelmo::RowIsa::kAvx512:
      return &avx512;
    case vistelmo::RowIsa::kAvx2:
      return &avx2;
    default:
      return &baseline;
  }
}

const Kernels*& active() {
  static const Kernels* k = kernels_of(current());
  return k;
}

}  // namespace

vistelmo::RowIsa vistelmo::row_isa() { return current(); }

bool vistelmo::set_row_isa(RowIsa isa) {
  if (!supported(isa)) return false;
  current() = isa;
  active() = kernels_of(isa);
  return true;
}

void vistelmo::correlate_row(const double* const* rows, const double* taps, int kl, int kc, int dir,
                             int n, RowOut out, bool exact) {
  (exact ? active()->exact_row : active()->row)(rows, taps, kl, kc, dir, n, out);
}

int vistelmo::row_block() { return active()->block; }

void vistelmo::correlate_rows(const double* const* src, const double* taps, int kl, int kc, int dir,
                              int n, const RowOut* out, bool exact, const Ahead* ahead,
                              uint64_t skip) {
  (exact ? active()->exact_rows : active()->rows)(src, taps, kl, kc, dir, n, out, ahead, skip);
}

bool vistelmo::widen_row(const float* s, double* d, int n) { return active()->widen(s, d, n); }
void vistelmo::widen_row(const unsigned char* s, double* d, int n) {
  active()->widen_bytes(s, d, n);
}
