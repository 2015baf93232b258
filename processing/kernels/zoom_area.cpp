// Row kernels of the grey area shrink, on AVX2 and AVX-512 (with VBMI), chosen by level.
#include "processing/kernels/intrinsics.h"

#include <cstdint>

#include "processing/algebra/resample_internal.h"
#include "processing/kernels/isa.h"
#include "processing/kernels/zoom_area.h"

namespace vistelmo {

namespace {

#define VISTELMO_AREA_AVX2 __attribute__((target(VISTELMO_TARGET_AVX2)))
#define VISTELMO_AREA_AVX512 __attribute__((target(VISTELMO_TARGET_AVX512VBMI)))
// Helpers of the kernels, inlined into them.
#define VISTELMO_AREA_AVX2_STEP __attribute__((target(VISTELMO_TARGET_AVX2), always_inline)) inline
#define VISTELMO_AREA_AVX512_STEP \
  __attribute__((target(VISTELMO_TARGET_AVX512VBMI), always_inline)) inline

// Dividing by n is exact when n is a power of two; then it joins the final scale.
bool exact_division(int n) { return (n & (n - 1)) == 0; }

// 2^31 v / 255 rounded to float for the 32 bytes at p: u[0] holds columns 0, 2, 4, 6 | 16, 18,
// 20, 22, u[1] the odd column after each, u[2] and u[3] the same from columns 8 .. 15 | 24 .. 31.
// v repeated in the four bytes of a dword is 2^32 v / 255 less v / 255; with v + min(v, 2) (at
// most 255) in the low byte and halved, the integer rounds to nearest as 2^31 v / 255 does, for
// every byte.
VISTELMO_AREA_AVX2_STEP void units16(const unsigned char* p, __m256* u) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i low = _mm256_adds_epu8(v, _mm256_min_epu8(v, _mm256_set1_epi8(2)));
  const __m256i even = _mm256_setr_epi8(8, 0, 0, 0, 10, 2, 2, 2, 12, 4, 4, 4, 14, 6, 6, 6,  //
                                        8, 0, 0, 0, 10, 2, 2, 2, 12, 4, 4, 4, 14, 6, 6, 6);
  const __m256i odd = _mm256_add_epi8(even, _mm256_set1_epi8(1));
  const __m256i half[2] = {_mm256_unpacklo_epi64(v, low), _mm256_unpackhi_epi64(v, low)};
  for (int h = 0; h < 2; h++)
    for (int q = 0; q < 2; q++)
      u[2 * h + q] = _mm256_cvtepi32_ps(
          _mm256_srli_epi32(_mm256_shuffle_epi8(half[h], q == 0 ? even : odd), 1));
}

// Outputs out[0..15] from columns at .. at + 31 of the rows: the rows summed first, or the pairs
// (PairsFirst).
template <int N, bool PairsFirst>
VISTELMO_AREA_AVX2_STEP void pairs16_avx2(const unsigned char* const* rows, int n, int at,
                                          __m256 scale, bool exact, unsigned char* out) {
  if constexpr (N > 0) n = N;
  constexpr int kSums = PairsFirst ? 2 : 4;
  // Zero before the first row: no rows (n = 0) give 0 / 0, which every output takes to 0.
  __m256 u[4], acc[4] = {};
  for (int r = 0; r < n; r++) {
    units16(rows[r] + at, u);
    if constexpr (PairsFirst) {
      u[0] = _mm256_add_ps(u[0], u[1]);
      u[1] = _mm256_add_ps(u[2], u[3]);
    }
    for (int i = 0; i < kSums; i++) acc[i] = r == 0 ? u[i] : _mm256_add_ps(acc[i], u[i]);
  }
  if (!exact)
    for (int i = 0; i < kSums; i++)
      acc[i] = _mm256_div_ps(acc[i], _mm256_set1_ps(static_cast<float>(n)));
  if constexpr (!PairsFirst) {
    acc[0] = _mm256_add_ps(acc[0], acc[1]);
    acc[1] = _mm256_add_ps(acc[2], acc[3]);
  }
  // x * 127.5 rounded to float never reaches an integer the exact product is below, for any
  // float x in [0, 2] (so also with the exact powers of two), so it truncates as the double.
  const __m256i t0 = _mm256_cvttps_epi32(_mm256_mul_ps(acc[0], scale));  // 0 .. 3 | 8 .. 11
  const __m256i t1 = _mm256_cvttps_epi32(_mm256_mul_ps(acc[1], scale));  // 4 .. 7 | 12 .. 15
  const __m256i w = _mm256_packus_epi32(t0, t1);
  const __m256i b = _mm256_permute4x64_epi64(_mm256_packus_epi16(w, w), 0x08);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(b));
}

