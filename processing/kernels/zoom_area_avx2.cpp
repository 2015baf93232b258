// The area kernels typed for AVX2: pair means, mixed blocks and the channel split.
#include "processing/kernels/intrinsics.h"

#include <cstdint>

#include "processing/kernels/isa.h"
#include "processing/kernels/zoom_area_simd.h"

namespace vistelmo {
namespace {

#define VISTELMO_AREA_AVX2 __attribute__((target(VISTELMO_TARGET_AVX2)))
// Helpers of the kernels, inlined into them.
#define VISTELMO_AREA_AVX2_STEP __attribute__((target(VISTELMO_TARGET_AVX2), always_inline)) inline

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
// The same steps over vector types (units from 32-bit lanes, built per level) measured 3.3 times
// as slow on the grey shrink to half size (zoomnp IMGGRY x0.5 of 2048 x 2048, run at AVX2).
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

// The same with eight outputs a step as units16 makes units (2^31 v / 255), each half of the
// step reading its 16 bytes; the scale in double, where the product is exact. The byte shuffles
// take their indices from the block at run time, which vector types spell only with g++'s
// __builtin_shuffle.
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

// Byte shuffles from 48 interleaved bytes (16 pixels) to three rows of 16: split[v][ch] picks
// channel ch's bytes of source vector v into their places; 0x80 leaves a zero.
struct ChannelIndex {
  alignas(16) unsigned char split[3][3][16] = {};
  constexpr ChannelIndex() {
    for (int v = 0; v < 3; v++)
      for (int ch = 0; ch < 3; ch++)
        for (int i = 0; i < 16; i++) {
          const int s = 3 * i + ch;
          split[v][ch][i] = static_cast<unsigned char>(s / 16 == v ? s % 16 : 0x80);
        }
  }
};
constexpr ChannelIndex kChannels{};

VISTELMO_AREA_AVX2_STEP __m256i twice(const unsigned char* idx) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(idx)));
}

// 32 pixels a step: the first 16 in the low lanes, the next 16 in the high ones. The compiler's
// vectorisation of the per-pixel loop measured 11-18% slower on the colour shrink to half size
// (zoomnp IMGCOR x0.5 of 2048 x 2048).
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

}  // namespace

namespace area_avx2 {

int pair_means(bool pairs_first, const unsigned char* const* rows, int n, int j0, int count,
               unsigned char* out) {
  return with_constants<2>(n, pairs_first, [&](auto m, auto first) {
    return pair_means_avx2<decltype(m)::value, decltype(first)::value>(rows, n, j0, count, out);
  });
}

void mixed_means(bool pairs_first, const unsigned char* const* rows, int n, const MixedBlock* b,
                 int nb, unsigned char* out) {
  with_constants<2, 1>(n, pairs_first, [&](auto m, auto first) {
    mixed_means_avx2<decltype(m)::value, decltype(first)::value>(rows, n, b, nb, out);
  });
}

void split_channels(const unsigned char* src, int n, unsigned char* const* planes,
                    const unsigned char* ahead) {
  split_avx2(src, n, planes, ahead);
}

}  // namespace area_avx2
}  // namespace vistelmo
