// The zoom's loops over lines of doubles (plain, and AVX2 four at a time), the float pair means
// and the AVX-512 VBMI byte pair means. Library sources only.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "processing/algebra/resample_internal.h"
#include "processing/kernels/isa.h"
#include "processing/kernels/resample_rows.h"

namespace vistelmo {

namespace avx2 {

__attribute__((target(VISTELMO_TARGET_AVX2))) inline __m256d line4(const double* line,
                                                                   const int32_t* i, int k) {
  // Four loads beat a gather here.
  if (i == nullptr) return _mm256_loadu_pd(line + k);
  return _mm256_set_pd(line[i[k + 3]], line[i[k + 2]], line[i[k + 1]], line[i[k]]);
}
__attribute__((target(VISTELMO_TARGET_AVX2))) inline __m256d spread4(const Spread& s, int k) {
  return s.step == 0 ? _mm256_set1_pd(s.v[0]) : _mm256_loadu_pd(s.v + k);
}

}  // namespace avx2

namespace avx2 {

template <class Pixel>
__attribute__((target(VISTELMO_TARGET_AVX2))) void blend_row(Pixel* out, int n, const double* l0,
                                                             const int32_t* i0, Spread w0,
                                                             const double* l1, const int32_t* i1,
                                                             Spread w1) {
  int k = 0;
  for (; k + 4 <= n; k += 4) {
    const __m256d a = _mm256_mul_pd(spread4(w0, k), line4(l0, i0, k));
    const __m256d b = _mm256_mul_pd(spread4(w1, k), line4(l1, i1, k));
    store(out + k, _mm256_add_pd(a, b));
  }
  for (; k < n; k++)
    store_pixel(out[k],
                w0[k] * vistelmo::line_at(l0, i0, k) + w1[k] * vistelmo::line_at(l1, i1, k));
}

__attribute__((target(VISTELMO_TARGET_AVX2))) inline void add_row(double* sum, int n,
                                                                  const double* line,
                                                                  const int32_t* i) {
  int k = 0;
  for (; k + 4 <= n; k += 4)
    _mm256_storeu_pd(sum + k, _mm256_add_pd(_mm256_loadu_pd(sum + k), line4(line, i, k)));
  for (; k < n; k++) sum[k] += vistelmo::line_at(line, i, k);
}

template <class Pixel>
__attribute__((target(VISTELMO_TARGET_AVX2))) void average_row(Pixel* out, int n, const double* sum,
                                                               Spread count, Spread inverse) {
  int k = 0;
  if (inverse.v != nullptr) {
    for (; k + 4 <= n; k += 4)
      store(out + k, _mm256_mul_pd(_mm256_loadu_pd(sum + k), spread4(inverse, k)));
    for (; k < n; k++) store_pixel(out[k], sum[k] * inverse[k]);
    return;
  }
  for (; k + 4 <= n; k += 4)
    store(out + k, _mm256_div_pd(_mm256_loadu_pd(sum + k), spread4(count, k)));
  for (; k < n; k++) store_pixel(out[k], sum[k] / count[k]);
}

}  // namespace avx2

namespace sse2 {

template <class Pixel>
void blend_row(Pixel* out, int n, const double* l0, const int32_t* i0, Spread w0, const double* l1,
               const int32_t* i1, Spread w1) {
  for (int k = 0; k < n; k++)
    store_pixel(out[k], w0[k] * line_at(l0, i0, k) + w1[k] * line_at(l1, i1, k));
}

inline void add_row(double* sum, int n, const double* line, const int32_t* i) {
  for (int k = 0; k < n; k++) sum[k] += line_at(line, i, k);
}

template <class Pixel>
void average_row(Pixel* out, int n, const double* sum, Spread count, Spread inverse) {
  if (inverse.v != nullptr)
    for (int k = 0; k < n; k++) store_pixel(out[k], sum[k] * inverse[k]);
  else
    for (int k = 0; k < n; k++) store_pixel(out[k], sum[k] / count[k]);
}

}  // namespace sse2

// Float pair means as the area pass sums them: ((0 + src[2k]) + src[2k + 1]) / 2 in float.
inline void pair_means(float* out, const float* src, int n) {
  const __m128 zero = _mm_setzero_ps(), two = _mm_set1_ps(2.0f);
  int k = 0;
  for (; k + 4 <= n; k += 4) {
    const __m128 lo = _mm_loadu_ps(src + 2 * k), hi = _mm_loadu_ps(src + 2 * k + 4);
    const __m128 even = _mm_shuffle_ps(lo, hi, 0x88), odd = _mm_shuffle_ps(lo, hi, 0xDD);
    _mm_storeu_ps(out + k, _mm_div_ps(_mm_add_ps(_mm_add_ps(zero, even), odd), two));
  }
  for (; k < n; k++) out[k] = (0.0f + src[2 * k] + src[2 * k + 1]) / 2.0f;
}

namespace avx2 {

// Byte quads typed for AVX2, sixteen outputs a step: byte pairs summed into words, word pairs into
// dwords. The generic form (resample_means_body.h) narrows by byte shuffles, three times the
// instructions, and measured 1.36x the time on the zoomfat IMGGRY x0.25 row.
__attribute__((target(VISTELMO_TARGET_AVX2))) inline void quad_means(unsigned char* out,
                                                                     const unsigned char* src,
                                                                     int n) {
  const __m256i ones8 = _mm256_set1_epi8(1), ones16 = _mm256_set1_epi16(1),
                two = _mm256_set1_epi32(2);
  int k = 0;
  for (; k + 16 <= n; k += 16) {
    __m256i q[2];
    for (int h = 0; h < 2; h++) {
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * k + 32 * h));
      const __m256i sums = _mm256_madd_epi16(_mm256_maddubs_epi16(x, ones8), ones16);
      q[h] = _mm256_srli_epi32(_mm256_add_epi32(sums, two), 2);  // outputs 8h .. 8h + 7
    }
    // Words 0 .. 3, 8 .. 11 | 4 .. 7, 12 .. 15, put in order, then bytes.
    const __m256i w = _mm256_permute4x64_epi64(_mm256_packs_epi32(q[0], q[1]), 0xD8);
    const __m256i b = _mm256_permute4x64_epi64(_mm256_packus_epi16(w, w), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm256_castsi256_si128(b));
  }
  quad_means_from(k, out, src, n);
}

}  // namespace avx2