// Runs of 16 or more; the last block overlaps the one before when the count is not a multiple.
template <int N, bool PairsFirst>
VISTELMO_AREA_AVX2 int pair_means_avx2(const unsigned char* const* rows, int n, int j0, int count,
                                       unsigned char* out) {
  if (count < 16) return 0;
  const bool exact = exact_division(N > 0 ? N : n);
  // 255 and the pair's halving over the 2^31 of the units, and the rows' division when exact.
  const float s = 127.5f / 2147483648.0f;
  const __m256 scale = _mm256_set1_ps(exact ? s / n : s);
  for (int k = 0;; k += 16) {
    if (k + 16 > count) k = count - 16;
    pairs16_avx2<N, PairsFirst>(rows, n, j0 + 2 * k, scale, exact, out + k);
    if (k + 16 == count) return count;
  }
}

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
  __m512 acc[4] = {};  // as in pairs16_avx2
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
    __m512 u[4], acc[4] = {};  // as in pairs16_avx2
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
  __m512 acc[kSums] = {};  // as in pairs16_avx2
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

// The same with eight outputs a step as units16 makes units (2^31 v / 255), each half of the
// step reading its 16 bytes; the scale in double, where the product is exact.
template <int M, int N, bool PairsFirst>
VISTELMO_AREA_AVX2_STEP void mixed_block_avx2(const unsigned char* const* rows, int n,
                                              const MixedBlock& b, float s, unsigned char* out) {
  if constexpr (N > 0) n = N;
  const __m256i dwords = _mm256_setr_epi32(0, 0x04040404, 0x08080808, 0x0C0C0C0C,  //
                                           0, 0x04040404, 0x08080808, 0x0C0C0C0C);
  for (int h = 0; h < 2 && 8 * h < b.count; h++) {
    const __m256i at = _mm256_load_si256(reinterpret_cast<const __m256i*>(b.near + 32 * h));
    const __m256 size = _mm256_load_ps(b.size + 8 * h);
    // Byte i of each dword: into bytes 1 .. 3 of v's dword and byte 0 of low's.
    __m256i high[M], low[M];
    __m256 has[M];
    for (int i = 0; i < M; i++) {
      const __m256i idx =
          _mm256_shuffle_epi8(at, _mm256_add_epi32(dwords, _mm256_set1_epi32(0x01010101 * i)));
      high[i] = _mm256_or_si256(idx, _mm256_set1_epi32(0x80));
      low[i] = _mm256_or_si256(idx, _mm256_set1_epi32(static_cast<int>(0x80808000u)));
      has[i] = _mm256_cmp_ps(size, _mm256_set1_ps(static_cast<float>(i)), _CMP_GT_OQ);
    }
    const int q0 = b.j0 + b.quarter[2 * h], q1 = b.j0 + b.quarter[2 * h + 1];
    constexpr int kSums = PairsFirst ? 1 : M;
    __m256 acc[kSums] = {};  // as in pairs16_avx2
    for (int r = 0; r < n; r++) {
      const __m256i v = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(rows[r] + q1),
                                            reinterpret_cast<const __m128i*>(rows[r] + q0));
      const __m256i v2 = _mm256_adds_epu8(v, _mm256_min_epu8(v, _mm256_set1_epi8(2)));
      __m256 u[M];
      for (int i = 0; i < M; i++)
        u[i] = _mm256_cvtepi32_ps(_mm256_srli_epi32(
            _mm256_or_si256(_mm256_shuffle_epi8(v, high[i]), _mm256_shuffle_epi8(v2, low[i])), 1));
      if constexpr (PairsFirst) {
        for (int i = 1; i < M; i++) u[0] = _mm256_add_ps(u[0], _mm256_and_ps(u[i], has[i]));
        if (b.divide) u[0] = _mm256_div_ps(u[0], size);
      }
      for (int i = 0; i < kSums; i++) acc[i] = r == 0 ? u[i] : _mm256_add_ps(acc[i], u[i]);
    }
    if (N == 0 && !exact_division(n))
      for (int i = 0; i < kSums; i++)
        acc[i] = _mm256_div_ps(acc[i], _mm256_set1_ps(static_cast<float>(n)));
    if constexpr (!PairsFirst) {
      for (int i = 1; i < M; i++) acc[0] = _mm256_add_ps(acc[0], _mm256_and_ps(acc[i], has[i]));
      if (b.divide) acc[0] = _mm256_div_ps(acc[0], size);
    }
    const __m256 scale = _mm256_mul_ps(_mm256_set1_ps(s), _mm256_load_ps(b.fold + 8 * h));
    const __m128i t0 =
        _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(acc[0])),
                                          _mm256_cvtps_pd(_mm256_castps256_ps128(scale))));
    const __m128i t1 =
        _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(acc[0], 1)),
                                          _mm256_cvtps_pd(_mm256_extractf128_ps(scale, 1))));
    const __m128i w = _mm_packs_epi32(t0, t1);
    const __m128i bytes = _mm_packus_epi16(w, w);
    const int left = b.count - 8 * h;
    if (left >= 8) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 8 * h), bytes);
    } else {
      alignas(16) unsigned char tmp[16];
      _mm_store_si128(reinterpret_cast<__m128i*>(tmp), bytes);
      for (int k = 0; k < left; k++) out[8 * h + k] = tmp[k];
    }
  }
}

