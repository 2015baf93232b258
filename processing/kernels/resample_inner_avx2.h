// The inner rows' lanes on AVX2: four columns a step. Library sources only.
#pragma once

#include "processing/kernels/resample_rows.h"

namespace vistelmo {

namespace avx2 {

struct Lanes {
  // Four lanes of v within [lo, hi].
  __attribute__((target(VISTELMO_TARGET_AVX2))) static __m256d within(__m256d v, double lo,
                                                                      double hi) {
    return _mm256_and_pd(_mm256_cmp_pd(v, _mm256_set1_pd(lo), _CMP_GE_OQ),
                         _mm256_cmp_pd(v, _mm256_set1_pd(hi), _CMP_LE_OQ));
  }
  __attribute__((target(VISTELMO_TARGET_AVX2))) static __m256d clamp(__m256d v, double lo,
                                                                     double hi) {
    return _mm256_min_pd(_mm256_max_pd(v, _mm256_set1_pd(lo)), _mm256_set1_pd(hi));
  }
  __attribute__((target(VISTELMO_TARGET_AVX2))) static void offset(int* to, __m256d row,
                                                                   __m256d col,
                                                                   const InnerBounds& b) {
    const __m256d o = _mm256_add_pd(_mm256_mul_pd(row, _mm256_set1_pd(b.stride)), col);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm256_cvttpd_epi32(o));
  }

  // Floored (or rounded, kNearest) positions of a chunk's groups, four lanes at a time; m and b
  // by value, as stores into k could otherwise change them.
  template <bool kNearest>
  __attribute__((target(VISTELMO_TARGET_AVX2))) static void positions(const RowMap m,
                                                                      const InnerBounds b, int c0,
                                                                      int groups, InnerChunk& k) {
    if (ends_inside<kNearest>(m, b, c0, c0 + groups * kGroup - 1)) {
      // Every group inside: no clamps, no tests.
      const __m256d p = _mm256_set1_pd(m.p), q = _mm256_set1_pd(m.q);
      const __m256d ox = _mm256_set1_pd(b.ox), oy = _mm256_set1_pd(b.oy);
      for (int j = 0; j < groups * kGroup; j += 4) {
        const __m256d xs = _mm256_add_pd(_mm256_loadu_pd(m.cterm + (c0 - m.first) + j), p);
        const __m256d ys = _mm256_add_pd(_mm256_loadu_pd(m.sterm + (c0 - m.first) + j), q);
        __m256d ix, iy;
        if (kNearest) {
          ix = round_half_away(xs);
          iy = round_half_away(ys);
        } else {
          ix = _mm256_floor_pd(xs);
          iy = _mm256_floor_pd(ys);
          _mm256_store_pd(k.dx + j, _mm256_sub_pd(xs, ix));
          _mm256_store_pd(k.dy + j, _mm256_sub_pd(ys, iy));
        }
        offset(k.off[0] + j, _mm256_sub_pd(oy, iy), _mm256_add_pd(ox, ix), b);
      }
      for (int g = 0; g < groups; g++) k.kind[g] = kInside;
      return;
    }
    const __m256d p = _mm256_set1_pd(m.p), q = _mm256_set1_pd(m.q);
    const __m256d ox = _mm256_set1_pd(b.ox), oy = _mm256_set1_pd(b.oy);
    const __m256d one = _mm256_set1_pd(1.0);
    for (int g = 0; g < groups; g++) {
      __m256d ix[2], iy[2];
      int in = 0;
      for (int h = 0; h < 2; h++) {
        const int j = g * kGroup + 4 * h;
        const __m256d xs = _mm256_add_pd(_mm256_loadu_pd(m.cterm + (c0 - m.first) + j), p);
        const __m256d ys = _mm256_add_pd(_mm256_loadu_pd(m.sterm + (c0 - m.first) + j), q);
        const __m256d cx = clamp_far(xs), cy = clamp_far(ys);
        if (kNearest) {
          ix[h] = round_half_away(cx);
          iy[h] = round_half_away(cy);
        } else {
          ix[h] = _mm256_floor_pd(cx);
          iy[h] = _mm256_floor_pd(cy);
          _mm256_store_pd(k.dx + j, _mm256_sub_pd(xs, ix[h]));
          _mm256_store_pd(k.dy + j, _mm256_sub_pd(ys, iy[h]));
        }
        in |=
            _mm256_movemask_pd(_mm256_and_pd(within(ix[h], b.x0, b.x1), within(iy[h], b.y0, b.y1)))
            << 4 * h;
      }
      k.kind[g] = in == 0xFF ? kInside : b.edges ? kEdge : kOther;
      for (int n = 0; n < 4; n++) k.outside[n][g] = 0;
      for (int h = 0; h < 2; h++) {
        const int j = g * kGroup + 4 * h;
        const __m256d row = _mm256_sub_pd(oy, iy[h]), col = _mm256_add_pd(ox, ix[h]);
        if (k.kind[g] == kInside) {
          offset(k.off[0] + j, row, col, b);
        } else if (k.kind[g] == kEdge) {
          // Rows row, row - 1 and columns col, col + 1 (nearest: row and col alone).
          const __m256d r[2] = {row, _mm256_sub_pd(row, one)};
          const __m256d c[2] = {col, _mm256_add_pd(col, one)};
          for (int n = 0; n < (kNearest ? 1 : 4); n++) {
            const __m256d rn = r[n & 1], cn = c[n >> 1];
            offset(k.off[n] + j, clamp(rn, 0, b.last_row), clamp(cn, 0, b.last_col), b);
            if (b.plain) {
              const __m256d on =
                  _mm256_and_pd(within(rn, 0, b.last_row), within(cn, 0, b.last_col));
              k.outside[n][g] |= (~_mm256_movemask_pd(on) & 0xF) << 4 * h;
            }
          }
        }
      }
    }
  }

