// The inner rows' lanes on AVX-512 (F, BW, DQ, VL): eight columns a step. Library sources only.
#pragma once

#include "processing/kernels/resample_rows.h"

namespace vistelmo {

// GCC 12 takes the intrinsics' undefined upper halves for uninitialised values.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace avx512 {

struct Lanes {
  __attribute__((target(VISTELMO_TARGET_AVX512))) static __mmask8 within(__m512d v, double lo,
                                                                         double hi) {
    return _mm512_mask_cmp_pd_mask(_mm512_cmp_pd_mask(v, _mm512_set1_pd(lo), _CMP_GE_OQ), v,
                                   _mm512_set1_pd(hi), _CMP_LE_OQ);
  }
  __attribute__((target(VISTELMO_TARGET_AVX512))) static __m512d clamp(__m512d v, double lo,
                                                                       double hi) {
    return _mm512_min_pd(_mm512_max_pd(v, _mm512_set1_pd(lo)), _mm512_set1_pd(hi));
  }
  __attribute__((target(VISTELMO_TARGET_AVX512))) static void offset(int* to, __m512d row,
                                                                     __m512d col,
                                                                     const InnerBounds& b) {
    const __m512d o = _mm512_add_pd(_mm512_mul_pd(row, _mm512_set1_pd(b.stride)), col);
    _mm256_store_si256(reinterpret_cast<__m256i*>(to), _mm512_cvttpd_epi32(o));
  }