template <int N, bool PairsFirst>
VISTELMO_AREA_AVX2 void mixed_means_avx2(const unsigned char* const* rows, int n,
                                         const MixedBlock* b, int nb, unsigned char* out) {
  if constexpr (N > 0) n = N;
  const float s = exact_division(n) ? 255.0f / 2147483648.0f / n : 255.0f / 2147483648.0f;
  const int k0 = b[0].k0;
  for (int i = 0; i < nb; i++) {
    unsigned char* o = out + (b[i].k0 - k0);
    switch (b[i].members) {
      case 1:
        mixed_block_avx2<1, N, PairsFirst>(rows, n, b[i], s, o);
        break;
      case 2:
        mixed_block_avx2<2, N, PairsFirst>(rows, n, b[i], s, o);
        break;
      case 3:
        mixed_block_avx2<3, N, PairsFirst>(rows, n, b[i], s, o);
        break;
      default:
        mixed_block_avx2<4, N, PairsFirst>(rows, n, b[i], s, o);
        break;
    }
  }
}

template <bool PairsFirst>
void mixed_means(bool avx512, const unsigned char* const* rows, int n, const MixedBlock* b, int nb,
                 unsigned char* out) {
  if (avx512) {
    if (n == 2) return mixed_means_avx512<2, PairsFirst>(rows, n, b, nb, out);
    if (n == 1) return mixed_means_avx512<1, PairsFirst>(rows, n, b, nb, out);
    return mixed_means_avx512<0, PairsFirst>(rows, n, b, nb, out);
  }
  if (n == 2) return mixed_means_avx2<2, PairsFirst>(rows, n, b, nb, out);
  if (n == 1) return mixed_means_avx2<1, PairsFirst>(rows, n, b, nb, out);
  mixed_means_avx2<0, PairsFirst>(rows, n, b, nb, out);
}