namespace avx512 {

// Byte b of even (odd) is 2 b (2 b + 1): the first (second) bytes of 64 pairs in two vectors.
struct PairIndex {
  alignas(64) unsigned char even[64] = {};
  alignas(64) unsigned char odd[64] = {};
  constexpr PairIndex() {
    for (int b = 0; b < 64; b++) {
      even[b] = static_cast<unsigned char>(2 * b);
      odd[b] = static_cast<unsigned char>(2 * b + 1);
    }
  }
};
inline constexpr PairIndex kPairIndex{};

// 64 a step: the pairs' bytes gathered apart, then averaged; the last step under masks.
__attribute__((target(VISTELMO_TARGET_AVX512VBMI))) inline void pair_means(unsigned char* out,
                                                                           const unsigned char* src,
                                                                           int n) {
  const __m512i even = _mm512_load_si512(kPairIndex.even), odd = _mm512_load_si512(kPairIndex.odd);
  const __mmask64 all = ~__mmask64{0};
  for (int k = 0; k < n; k += 64) {
    const int left = n - k;
    const __mmask64 lo = left >= 32 ? all : (__mmask64{1} << 2 * left) - 1;
    const __mmask64 hi = left >= 64 ? all : left <= 32 ? 0 : (__mmask64{1} << (2 * left - 64)) - 1;
    const __mmask64 done = left >= 64 ? all : (__mmask64{1} << left) - 1;
    const __m512i x = _mm512_maskz_loadu_epi8(lo, src + 2 * k);
    const __m512i y = _mm512_maskz_loadu_epi8(hi, src + 2 * k + 64);
    _mm512_mask_storeu_epi8(
        out + k, done,
        _mm512_avg_epu8(_mm512_permutex2var_epi8(x, even, y), _mm512_permutex2var_epi8(x, odd, y)));
  }
}

// Byte b < 63 of first (second) is channel b % 3 of the first (second) pixel of colour pair b / 3.
struct ColourPairIndex {
  alignas(64) unsigned char first[64] = {};
  alignas(64) unsigned char second[64] = {};
  constexpr ColourPairIndex() {
    for (int b = 0; b < 63; b++) {
      first[b] = static_cast<unsigned char>(6 * (b / 3) + b % 3);
      second[b] = static_cast<unsigned char>(6 * (b / 3) + b % 3 + 3);
    }
  }
};
inline constexpr ColourPairIndex kColourPairIndex{};

// Colour pixels, channel by channel: out[3 k + c] = (src[6 k + c] + src[6 k + 3 + c] + 1) >> 1,
// k < n; 21 pixels a step, the last one under masks.
__attribute__((target(VISTELMO_TARGET_AVX512VBMI))) inline void colour_pair_means(
    unsigned char* out, const unsigned char* src, int n) {
  const __m512i first = _mm512_load_si512(kColourPairIndex.first),
                second = _mm512_load_si512(kColourPairIndex.second);
  const int64_t bytes = 3 * static_cast<int64_t>(n);
  for (int64_t k = 0; k < bytes; k += 63) {
    const int64_t left = std::min<int64_t>(bytes - k, 63), in = 2 * left;
    const __mmask64 lo = in >= 64 ? ~__mmask64{0} : (__mmask64{1} << in) - 1;
    const __mmask64 hi = in > 64 ? (__mmask64{1} << (in - 64)) - 1 : 0;
    const __m512i x = _mm512_maskz_loadu_epi8(lo, src + 2 * k);
    const __m512i y = _mm512_maskz_loadu_epi8(hi, src + 2 * k + 64);
    _mm512_mask_storeu_epi8(out + k, (__mmask64{1} << left) - 1,
                            _mm512_avg_epu8(_mm512_permutex2var_epi8(x, first, y),
                                            _mm512_permutex2var_epi8(x, second, y)));
  }
}

}  // namespace avx512

}  // namespace vistelmo