  // The four weights of four positions, in SampleQuad's order.
  __attribute__((target(VISTELMO_TARGET_AVX2))) static void weights(const InnerChunk& k, int j,
                                                                    __m256d w[4]) {
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d dx = _mm256_load_pd(k.dx + j), dy = _mm256_load_pd(k.dy + j);
    const __m256d ex = _mm256_sub_pd(one, dx), ey = _mm256_sub_pd(one, dy);
    w[0] = _mm256_mul_pd(ex, ey), w[1] = _mm256_mul_pd(ex, dy);
    w[2] = _mm256_mul_pd(dx, ey), w[3] = _mm256_mul_pd(dx, dy);
  }
  // w0 s00 + w1 s01 + w2 s10 + w3 s11 in that order; for bytes clamped to [0, 255] and
  // rounded, as int32.
  __attribute__((target(VISTELMO_TARGET_AVX2))) static __m256d blend_sum(const __m256d w[4],
                                                                         const __m256d s[4]) {
    __m256d v = _mm256_mul_pd(w[0], s[0]);
    for (int n = 1; n < 4; n++) v = _mm256_add_pd(v, _mm256_mul_pd(w[n], s[n]));
    return v;
  }
  __attribute__((target(VISTELMO_TARGET_AVX2))) static __m128i blend_bytes(const __m256d w[4],
                                                                           const __m256d s[4]) {
    return round_to_bytes(blend_sum(w, s));
  }
  // Lanes of bits (four lanes from bit 0) as a mask.
  __attribute__((target(VISTELMO_TARGET_AVX2))) static __m256d lanes_of(int bits) {
    const __m256i lane = _mm256_setr_epi64x(1, 2, 4, 8);
    return _mm256_castsi256_pd(
        _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(bits), lane), lane));
  }

  __attribute__((target(VISTELMO_TARGET_AVX2))) static void blend(
      unsigned char* out, const InnerChunk& k, const uint16_t* top, const uint16_t* bottom,
      const unsigned char (*samples)[kRowBlock], unsigned char outside, int groups) {
    const __m128i low = _mm_set1_epi32(0xFF);
    const __m256d back = _mm256_set1_pd(outside);
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kOther) continue;
      for (int h = 0; h < 2; h++) {
        const int j = g * kGroup + 4 * h;
        __m256d w[4], s[4];
        weights(k, j, w);
        if (k.kind[g] == kInside) {
          const __m128i t =
              _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + j)));
          const __m128i u =
              _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom + j)));
          s[0] = _mm256_cvtepi32_pd(_mm_and_si128(t, low));
          s[1] = _mm256_cvtepi32_pd(_mm_and_si128(u, low));
          s[2] = _mm256_cvtepi32_pd(_mm_srli_epi32(t, 8));
          s[3] = _mm256_cvtepi32_pd(_mm_srli_epi32(u, 8));
        } else {
          for (int n = 0; n < 4; n++) {
            int32_t word;
            std::memcpy(&word, samples[n] + j, 4);
            s[n] = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(word)));
            s[n] = _mm256_blendv_pd(s[n], back, lanes_of(k.outside[n][g] >> 4 * h));
          }
        }
        const __m128i v = blend_bytes(w, s);
        const int32_t word = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packus_epi32(v, v), v));
        std::memcpy(out + j, &word, 4);
      }
    }
  }

  // The first and the second floats of four words.
  __attribute__((target(VISTELMO_TARGET_AVX2))) static void halves(const uint64_t* words,
                                                                   __m256d& first,
                                                                   __m256d& second) {
    const __m128 lo = _mm_loadu_ps(reinterpret_cast<const float*>(words));
    const __m128 hi = _mm_loadu_ps(reinterpret_cast<const float*>(words) + 4);
    first = _mm256_cvtps_pd(_mm_shuffle_ps(lo, hi, 0x88));
    second = _mm256_cvtps_pd(_mm_shuffle_ps(lo, hi, 0xDD));
  }
  // Floats: the blend rounded to float.
  __attribute__((target(VISTELMO_TARGET_AVX2))) static void blend(float* out, const InnerChunk& k,
                                                                  const uint64_t* top,
                                                                  const uint64_t* bottom,
                                                                  const float (*samples)[kRowBlock],
                                                                  float outside, int groups) {
    const __m256d back = _mm256_set1_pd(outside);
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kOther) continue;
      for (int h = 0; h < 2; h++) {
        const int j = g * kGroup + 4 * h;
        __m256d w[4], s[4];
        weights(k, j, w);
        if (k.kind[g] == kInside) {
          halves(top + j, s[0], s[2]);
          halves(bottom + j, s[1], s[3]);
        } else {
          for (int n = 0; n < 4; n++)
            s[n] = _mm256_blendv_pd(_mm256_cvtps_pd(_mm_loadu_ps(samples[n] + j)), back,
                                    lanes_of(k.outside[n][g] >> 4 * h));
        }
        _mm_storeu_ps(out + j, _mm256_cvtpd_ps(blend_sum(w, s)));
      }
    }
  }

  // Complex pixels: each part in single precision, the weights rounded to float, each product
  // and sum rounded.
  __attribute__((target(VISTELMO_TARGET_AVX2))) static void blend(
      std::complex<float>* out, const InnerChunk& k, const PairWord<std::complex<float>>::Word* top,
      const PairWord<std::complex<float>>::Word* bottom,
      const std::complex<float> (*samples)[kRowBlock], std::complex<float> outside, int groups) {
    const __m128 back_re = _mm_set1_ps(outside.real()), back_im = _mm_set1_ps(outside.imag());
    const __m128i lane = _mm_setr_epi32(1, 2, 4, 8);
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kOther) continue;
      for (int h = 0; h < 2; h++) {
        const int j = g * kGroup + 4 * h;
        __m256d w[4];
        weights(k, j, w);
        __m128 re[4], im[4];  // of s00, s01, s10, s11
        if (k.kind[g] == kInside) {
          for (int r = 0; r < 2; r++) {
            const float* words = reinterpret_cast<const float*>((r == 0 ? top : bottom) + j);
            __m128 a = _mm_loadu_ps(words), b = _mm_loadu_ps(words + 4);
            __m128 c = _mm_loadu_ps(words + 8), d = _mm_loadu_ps(words + 12);
            _MM_TRANSPOSE4_PS(a, b, c, d);
            re[r] = a, im[r] = b, re[2 + r] = c, im[2 + r] = d;
          }
        } else {
          for (int n = 0; n < 4; n++) {
            const float* p = reinterpret_cast<const float*>(samples[n] + j);
            const __m128 lo = _mm_loadu_ps(p), hi = _mm_loadu_ps(p + 4);
            const __m128i bits = _mm_set1_epi32(k.outside[n][g] >> 4 * h);
            const __m128 off = _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(bits, lane), lane));
            re[n] = _mm_blendv_ps(_mm_shuffle_ps(lo, hi, 0x88), back_re, off);
            im[n] = _mm_blendv_ps(_mm_shuffle_ps(lo, hi, 0xDD), back_im, off);
          }
        }
        const __m128 w0 = _mm256_cvtpd_ps(w[0]);
        __m128 vr = _mm_mul_ps(w0, re[0]), vi = _mm_mul_ps(w0, im[0]);
        for (int n = 1; n < 4; n++) {
          const __m128 wn = _mm256_cvtpd_ps(w[n]);
          vr = _mm_add_ps(vr, _mm_mul_ps(wn, re[n]));
          vi = _mm_add_ps(vi, _mm_mul_ps(wn, im[n]));
        }
        float* o = reinterpret_cast<float*>(out + j);
        _mm_storeu_ps(o, _mm_unpacklo_ps(vr, vi));
        _mm_storeu_ps(o + 4, _mm_unpackhi_ps(vr, vi));
      }
    }
  }

  // Byte n of four words, as doubles.
  __attribute__((target(VISTELMO_TARGET_AVX2))) static __m256d byte_of(__m256i words, int n) {
    const __m256i magic = _mm256_set1_epi64x(0x4330000000000000);  // 2^52
    const __m256i b = _mm256_and_si256(_mm256_srl_epi64(words, _mm_cvtsi32_si128(8 * n)),
                                       _mm256_set1_epi64x(0xFF));
    return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(b, magic)),
                         _mm256_castsi256_pd(magic));
  }

  // Colour: the inside groups from their pair words; edge groups in colour_edge.
  __attribute__((target(VISTELMO_TARGET_AVX2))) static void blend(
      COR* out, const InnerChunk& k, const uint64_t* top, const uint64_t* bottom,
      const uint32_t (*samples)[kRowBlock], const COR& outside, int groups) {
    // Each pixel's channels side by side in the low three bytes of an int, then packed.
    const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    for (int g = 0; g < groups; g++) {
      if (k.kind[g] == kEdge) colour_edge(out, k, samples, outside, g);
      if (k.kind[g] != kInside) continue;
      for (int h = 0; h < kGroup; h += 4) {
        const int j = g * kGroup + h;
        __m256d w[4];
        weights(k, j, w);
        const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + j));
        const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom + j));
        __m128i px = _mm_setzero_si128();
        for (int ch = 0; ch < 3; ch++) {
          const __m256d s[4] = {byte_of(t, ch), byte_of(u, ch), byte_of(t, 3 + ch),
                                byte_of(u, 3 + ch)};
          px = _mm_or_si128(px, _mm_sll_epi32(blend_bytes(w, s), _mm_cvtsi32_si128(8 * ch)));
        }
        store_colour(out + j, _mm_shuffle_epi8(px, pack));
      }
    }
  }
  // Four colour pixels from the low twelve bytes.
  __attribute__((target(VISTELMO_TARGET_AVX2))) static void store_colour(COR* out, __m128i px) {
    unsigned char* o = reinterpret_cast<unsigned char*>(out);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), px);
    const int32_t last = _mm_extract_epi32(px, 2);
    std::memcpy(o + 8, &last, 4);
  }
  // Edge group g of colour pixels: samples r, g, b in one word, the outside colour by masks.
  __attribute__((noinline)) __attribute__((target(VISTELMO_TARGET_AVX2))) static void colour_edge(
      COR* out, const InnerChunk& k, const uint32_t (*samples)[kRowBlock], const COR& outside,
      int g) {
    const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m128i low = _mm_set1_epi32(0xFF);
    const __m256d back[3] = {_mm256_set1_pd(outside.r), _mm256_set1_pd(outside.g),
                             _mm256_set1_pd(outside.b)};
    for (int h = 0; h < 2; h++) {
      const int j = g * kGroup + 4 * h;
      __m256d w[4];
      weights(k, j, w);
      __m128i v[4];
      for (int n = 0; n < 4; n++)
        v[n] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples[n] + j));
      __m128i px = _mm_setzero_si128();
      for (int ch = 0; ch < 3; ch++) {
        __m256d s[4];
        for (int n = 0; n < 4; n++)
          s[n] =
              _mm256_blendv_pd(_mm256_cvtepi32_pd(_mm_and_si128(_mm_srli_epi32(v[n], 8 * ch), low)),
                               back[ch], lanes_of(k.outside[n][g] >> 4 * h));
        px = _mm_or_si128(px, _mm_sll_epi32(blend_bytes(w, s), _mm_cvtsi32_si128(8 * ch)));
      }
      store_colour(out + j, _mm_shuffle_epi8(px, pack));
    }
  }
};

}  // namespace avx2

}  // namespace vistelmo
