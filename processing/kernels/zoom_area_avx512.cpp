// The area kernels typed for AVX-512 with VBMI: pair, quad and mixed means, and the blend of
// an enlarging column pass. They make units and truncate through conversions and fused products
// under a rounding mode of their own, and gather bytes and floats by indices known at run time,
// none of which vector types spell; the pair means over vector types (built for this level)
// measured 4.2 times as slow on the grey shrink to half size (zoomnp IMGGRY x0.5 of 2048 x 2048).
#include "processing/kernels/intrinsics.h"

#include <cstdint>

#include "processing/kernels/isa.h"
#include "processing/kernels/zoom_area_simd.h"

namespace vistelmo {
namespace {

#define VISTELMO_AREA_AVX512 __attribute__((target(VISTELMO_TARGET_AVX512VBMI)))
// Helpers of the kernels, inlined into them.
#define VISTELMO_AREA_AVX512_STEP \
  __attribute__((target(VISTELMO_TARGET_AVX512VBMI), always_inline)) inline

// Byte shuffles within each 16-byte lane: dword d of spread[i] holds byte 4 d + i of the vector
// in each of its four bytes; pack puts byte 0 of dword d of two vectors at bytes 2 d and 2 d + 1.
struct ByteIndex {
  alignas(64) unsigned char spread[2][64] = {};
  alignas(64) unsigned char pack[64] = {};
  constexpr ByteIndex() {
    for (int i = 0; i < 2; i++)
      for (int b = 0; b < 64; b++) spread[i][b] = static_cast<unsigned char>(4 * (b % 16 / 4) + i);
    for (int b = 0; b < 32; b++)
      pack[b] = static_cast<unsigned char>((b % 2 == 0 ? 0 : 64) + 4 * (b / 2));
  }
};
constexpr ByteIndex kIndex{};

VISTELMO_AREA_AVX512_STEP __m512i index(const unsigned char* idx) { return _mm512_load_si512(idx); }

// 2^32 v / 255 rounded to float, for the bytes idx picks. v in each byte of a dword is
// v (2^32 - 1) / 255, the scaled quotient less v / 255 <= 1: for v > 0 not a float, and the
// quotient lies in the same step between floats, above its middle (on its top for v = 255), so
// rounding it up gives the quotient rounded to nearest. Scaling by 2^32 commutes with every
// later rounding (no value comes near the float limits). InLane: idx picks within each 16-byte
// lane (a cheaper shuffle).
template <bool InLane = false>
VISTELMO_AREA_AVX512_STEP __m512 scaled_units(__m512i bytes, __m512i idx) {
  const __m512i spread =
      InLane ? _mm512_shuffle_epi8(bytes, idx) : _mm512_permutexvar_epi8(idx, bytes);
  return _mm512_cvt_roundepu32_ps(spread, _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC);
}

// The same units from the floats 2^23 + v, on the multiply units instead of the conversion's:
// the product by 0x01010102 less 2^23 0x01010102 is v 0x01010102 exactly, which lies between the
// unit and the float after it, so rounding it down gives the unit.
VISTELMO_AREA_AVX512_STEP __m512 units_from_floats(__m512i bits) {
  const float q = 16843010.0f;
  return _mm512_fmadd_round_ps(_mm512_castsi512_ps(bits), _mm512_set1_ps(q),
                               _mm512_set1_ps(-8388608.0f * q),
                               _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
}

// Source bytes p[0..63] (those in mask in) as units, the bytes idx[i] picks in u[i].
VISTELMO_AREA_AVX512_STEP void row_units(const unsigned char* p, __mmask64 in, const __m512i* idx,
                                         __m512* u) {
  const __m512i v = _mm512_maskz_loadu_epi8(in, p);
  for (int i = 0; i < 4; i++) u[i] = scaled_units(v, idx[i]);
}

// Source bytes p[0..63] (those in mask in; all of them when Whole) as units, u[i] holding columns
// 4 d + i, d = 0 .. 15: columns 4 d and 4 d + 1 spread and converted, columns 4 d + 2 and 4 d + 3
// loaded alone into the low bytes of 2^23 and made on the multiply units.
template <bool Whole>
VISTELMO_AREA_AVX512_STEP void column_units(const unsigned char* p, __mmask64 in,
                                            const __m512i* spread, __m512* u) {
  const __m512i v = Whole ? _mm512_loadu_si512(p) : _mm512_maskz_loadu_epi8(in, p);
  for (int i = 0; i < 2; i++) u[i] = scaled_units<true>(v, spread[i]);
  const __mmask64 low = 0x1111111111111111u;
  for (int i = 2; i < 4; i++)
    u[i] = units_from_floats(_mm512_mask_loadu_epi8(_mm512_set1_epi32(0x4B000000),
                                                    Whole ? low : low & (in >> i), p + i));
}

// a + b, rounded once as the sum: a * 1 + b on the multiply units, which the conversions and
// the adds do not use on every core.
VISTELMO_AREA_AVX512_STEP __m512 add_on_fma(__m512 a, __m512 b) {
  return _mm512_fmadd_ps(a, _mm512_set1_ps(1.0f), b);
}

// The truncation of the exact product x s (from 0 to 255) in the low byte of each dword: 2^23 plus
// the product, rounded down to the floats' unit steps there, on the multiply units.
VISTELMO_AREA_AVX512_STEP __m512i truncated(__m512 x, __m512 s) {
  return _mm512_castps_si512(_mm512_fmadd_round_ps(x, s, _mm512_set1_ps(8388608.0f),
                                                   _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
}

// Outputs out[0..31] (those in done) from columns at .. at + 63 of the rows (those in in).
template <int N, bool PairsFirst, bool Whole>
VISTELMO_AREA_AVX512_STEP void pairs32_avx512(const unsigned char* const* rows, int n, int at,
                                              __mmask64 in, __mmask32 done, const __m512i* spread,
                                              __m512i pack, __m512 scale, bool exact,
                                              unsigned char* out) {
  if constexpr (N > 0) n = N;
  __m512 acc[4] = {};  // zero: no rows give 0 / 0, every output 0
  for (int r = 0; r < n; r++) {
    __m512 u[4];
    column_units<Whole>(rows[r] + at, in, spread, u);
    // Each row's pairs first, or the columns of the rows.
    if constexpr (PairsFirst) {
      u[0] = _mm512_add_ps(u[0], u[1]);
      u[1] = _mm512_add_ps(u[2], u[3]);
    }
    for (int i = 0; i < (PairsFirst ? 2 : 4); i++)
      acc[i] = r > 0 ? _mm512_add_ps(acc[i], u[i]) : u[i];
  }
  for (int i = 0; i < (PairsFirst ? 2 : 4) && !exact; i++)
    acc[i] = _mm512_div_ps(acc[i], _mm512_set1_ps(static_cast<float>(n)));
  if constexpr (!PairsFirst) {
    acc[0] = add_on_fma(acc[0], acc[1]);
    acc[1] = add_on_fma(acc[2], acc[3]);
  }
  const __m512i bytes =
      _mm512_permutex2var_epi8(truncated(acc[0], scale), pack, truncated(acc[1], scale));
  if (Whole)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_castsi512_si256(bytes));
  else
    _mm512_mask_storeu_epi8(out, done, bytes);
}

template <int N, bool PairsFirst>
VISTELMO_AREA_AVX512 int pair_means_avx512(const unsigned char* const* rows, int n, int j0,
                                           int count, unsigned char* out) {
  if constexpr (N > 0) n = N;
  const bool exact = exact_division(n);
  // 255 and the pair's halving over the 2^32 of the units, and the rows' division when exact.
  const float s = 127.5f / 4294967296.0f;
  const __m512 scale = _mm512_set1_ps(exact ? s / n : s);
  const __m512i spread[2] = {index(kIndex.spread[0]), index(kIndex.spread[1])};
  const __m512i pack = index(kIndex.pack);
  int k = 0;
  for (; k + 32 <= count; k += 32)
    pairs32_avx512<N, PairsFirst, true>(rows, n, j0 + 2 * k, 0, 0, spread, pack, scale, exact,
                                        out + k);
  const int left = count - k;
  if (left > 0)
    pairs32_avx512<N, PairsFirst, false>(rows, n, j0 + 2 * k, (__mmask64{1} << (2 * left)) - 1,
                                         (__mmask32{1} << left) - 1, spread, pack, scale, exact,
                                         out + k);
  return count;
}

// Dword d of quad[i] holds source byte 4 d + i in each of its four bytes.
struct QuadIndex {
  alignas(64) unsigned char quad[4][64] = {};
  constexpr QuadIndex() {
    for (int i = 0; i < 4; i++)
      for (int b = 0; b < 64; b++) quad[i][b] = static_cast<unsigned char>(4 * (b / 4) + i);
  }
};
constexpr QuadIndex kQuads{};

// Sixteen outputs a step from 64 source bytes of each row, as pair_means_avx512 makes pairs: the
// four columns of a group summed in order, the division by four (exact) in the final scale.
template <int N, bool PairsFirst>
VISTELMO_AREA_AVX512 int quad_means_avx512(const unsigned char* const* rows, int n, int j0,
                                           int count, unsigned char* out) {
  if constexpr (N > 0) n = N;
  constexpr int kSums = PairsFirst ? 1 : 4;
  const bool exact = exact_division(n);
  const float s = 63.75f / 4294967296.0f;
  const __m512 scale = _mm512_set1_ps(exact ? s / n : s);
  const __m512 div = _mm512_set1_ps(static_cast<float>(n));
  const __m512i idx[4] = {index(kQuads.quad[0]), index(kQuads.quad[1]), index(kQuads.quad[2]),
                          index(kQuads.quad[3])};
  for (int k = 0; k < count; k += 16) {
    const int left = count - k;
    const __mmask64 in = left >= 16 ? ~__mmask64{0} : (__mmask64{1} << (4 * left)) - 1;
    const __mmask16 done = left >= 16 ? 0xFFFF : static_cast<__mmask16>((1u << left) - 1);
    __m512 u[4], acc[4] = {};  // zero: no rows give 0 / 0, every output 0
    for (int r = 0; r < n; r++) {
      row_units(rows[r] + j0 + 4 * k, in, idx, u);
      if constexpr (PairsFirst)
        u[0] = _mm512_add_ps(_mm512_add_ps(_mm512_add_ps(u[0], u[1]), u[2]), u[3]);
      for (int i = 0; i < kSums; i++) acc[i] = r == 0 ? u[i] : _mm512_add_ps(acc[i], u[i]);
    }
    if (!exact)
      for (int i = 0; i < kSums; i++) acc[i] = _mm512_div_ps(acc[i], div);
    if constexpr (!PairsFirst)
      acc[0] = _mm512_add_ps(_mm512_add_ps(_mm512_add_ps(acc[0], acc[1]), acc[2]), acc[3]);
    _mm512_mask_cvtepi32_storeu_epi8(out + k, done, truncated(acc[0], scale));
  }
  return count;
}

// One block of mixed groups: M columns at most per group, each column's units gathered by the
// offsets in b.at, the missing ones left out by masks.
template <int M, int N, bool PairsFirst>
VISTELMO_AREA_AVX512_STEP void mixed_block_avx512(const unsigned char* const* rows, int n,
                                                  const MixedBlock& b, __m512 div, float s,
                                                  unsigned char* out) {
  if constexpr (N > 0) n = N;
  const __m512i at = _mm512_load_si512(b.at);
  const __m512 size = _mm512_load_ps(b.size);
  const __mmask64 in = b.span >= 64 ? ~__mmask64{0} : (__mmask64{1} << b.span) - 1;
  __m512i idx[M];
  __mmask16 has[M];
  // Byte i of each dword into all four of its bytes.
  const __m512i dwords = _mm512_set4_epi32(0x0C0C0C0C, 0x08080808, 0x04040404, 0);
  for (int i = 0; i < M; i++) {
    idx[i] = _mm512_shuffle_epi8(at, _mm512_add_epi32(dwords, _mm512_set1_epi32(0x01010101 * i)));
    has[i] = _mm512_cmp_ps_mask(size, _mm512_set1_ps(static_cast<float>(i)), _CMP_GT_OQ);
  }
  constexpr int kSums = PairsFirst ? 1 : M;
  __m512 acc[kSums] = {};  // zero: no rows give 0 / 0, every output 0
  for (int r = 0; r < n; r++) {
    const __m512i v = _mm512_maskz_loadu_epi8(in, rows[r] + b.j0);
    __m512 u[M];
    for (int i = 0; i < M; i++) u[i] = scaled_units(v, idx[i]);
    if constexpr (PairsFirst) {
      for (int i = 1; i < M; i++) u[0] = _mm512_mask_add_ps(u[0], has[i], u[0], u[i]);
      if (b.divide) u[0] = _mm512_div_ps(u[0], size);
    }
    for (int i = 0; i < kSums; i++) acc[i] = r == 0 ? u[i] : _mm512_add_ps(acc[i], u[i]);
  }
  if (N == 0 && !exact_division(n))
    for (int i = 0; i < kSums; i++) acc[i] = _mm512_div_ps(acc[i], div);
  if constexpr (!PairsFirst) {
    for (int i = 1; i < M; i++) acc[0] = _mm512_mask_add_ps(acc[0], has[i], acc[0], acc[i]);
    if (b.divide) acc[0] = _mm512_div_ps(acc[0], size);
  }
  // The powers of two folded into the scale keep it exact.
  const __m512 scale = _mm512_mul_ps(_mm512_set1_ps(s), _mm512_load_ps(b.fold));
  _mm512_mask_cvtepi32_storeu_epi8(out, static_cast<__mmask16>((1u << b.count) - 1),
                                   truncated(acc[0], scale));
}

template <int N, bool PairsFirst>
VISTELMO_AREA_AVX512 void mixed_means_avx512(const unsigned char* const* rows, int n,
                                             const MixedBlock* b, int nb, unsigned char* out) {
  if constexpr (N > 0) n = N;
  // 255 over the 2^32 of the units, and the rows' division when exact.
  const float s = exact_division(n) ? 255.0f / 4294967296.0f / n : 255.0f / 4294967296.0f;
  const __m512 div = _mm512_set1_ps(static_cast<float>(n));
  const int k0 = b[0].k0;
  for (int i = 0; i < nb; i++) {
    unsigned char* o = out + (b[i].k0 - k0);
    switch (b[i].members) {
      case 1:
        mixed_block_avx512<1, N, PairsFirst>(rows, n, b[i], div, s, o);
        break;
      case 2:
        mixed_block_avx512<2, N, PairsFirst>(rows, n, b[i], div, s, o);
        break;
      case 3:
        mixed_block_avx512<3, N, PairsFirst>(rows, n, b[i], div, s, o);
        break;
      default:
        mixed_block_avx512<4, N, PairsFirst>(rows, n, b[i], div, s, o);
        break;
    }
  }
}

// Half h of 16 floats as doubles.
VISTELMO_AREA_AVX512_STEP __m512d widen_half(__m512 x, int h) {
  const __m256 f = h == 0 ? _mm512_castps512_ps256(x)
                          : _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(x), 1));
  return _mm512_cvtps_pd(f);
}

}  // namespace

namespace area_avx512 {

int pair_means(bool pairs_first, const unsigned char* const* rows, int n, int j0, int count,
               unsigned char* out) {
  return with_constants<2>(n, pairs_first, [&](auto m, auto first) {
    return pair_means_avx512<decltype(m)::value, decltype(first)::value>(rows, n, j0, count, out);
  });
}

int quad_means(bool pairs_first, const unsigned char* const* rows, int n, int j0, int count,
               unsigned char* out) {
  return with_constants<4>(n, pairs_first, [&](auto m, auto first) {
    return quad_means_avx512<decltype(m)::value, decltype(first)::value>(rows, n, j0, count, out);
  });
}

void mixed_means(bool pairs_first, const unsigned char* const* rows, int n, const MixedBlock* b,
                 int nb, unsigned char* out) {
  with_constants<2, 1>(n, pairs_first, [&](auto m, auto first) {
    mixed_means_avx512<decltype(m)::value, decltype(first)::value>(rows, n, b, nb, out);
  });
}

VISTELMO_AREA_AVX512 void window_blend_row(const float* src, int anc, const WindowBlock* b, int nb,
                                           const double* w0, const double* w1, float* out) {
  for (int i = 0; i < nb; i++) {
    if (b[i].base < 0) continue;
    const int left = anc - b[i].base;
    const __mmask16 lo_in = left >= 16 ? 0xFFFF : static_cast<__mmask16>((1u << left) - 1);
    const __mmask16 hi_in = left >= 32   ? 0xFFFF
                            : left <= 16 ? 0
                                         : static_cast<__mmask16>((1u << (left - 16)) - 1);
    const __m512 lo = _mm512_maskz_loadu_ps(lo_in, src + b[i].base);
    const __m512 hi = _mm512_maskz_loadu_ps(hi_in, src + b[i].base + 16);
    __m512 v[2];
    for (int s = 0; s < 2; s++) {
      const __m512i rel =
          _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b[i].rel[s])));
      v[s] = _mm512_permutex2var_ps(lo, rel, hi);
    }
    for (int h = 0; h < 2; h++) {
      const int k = 16 * i + 8 * h;
      const __m512d a = _mm512_mul_pd(_mm512_loadu_pd(w0 + k), widen_half(v[0], h));
      const __m512d c = _mm512_mul_pd(_mm512_loadu_pd(w1 + k), widen_half(v[1], h));
      _mm256_storeu_ps(out + k, _mm512_cvtpd_ps(_mm512_add_pd(a, c)));
    }
  }
}

}  // namespace area_avx512
}  // namespace vistelmo