// The kernel of an instruction set for the row count and order.
template <bool PairsFirst>
int pair_means(bool avx512, const unsigned char* const* rows, int n, int j0, int count,
               unsigned char* out) {
  if (avx512)
    return n == 2 ? pair_means_avx512<2, PairsFirst>(rows, n, j0, count, out)
                  : pair_means_avx512<0, PairsFirst>(rows, n, j0, count, out);
  return n == 2 ? pair_means_avx2<2, PairsFirst>(rows, n, j0, count, out)
                : pair_means_avx2<0, PairsFirst>(rows, n, j0, count, out);
}

// Byte shuffles between 48 interleaved bytes (16 pixels) and three rows of 16: split[v][ch] picks
// channel ch's bytes of source vector v into their places, merge[w][ch] places channel ch's bytes
// into output vector w; 0x80 leaves a zero.
struct ChannelIndex {
  alignas(16) unsigned char split[3][3][16] = {};
  alignas(16) unsigned char merge[3][3][16] = {};
  constexpr ChannelIndex() {
    for (int v = 0; v < 3; v++)
      for (int ch = 0; ch < 3; ch++)
        for (int i = 0; i < 16; i++) {
          const int s = 3 * i + ch, o = 16 * v + i;
          split[v][ch][i] = static_cast<unsigned char>(s / 16 == v ? s % 16 : 0x80);
          merge[v][ch][i] = static_cast<unsigned char>(o % 3 == ch ? o / 3 : 0x80);
        }
  }
};
constexpr ChannelIndex kChannels{};

// Pixels i .. n - 1 one at a time.
void split_from(int i, const unsigned char* src, int n, unsigned char* const* planes) {
  for (; i < n; i++)
    for (int ch = 0; ch < 3; ch++) planes[ch][i] = src[3 * i + ch];
}
void merge_from(int i, const unsigned char* const* planes, int n, unsigned char* dst) {
  for (; i < n; i++)
    for (int ch = 0; ch < 3; ch++) dst[3 * i + ch] = planes[ch][i];
}

VISTELMO_AREA_AVX2_STEP __m256i twice(const unsigned char* idx) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(idx)));
}

// 32 pixels a step: the first 16 in the low lanes, the next 16 in the high ones.
VISTELMO_AREA_AVX2 void split_avx2(const unsigned char* src, int n, unsigned char* const* planes,
                                   const unsigned char* ahead) {
  int i = 0;
  for (; i + 32 <= n; i += 32) {
    const unsigned char* p = src + 3 * i;
    if (ahead != nullptr)
      for (int b = 0; b < 96; b += 48)
        _mm_prefetch(reinterpret_cast<const char*>(ahead + 3 * i + b), _MM_HINT_T0);
    __m256i v[3];
    for (int k = 0; k < 3; k++)
      v[k] = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 48 + 16 * k),
                                 reinterpret_cast<const __m128i*>(p + 16 * k));
    for (int ch = 0; ch < 3; ch++) {
      __m256i r = _mm256_shuffle_epi8(v[0], twice(kChannels.split[0][ch]));
      r = _mm256_or_si256(r, _mm256_shuffle_epi8(v[1], twice(kChannels.split[1][ch])));
      r = _mm256_or_si256(r, _mm256_shuffle_epi8(v[2], twice(kChannels.split[2][ch])));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(planes[ch] + i), r);
    }
  }
  split_from(i, src, n, planes);
}