  // The same, eight lanes at a time.
  template <bool kNearest>
  __attribute__((target(VISTELMO_TARGET_AVX512))) static void positions(const RowMap m,
                                                                        const InnerBounds b, int c0,
                                                                        int groups, InnerChunk& k) {
    const __m512d p = _mm512_set1_pd(m.p), q = _mm512_set1_pd(m.q);
    const __m512d ox = _mm512_set1_pd(b.ox), oy = _mm512_set1_pd(b.oy);
    const __m512d sign = _mm512_set1_pd(-0.0), half = _mm512_set1_pd(kHalfDown);
    const __m512d far = _mm512_set1_pd(kFar), one = _mm512_set1_pd(1.0);
    for (int g = 0; g < groups; g++) {
      const int j = g * kGroup;
      const __m512d xs = _mm512_add_pd(_mm512_loadu_pd(m.cterm + (c0 - m.first) + j), p);
      const __m512d ys = _mm512_add_pd(_mm512_loadu_pd(m.sterm + (c0 - m.first) + j), q);
      const __m512d cx =
          _mm512_min_pd(_mm512_max_pd(xs, _mm512_sub_pd(_mm512_setzero_pd(), far)), far);
      const __m512d cy =
          _mm512_min_pd(_mm512_max_pd(ys, _mm512_sub_pd(_mm512_setzero_pd(), far)), far);
      __m512d ix, iy;
      if (kNearest) {
        ix = _mm512_roundscale_pd(_mm512_add_pd(cx, _mm512_or_pd(_mm512_and_pd(cx, sign), half)),
                                  _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        iy = _mm512_roundscale_pd(_mm512_add_pd(cy, _mm512_or_pd(_mm512_and_pd(cy, sign), half)),
                                  _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
      } else {
        ix = _mm512_roundscale_pd(cx, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        iy = _mm512_roundscale_pd(cy, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        _mm512_store_pd(k.dx + j, _mm512_sub_pd(xs, ix));
        _mm512_store_pd(k.dy + j, _mm512_sub_pd(ys, iy));
      }
      const __mmask8 in = within(ix, b.x0, b.x1) & within(iy, b.y0, b.y1);
      k.kind[g] = in == 0xFF ? kInside : b.edges ? kEdge : kOther;
      const __m512d row = _mm512_sub_pd(oy, iy), col = _mm512_add_pd(ox, ix);
      if (k.kind[g] == kInside) {
        offset(k.off[0] + j, row, col, b);
      } else if (k.kind[g] == kEdge) {
        const __m512d r[2] = {row, _mm512_sub_pd(row, one)};
        const __m512d c[2] = {col, _mm512_add_pd(col, one)};
        for (int n = 0; n < (kNearest ? 1 : 4); n++) {
          const __m512d rn = r[n & 1], cn = c[n >> 1];
          offset(k.off[n] + j, clamp(rn, 0, b.last_row), clamp(cn, 0, b.last_col), b);
          k.outside[n][g] = b.plain ? static_cast<unsigned char>(
                                          ~(within(rn, 0, b.last_row) & within(cn, 0, b.last_col)))
                                    : 0;
        }
      }
    }
  }

  __attribute__((target(VISTELMO_TARGET_AVX512))) static void weights(const InnerChunk& k, int j,
                                                                      __m512d w[4]) {
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d dx = _mm512_load_pd(k.dx + j), dy = _mm512_load_pd(k.dy + j);
    const __m512d ex = _mm512_sub_pd(one, dx), ey = _mm512_sub_pd(one, dy);
    w[0] = _mm512_mul_pd(ex, ey), w[1] = _mm512_mul_pd(ex, dy);
    w[2] = _mm512_mul_pd(dx, ey), w[3] = _mm512_mul_pd(dx, dy);
  }
  __attribute__((target(VISTELMO_TARGET_AVX512))) static __m512d blend_sum(const __m512d w[4],
                                                                           const __m512d s[4]) {
    __m512d v = _mm512_mul_pd(w[0], s[0]);
    for (int n = 1; n < 4; n++) v = _mm512_add_pd(v, _mm512_mul_pd(w[n], s[n]));
    return v;
  }
  __attribute__((target(VISTELMO_TARGET_AVX512))) static __m256i blend_bytes(const __m512d w[4],
                                                                             const __m512d s[4]) {
    __m512d v = blend_sum(w, s);
    v = _mm512_min_pd(_mm512_max_pd(v, _mm512_setzero_pd()), _mm512_set1_pd(255.0));
    return _mm512_cvttpd_epi32(_mm512_add_pd(v, _mm512_set1_pd(kHalfDown)));
  }

  __attribute__((target(VISTELMO_TARGET_AVX512))) static void blend(
      unsigned char* out, const InnerChunk& k, const uint16_t* top, const uint16_t* bottom,
      const unsigned char (*samples)[kRowBlock], unsigned char outside, int groups) {
    const __m256i low = _mm256_set1_epi32(0xFF);
    const __m512d back = _mm512_set1_pd(outside);
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kOther) continue;
      const int j = g * kGroup;
      __m512d w[4], s[4];
      weights(k, j, w);
      if (k.kind[g] == kInside) {
        const __m256i t =
            _mm256_cvtepu16_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(top + j)));
        const __m256i u =
            _mm256_cvtepu16_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(bottom + j)));
        s[0] = _mm512_cvtepi32_pd(_mm256_and_si256(t, low));
        s[1] = _mm512_cvtepi32_pd(_mm256_and_si256(u, low));
        s[2] = _mm512_cvtepi32_pd(_mm256_srli_epi32(t, 8));
        s[3] = _mm512_cvtepi32_pd(_mm256_srli_epi32(u, 8));
      } else {
        for (int n = 0; n < 4; n++) {
          const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples[n] + j));
          s[n] = _mm512_mask_blend_pd(k.outside[n][g],
                                      _mm512_cvtepi32_pd(_mm256_cvtepu8_epi32(bytes)), back);
        }
      }
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + j),
                       _mm256_cvtepi32_epi8(blend_bytes(w, s)));
    }
  }

  // The first and the second floats of eight words.
  __attribute__((target(VISTELMO_TARGET_AVX512))) static void halves(const uint64_t* words,
                                                                     __m512d& first,
                                                                     __m512d& second) {
    const __m512i v = _mm512_load_si512(words);
    first = _mm512_cvtps_pd(_mm256_castsi256_ps(_mm512_cvtepi64_epi32(v)));
    second = _mm512_cvtps_pd(_mm256_castsi256_ps(_mm512_cvtepi64_epi32(_mm512_srli_epi64(v, 32))));
  }
  __attribute__((target(VISTELMO_TARGET_AVX512))) static void blend(
      float* out, const InnerChunk& k, const uint64_t* top, const uint64_t* bottom,
      const float (*samples)[kRowBlock], float outside, int groups) {
    const __m512d back = _mm512_set1_pd(outside);
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kOther) continue;
      const int j = g * kGroup;
      __m512d w[4], s[4];
      weights(k, j, w);
      if (k.kind[g] == kInside) {
        halves(top + j, s[0], s[2]);
        halves(bottom + j, s[1], s[3]);
      } else {
        for (int n = 0; n < 4; n++)
          s[n] = _mm512_mask_blend_pd(k.outside[n][g],
                                      _mm512_cvtps_pd(_mm256_loadu_ps(samples[n] + j)), back);
      }
      _mm256_storeu_ps(out + j, _mm512_cvtpd_ps(blend_sum(w, s)));
    }
  }

  // Eight weights rounded to float, twice.
  __attribute__((target(VISTELMO_TARGET_AVX512))) static __m512 both(__m512d w) {
    const __m256 f = _mm512_cvtpd_ps(w);
    return _mm512_insertf32x8(_mm512_castps256_ps512(f), f, 1);
  }
  // Complex pixels: the real parts of eight in the low half, the imaginary in the high half.
  __attribute__((target(VISTELMO_TARGET_AVX512))) static void blend(
      std::complex<float>* out, const InnerChunk& k, const PairWord<std::complex<float>>::Word* top,
      const PairWord<std::complex<float>>::Word* bottom,
      const std::complex<float> (*samples)[kRowBlock], std::complex<float> outside, int groups) {
    const __m512 back =
        _mm512_insertf32x8(_mm512_set1_ps(outside.real()), _mm256_set1_ps(outside.imag()), 1);
    // Parts 0 and 1 (first) or 2 and 3 (second) of eight words in two registers.
    const __m512i first =
        _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 1, 5, 9, 13, 17, 21, 25, 29);
    const __m512i second = _mm512_add_epi32(first, _mm512_set1_epi32(2));
    // Eight pixels' parts side by side, and back.
    const __m512i split = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    const __m512i join = _mm512_setr_epi32(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15);
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kOther) continue;
      const int j = g * kGroup;
      __m512d w[4];
      weights(k, j, w);
      __m512 v[4];  // s00, s01, s10, s11
      if (k.kind[g] == kInside) {
        for (int r = 0; r < 2; r++) {
          const float* words = reinterpret_cast<const float*>((r == 0 ? top : bottom) + j);
          const __m512 a = _mm512_loadu_ps(words), b = _mm512_loadu_ps(words + 16);
          v[r] = _mm512_permutex2var_ps(a, first, b);
          v[2 + r] = _mm512_permutex2var_ps(a, second, b);
        }
      } else {
        for (int n = 0; n < 4; n++) {
          const __mmask16 off = static_cast<__mmask16>(k.outside[n][g] | k.outside[n][g] << 8);
          const __m512 p = _mm512_loadu_ps(reinterpret_cast<const float*>(samples[n] + j));
          v[n] = _mm512_mask_blend_ps(off, _mm512_permutexvar_ps(split, p), back);
        }
      }
      __m512 sum = _mm512_mul_ps(both(w[0]), v[0]);
      for (int n = 1; n < 4; n++) sum = _mm512_add_ps(sum, _mm512_mul_ps(both(w[n]), v[n]));
      _mm512_storeu_ps(reinterpret_cast<float*>(out + j), _mm512_permutexvar_ps(join, sum));
    }
  }

  __attribute__((target(VISTELMO_TARGET_AVX512))) static __m512d byte_of(__m512i words, int n) {
    return _mm512_cvtepi64_pd(_mm512_and_si512(_mm512_srl_epi64(words, _mm_cvtsi32_si128(8 * n)),
                                               _mm512_set1_epi64(0xFF)));
  }

  // Colour: the inside groups from their pair words; edge groups in colour_edge.
  __attribute__((target(VISTELMO_TARGET_AVX512))) static void blend(
      COR* out, const InnerChunk& k, const uint64_t* top, const uint64_t* bottom,
      const uint32_t (*samples)[kRowBlock], const COR& outside, int groups) {
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kEdge) colour_edge(out, k, samples, outside, g);
      if (k.kind[g] != kInside) continue;
      const int j = g * kGroup;
      __m512d w[4];
      weights(k, j, w);
      const __m512i t = _mm512_load_si512(top + j), u = _mm512_load_si512(bottom + j);
      __m256i px = _mm256_setzero_si256();
      for (int ch = 0; ch < 3; ch++) {
        const __m512d s[4] = {byte_of(t, ch), byte_of(u, ch), byte_of(t, 3 + ch),
                              byte_of(u, 3 + ch)};
        px = _mm256_or_si256(px, _mm256_sll_epi32(blend_bytes(w, s), _mm_cvtsi32_si128(8 * ch)));
      }
      store_colour(out + j, px);
    }
  }
  // Eight colour pixels from the low twelve bytes of each half, channels side by side in ints.
  __attribute__((target(VISTELMO_TARGET_AVX512))) static void store_colour(COR* out, __m256i px) {
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    px = _mm256_shuffle_epi8(px, pack);
    unsigned char* o = reinterpret_cast<unsigned char*>(out);
    const __m128i lo = _mm256_castsi256_si128(px), hi = _mm256_extracti128_si256(px, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), lo);
    const int32_t a = _mm_extract_epi32(lo, 2);
    std::memcpy(o + 8, &a, 4);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 12), hi);
    const int32_t z = _mm_extract_epi32(hi, 2);
    std::memcpy(o + 20, &z, 4);
  }
  __attribute__((noinline)) __attribute__((target(VISTELMO_TARGET_AVX512))) static void colour_edge(
      COR* out, const InnerChunk& k, const uint32_t (*samples)[kRowBlock], const COR& outside,
      int g) {
    const __m256i low = _mm256_set1_epi32(0xFF);
    const __m512d back[3] = {_mm512_set1_pd(outside.r), _mm512_set1_pd(outside.g),
                             _mm512_set1_pd(outside.b)};
    const int j = g * kGroup;
    __m512d w[4];
    weights(k, j, w);
    __m256i v[4];
    for (int n = 0; n < 4; n++)
      v[n] = _mm256_load_si256(reinterpret_cast<const __m256i*>(samples[n] + j));
    __m256i px = _mm256_setzero_si256();
    for (int ch = 0; ch < 3; ch++) {
      __m512d s[4];
      for (int n = 0; n < 4; n++)
        s[n] = _mm512_mask_blend_pd(
            k.outside[n][g],
            _mm512_cvtepi32_pd(_mm256_and_si256(_mm256_srli_epi32(v[n], 8 * ch), low)), back[ch]);
      px = _mm256_or_si256(px, _mm256_sll_epi32(blend_bytes(w, s), _mm_cvtsi32_si128(8 * ch)));
    }
    store_colour(out + j, px);
  }
};

}  // namespace avx512

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace vistelmo