VISTELMO_AREA_AVX2 void merge_avx2(const unsigned char* const* planes, int n, unsigned char* dst) {
  int i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i c[3];
    for (int ch = 0; ch < 3; ch++)
      c[ch] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(planes[ch] + i));
    unsigned char* p = dst + 3 * i;
    for (int w = 0; w < 3; w++) {
      __m256i o = _mm256_shuffle_epi8(c[0], twice(kChannels.merge[w][0]));
      o = _mm256_or_si256(o, _mm256_shuffle_epi8(c[1], twice(kChannels.merge[w][1])));
      o = _mm256_or_si256(o, _mm256_shuffle_epi8(c[2], twice(kChannels.merge[w][2])));
      _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(p + 48 + 16 * w),
                           reinterpret_cast<__m128i*>(p + 16 * w), o);
    }
  }
  merge_from(i, planes, n, dst);
}

template <bool PairsFirst>
int quad_means(const unsigned char* const* rows, int n, int j0, int count, unsigned char* out) {
  return n == 4 ? quad_means_avx512<4, PairsFirst>(rows, n, j0, count, out)
                : quad_means_avx512<0, PairsFirst>(rows, n, j0, count, out);
}

}  // namespace

int grey_quad_means(bool avx512, bool pairs_first, const unsigned char* const* rows, int n, int j0,
                    int count, unsigned char* out) {
  if (!avx512) return 0;
  return pairs_first ? quad_means<true>(rows, n, j0, count, out)
                     : quad_means<false>(rows, n, j0, count, out);
}

void grey_mixed_means(bool avx512, bool pairs_first, const unsigned char* const* rows, int n,
                      const MixedBlock* b, int nb, unsigned char* out) {
  if (pairs_first)
    mixed_means<true>(avx512, rows, n, b, nb, out);
  else
    mixed_means<false>(avx512, rows, n, b, nb, out);
}

void split_channels(const unsigned char* src, int n, unsigned char* const* planes,
                    const unsigned char* ahead) {
  if (area_avx2()) return split_avx2(src, n, planes, ahead);
  split_from(0, src, n, planes);
}

void merge_channels(const unsigned char* const* planes, int n, unsigned char* dst) {
  if (area_avx2()) return merge_avx2(planes, n, dst);
  merge_from(0, planes, n, dst);
}

// Half h of 16 floats as doubles.
VISTELMO_AREA_AVX512_STEP __m512d widen_half(__m512 x, int h) {
  const __m256 f = h == 0 ? _mm512_castps512_ps256(x)
                          : _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(x), 1));
  return _mm512_cvtps_pd(f);
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

VISTELMO_AREA_AVX512 int units_to_bytes_avx512(const float* v, int n, unsigned char* out) {
  // As unit_to_byte: max(x, 0) gives 0 for NaN, x * 255 is exact in double.
  const __m512d zero = _mm512_setzero_pd(), one = _mm512_set1_pd(1.0),
                scale = _mm512_set1_pd(255.0);
  int c = 0;
  for (; c + 16 <= n; c += 16) {
    const __m512 x = _mm512_loadu_ps(v + c);
    __m256i t[2];
    for (int h = 0; h < 2; h++) {
      const __m512d d = widen_half(x, h);
      t[h] = _mm512_cvttpd_epi32(_mm512_mul_pd(_mm512_min_pd(_mm512_max_pd(d, zero), one), scale));
    }
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(out + c),
        _mm512_cvtepi32_epi8(_mm512_inserti64x4(_mm512_castsi256_si512(t[0]), t[1], 1)));
  }
  return c;
}

int units_to_bytes(const float* v, int n, unsigned char* out) {
  return area_avx512() ? units_to_bytes_avx512(v, n, out) : 0;
}

bool area_avx2() { return resample_avx2(); }

bool area_avx512() { return resample_vbmi(); }

int grey_pair_means(bool avx512, bool pairs_first, const unsigned char* const* rows, int n, int j0,
                    int count, unsigned char* out) {
  return pairs_first ? pair_means<true>(avx512, rows, n, j0, count, out)
                     : pair_means<false>(avx512, rows, n, j0, count, out);
}

}  // namespace vistelmo
