// The AVX2 row loops of rotation and zoom, and the frame of the inner rows (groups of eight columns
// read straight from a block) whose lanes resample_lanes_body.h gives. Library sources and tests
// only.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <vector>

#include "processing/algebra/resample_internal.h"
#include "processing/kernels/isa.h"
#include "processing/kernels/vector_ops.h"

namespace vistelmo {

// AVX2 forms of the row loops: four columns per step, each with the scalar form's operations in
// its order.
namespace avx2 {

__attribute__((target(VISTELMO_TARGET_AVX2))) inline __m256d clamp_far(__m256d v) {
  return _mm256_min_pd(_mm256_max_pd(v, _mm256_set1_pd(-kFar)), _mm256_set1_pd(kFar));
}

// Offsets of columns c .. c + 3.
__attribute__((target(VISTELMO_TARGET_AVX2))) inline void at(const RowMap& m, int c, __m256d& xs,
                                                             __m256d& ys) {
  const __m256d col = _mm256_add_pd(_mm256_set1_pd(c), _mm256_set_pd(3, 2, 1, 0));
  // Dividing by 1 changes nothing; skip it.
  __m256d x = _mm256_sub_pd(col, _mm256_set1_pd(m.cc));
  if (m.f != 1.0) x = _mm256_div_pd(x, _mm256_set1_pd(m.f));
  const __m256d negx = _mm256_xor_pd(x, _mm256_set1_pd(-0.0));
  xs = _mm256_add_pd(_mm256_mul_pd(x, _mm256_set1_pd(m.C)), _mm256_set1_pd(m.p));
  ys = _mm256_add_pd(_mm256_mul_pd(negx, _mm256_set1_pd(m.S)), _mm256_set1_pd(m.q));
}

// Four values rounded with halves away from zero, for |v| <= kFar: v + copysign(kHalfDown, v)
// truncated (vector_ops.h gives the proof).
__attribute__((target(VISTELMO_TARGET_AVX2))) inline __m256d round_half_away(__m256d v) {
  const __m256d half =
      _mm256_or_pd(_mm256_and_pd(v, _mm256_set1_pd(-0.0)), _mm256_set1_pd(kHalfDown));
  return _mm256_round_pd(_mm256_add_pd(v, half), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}

// round_to_byte of four values as int32 lanes: clamped to [0, 255] (NaN to 0), then rounded as
// above (v + kHalfDown truncated, v not negative).
__attribute__((target(VISTELMO_TARGET_AVX2))) inline __m128i round_to_bytes(__m256d v) {
  v = _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
  return _mm256_cvttpd_epi32(_mm256_add_pd(v, _mm256_set1_pd(kHalfDown)));
}

// round_to_byte of four values, in the low four bytes.
__attribute__((target(VISTELMO_TARGET_AVX2))) inline void store(unsigned char* out, __m256d v) {
  const __m128i i = round_to_bytes(v);
  const __m128i b = _mm_packus_epi16(_mm_packus_epi32(i, i), _mm_setzero_si128());
  const int32_t word = _mm_cvtsi128_si32(b);
  std::memcpy(out, &word, 4);
}
__attribute__((target(VISTELMO_TARGET_AVX2))) inline void store(float* out, __m256d v) {
  _mm_storeu_ps(out, _mm256_cvtpd_ps(v));
}

__attribute__((target(VISTELMO_TARGET_AVX2))) inline __m256d load(const unsigned char* p) {
  int32_t word;
  std::memcpy(&word, p, 4);
  return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(word)));
}
__attribute__((target(VISTELMO_TARGET_AVX2))) inline __m256d load(const float* p) {
  return _mm256_cvtps_pd(_mm_loadu_ps(p));
}

// Offsets in the block of a straight sampler (row origin - iy, column origin + ix) for four
// positions, and a mask of those whose rows l - up .. l and columns c .. c + right all lie
// inside. Usable when rows_form_block() holds.
template <class Img>
__attribute__((target(VISTELMO_TARGET_AVX2))) int offsets4(const Sampler<Img>& s, const int* ix,
                                                           const int* iy, int up, int right,
                                                           int* off) {
  const AxisRule &rows = s.rule().b, &cols = s.rule().a;
  const __m128i l = _mm_sub_epi32(_mm_set1_epi32(static_cast<int>(rows.origin)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(iy)));
  const __m128i c = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(cols.origin)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(ix)));
  const __m128i in_rows = _mm_and_si128(_mm_cmpgt_epi32(l, _mm_set1_epi32(up - 1)),
                                        _mm_cmpgt_epi32(_mm_set1_epi32(rows.size), l));
  const __m128i in_cols = _mm_and_si128(_mm_cmpgt_epi32(c, _mm_set1_epi32(-1)),
                                        _mm_cmpgt_epi32(_mm_set1_epi32(cols.size - right), c));
  _mm_storeu_si128(
      reinterpret_cast<__m128i*>(off),
      _mm_add_epi32(_mm_mullo_epi32(l, _mm_set1_epi32(static_cast<int>(s.stride()))), c));
  return _mm_movemask_ps(_mm_castsi128_ps(_mm_and_si128(in_rows, in_cols)));
}

// Offset in the block, in pixels, of the samples four destination rows further on: fetched
// early, the diagonal walks through the source wait less for memory.
inline int64_t rows_ahead(const RowMap& m, int64_t stride) {
  const double dl = m.C / m.f, dc = -m.S / m.f;
  if (!(std::fabs(dl) < 64 && std::fabs(dc) < 64)) return 0;
  return 4 * (static_cast<int64_t>(std::lround(dl)) * stride + std::lround(dc));
}
template <class Pixel>
[[gnu::always_inline]] inline void prefetch(const Pixel* p, int64_t ahead) {
  const uintptr_t at =
      reinterpret_cast<uintptr_t>(p) + static_cast<uintptr_t>(ahead * sizeof(Pixel));
  _mm_prefetch(reinterpret_cast<const char*>(at), _MM_HINT_T0);
}

// Four bilinear blends into out: in double, rounded as the pixel type is stored.
template <class Pixel>
__attribute__((target(VISTELMO_TARGET_AVX2))) void blend4(Pixel* out, __m256d dx, __m256d dy,
                                                          const Pixel* s00, const Pixel* s01,
                                                          const Pixel* s10, const Pixel* s11) {
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d ex = _mm256_sub_pd(one, dx), ey = _mm256_sub_pd(one, dy);
  __m256d v = _mm256_mul_pd(_mm256_mul_pd(ex, ey), load(s00));
  v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(ex, dy), load(s01)));
  v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(dx, ey), load(s10)));
  v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(dx, dy), load(s11)));
  store(out, v);
}

// Channel ch of four colour pixels.
__attribute__((target(VISTELMO_TARGET_AVX2))) inline __m256d channel4(const COR* p,
                                                                      unsigned char COR::*ch) {
  return _mm256_set_pd(p[3].*ch, p[2].*ch, p[1].*ch, p[0].*ch);
}

// Colour pixels: each channel as a grey pixel.
__attribute__((target(VISTELMO_TARGET_AVX2))) inline void blend4(COR* out, __m256d dx, __m256d dy,
                                                                 const COR* s00, const COR* s01,
                                                                 const COR* s10, const COR* s11) {
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d ex = _mm256_sub_pd(one, dx), ey = _mm256_sub_pd(one, dy);
  const __m256d w00 = _mm256_mul_pd(ex, ey), w01 = _mm256_mul_pd(ex, dy);
  const __m256d w10 = _mm256_mul_pd(dx, ey), w11 = _mm256_mul_pd(dx, dy);
  for (unsigned char COR::*ch : {&COR::r, &COR::g, &COR::b}) {
    __m256d v = _mm256_mul_pd(w00, channel4(s00, ch));
    v = _mm256_add_pd(v, _mm256_mul_pd(w01, channel4(s01, ch)));
    v = _mm256_add_pd(v, _mm256_mul_pd(w10, channel4(s10, ch)));
    v = _mm256_add_pd(v, _mm256_mul_pd(w11, channel4(s11, ch)));
    unsigned char bytes[4];
    store(bytes, v);
    for (int k = 0; k < 4; k++) out[k].*ch = bytes[k];
  }
}

// Complex pixels: each part in single precision, the weights rounded to float, each product and
// sum rounded.
__attribute__((target(VISTELMO_TARGET_AVX2))) inline void blend4(std::complex<float>* out,
                                                                 __m256d dx, __m256d dy,
                                                                 const std::complex<float>* s00,
                                                                 const std::complex<float>* s01,
                                                                 const std::complex<float>* s10,
                                                                 const std::complex<float>* s11) {
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d ex = _mm256_sub_pd(one, dx), ey = _mm256_sub_pd(one, dy);
  const __m128 w00 = _mm256_cvtpd_ps(_mm256_mul_pd(ex, ey));
  const __m128 w01 = _mm256_cvtpd_ps(_mm256_mul_pd(ex, dy));
  const __m128 w10 = _mm256_cvtpd_ps(_mm256_mul_pd(dx, ey));
  const __m128 w11 = _mm256_cvtpd_ps(_mm256_mul_pd(dx, dy));
  // Four pixels as their real parts and their imaginary parts.
  auto parts = [](const std::complex<float>* p, __m128& re, __m128& im) {
    const __m128 lo = _mm_loadu_ps(reinterpret_cast<const float*>(p));
    const __m128 hi = _mm_loadu_ps(reinterpret_cast<const float*>(p) + 4);
    re = _mm_shuffle_ps(lo, hi, 0x88);
    im = _mm_shuffle_ps(lo, hi, 0xDD);
  };
  __m128 r00, i00, r01, i01, r10, i10, r11, i11;
  parts(s00, r00, i00);
  parts(s01, r01, i01);
  parts(s10, r10, i10);
  parts(s11, r11, i11);
  __m128 re = _mm_mul_ps(w00, r00), im = _mm_mul_ps(w00, i00);
  re = _mm_add_ps(re, _mm_mul_ps(w01, r01)), im = _mm_add_ps(im, _mm_mul_ps(w01, i01));
  re = _mm_add_ps(re, _mm_mul_ps(w10, r10)), im = _mm_add_ps(im, _mm_mul_ps(w10, i10));
  re = _mm_add_ps(re, _mm_mul_ps(w11, r11)), im = _mm_add_ps(im, _mm_mul_ps(w11, i11));
  float* o = reinterpret_cast<float*>(out);
  _mm_storeu_ps(o, _mm_unpacklo_ps(re, im));
  _mm_storeu_ps(o + 4, _mm_unpackhi_ps(re, im));
}

template <class Img, class Store>
__attribute__((target(VISTELMO_TARGET_AVX2))) void bilinear_row(const Sampler<Img>& s, int from,
                                                                int to, const RowMap& m,
                                                                typename Img::Pixel* out,
                                                                Store tail) {
  using Pixel = typename Img::Pixel;
  alignas(32) int ix[kRowBlock], iy[kRowBlock];
  alignas(32) double dx[kRowBlock], dy[kRowBlock];
  alignas(32) Pixel s00[kRowBlock], s01[kRowBlock], s10[kRowBlock], s11[kRowBlock];
  const int whole = from + ((to - from) & ~3);
  const bool linear = rows_form_block(s);
  const Pixel* base = linear ? s.rows()[0] : nullptr;
  const int64_t stride = s.stride();
  const int64_t ahead = linear ? rows_ahead(m, stride) : 0;
  for (int c0 = from; c0 < whole; c0 += kRowBlock) {
    const int w = whole - c0 < kRowBlock ? whole - c0 : kRowBlock;
    for (int k = 0; k < w; k += 4) {
      __m256d xs, ys;
      at(m, c0 + k, xs, ys);
      const __m256d fx = _mm256_floor_pd(clamp_far(xs)), fy = _mm256_floor_pd(clamp_far(ys));
      _mm_store_si128(reinterpret_cast<__m128i*>(ix + k), _mm256_cvttpd_epi32(fx));
      _mm_store_si128(reinterpret_cast<__m128i*>(iy + k), _mm256_cvttpd_epi32(fy));
      _mm256_store_pd(dx + k, _mm256_sub_pd(xs, fx));
      _mm256_store_pd(dy + k, _mm256_sub_pd(ys, fy));
    }
    for (int k = 0; k < w; k += 4) {
      alignas(16) int off[4];
      const int inside = linear ? offsets4(s, ix + k, iy + k, 1, 1, off) : 0;
      for (int j = 0; j < 4; j++)
        if (inside >> j & 1) {
          const Pixel* p = base + off[j];
          prefetch(p, ahead);
          s00[k + j] = p[0], s10[k + j] = p[1], s01[k + j] = p[-stride], s11[k + j] = p[1 - stride];
        } else {
          const SampleQuad<Pixel> q = sample_quad<true>(s, ix[k + j], iy[k + j]);
          s00[k + j] = q.s00, s01[k + j] = q.s01, s10[k + j] = q.s10, s11[k + j] = q.s11;
        }
    }
    for (int k = 0; k < w; k += 4)
      blend4(out + c0 + k, _mm256_load_pd(dx + k), _mm256_load_pd(dy + k), s00 + k, s01 + k,
             s10 + k, s11 + k);
  }
  // The last columns one at a time.
  vistelmo::bilinear_row(s, whole, to, m, tail);
}

// round_index of four values.
__attribute__((target(VISTELMO_TARGET_AVX2))) inline __m128i round_index(__m256d v) {
  return _mm256_cvttpd_epi32(round_half_away(clamp_far(v)));
}

// Columns [from, to) by the nearest sample, any pixel type.
template <class Img>
__attribute__((target(VISTELMO_TARGET_AVX2))) void nearest_row(const Sampler<Img>& s, int from,
                                                               int to, const RowMap& m,
                                                               typename Img::Pixel* out) {
  alignas(16) int ix[4], iy[4];
  const int whole = from + ((to - from) & ~3);
  const bool linear = rows_form_block(s);
  const auto* base = linear ? s.rows()[0] : nullptr;
  const int64_t ahead = linear ? rows_ahead(m, s.stride()) : 0;
  for (int c = from; c < whole; c += 4) {
    __m256d xs, ys;
    at(m, c, xs, ys);
    _mm_store_si128(reinterpret_cast<__m128i*>(ix), round_index(xs));
    _mm_store_si128(reinterpret_cast<__m128i*>(iy), round_index(ys));
    alignas(16) int off[4];
    const int inside = linear ? offsets4(s, ix, iy, 0, 0, off) : 0;
    for (int k = 0; k < 4; k++)
      if (inside >> k & 1) {
        prefetch(base + off[k], ahead);
        out[c + k] = base[off[k]];
      } else {
        out[c + k] = single_sample<true>(s, ix[k], iy[k]);
      }
  }
  vistelmo::nearest_row(s, whole, to, m, [&](int c, typename Img::Pixel v) { out[c] = v; });
}

}  // namespace avx2

// Inner rows: a map with its column terms (RowMap::cterm, sterm) over a sampler whose rows form
// one block. Columns go in groups of eight. A group whose samples all lie inside the block reads
// them straight from it (offset (oy - iy) stride + ox + ix) with no border rule; under the
// outside value or nearest edge rules, another group reads each sample at its row and column
// clamped to the block, and takes the outside value where the rule gives it; under other rules
// it takes the row loops above. Positions, floors, roundings and blends are the scalar forms'
// operations in their order.

// The block as the inner rows see it: floored or rounded positions (ix, iy) whose rows
// l - up .. l and columns c .. c + right lie inside have ix in [x0, x1] and iy in [y0, y1]
// (kept within +-kFar); row oy - iy, column ox + ix; the last row and column; whether a group
// off the inside reads clamped samples (edges) and whether those off the block give the outside
// value (plain).
struct InnerBounds {
  double x0, x1, y0, y1;
  double ox, oy, stride, last_row, last_col;
  bool edges, plain;
};
template <class Img>
InnerBounds inner_bounds(const Sampler<Img>& s, int up, int right, bool edges) {
  const AxisRule &rows = s.rule().b, &cols = s.rule().a;
  auto near = [](double v) { return std::min(std::max(v, 1 - kFar), kFar - 1); };
  const double ox = static_cast<double>(cols.origin), oy = static_cast<double>(rows.origin);
  const double nr = rows.size, nc = cols.size;
  const bool plain = rows.kind == AxisRule::kPlain, clamp = rows.kind == AxisRule::kClamp;
  return {near(-ox),
          near(nc - 1 - right - ox),
          near(oy - (nr - 1)),
          near(oy - up),
          ox,
          oy,
          double(s.stride()),
          nr - 1,
          nc - 1,
          edges && (plain || clamp),
          plain};
}

// One row chunk: fractions, offsets, and what each group of eight is: inside, edge (offsets of
// the four samples s00, s01, s10, s11 or the one nearest, and masks of those off the block to
// take the outside value) or other.
constexpr int kGroup = 8;
enum GroupKind : unsigned char { kInside, kEdge, kOther };
struct InnerChunk {
  alignas(64) double dx[kRowBlock];
  alignas(64) double dy[kRowBlock];
  alignas(64) int off[4][kRowBlock];
  unsigned char outside[4][kRowBlock / kGroup];
  GroupKind kind[kRowBlock / kGroup];
};

// The two horizontal neighbours of a sample as one word (and what the word reads past them).
template <class Pixel>
struct PairWord;
template <>
struct PairWord<unsigned char> {
  using Word = uint16_t;
  using Sample = unsigned char;
  static constexpr int kRight = 1;
  static constexpr bool kEdges = true;
};
template <>
struct PairWord<float> {
  using Word = uint64_t;
  using Sample = float;
  static constexpr int kRight = 1;
  static constexpr bool kEdges = true;
};
template <>
struct PairWord<std::complex<float>> {
  struct Word {
    float part[4];  // real, imaginary, real, imaginary
  };
  using Sample = std::complex<float>;
  static constexpr int kRight = 1;
  static constexpr bool kEdges = true;
};
template <>
struct PairWord<COR> {
  using Word = uint64_t;    // two pixels and two bytes of the third
  using Sample = uint32_t;  // r, g, b in the low three bytes
  static constexpr int kRight = 2;
  static constexpr bool kEdges = true;
};

// A sample of an edge group as the blends read it.
template <class Pixel>
Pixel edge_sample(Pixel p) {
  return p;
}
inline uint32_t edge_sample(COR p) { return p.r | p.g << 8 | uint32_t{p.b} << 16; }

// How far ahead (in pixels) the inner rows fetch the samples they will need four destination
// rows on, or 0: only sources too large for the nearer caches gain from it.
template <class Img>
int64_t fetch_ahead(const Sampler<Img>& s, const RowMap& m) {
  constexpr int64_t kLarge = int64_t{8} << 20;
  const int64_t bytes = int64_t{s.rule().b.size} * s.stride() * sizeof(typename Img::Pixel);
  return bytes > kLarge ? avx2::rows_ahead(m, s.stride()) : 0;
}

// Whether the floored (rounded) positions of columns c0 and c1 both lie inside. Positions are
// monotone along a row (x C + p, then the floor or the rounding), so the columns that lie inside
// are one run: then so do all columns between.
template <bool kNearest>
bool ends_inside(const RowMap& m, const InnerBounds& b, int c0, int c1) {
  for (int c : {c0, c1}) {
    const double xs = m.cterm[c - m.first] + m.p, ys = m.sterm[c - m.first] + m.q;
    const double ix = kNearest ? round_index(xs) : floor_index(xs);
    const double iy = kNearest ? round_index(ys) : floor_index(ys);
    if (!(ix >= b.x0 && ix <= b.x1 && iy >= b.y0 && iy <= b.y1)) return false;
  }
  return true;
}

// The samples of a chunk's inside groups as pair words, top (row l) and bottom (row l - 1), and
// those of its edge groups one by one. Kept scalar: words gathered into vector registers here
// wait on store forwarding (the empty asm statements keep the vectorizers off each word).
template <class Pixel, class Word, class Sample>
__attribute__((noinline)) void fetch_chunk(const InnerChunk& k, int groups, const Pixel* base,
                                           int64_t stride, int64_t ahead, Word* top, Word* bottom,
                                           Sample (*samples)[kRowBlock]) {
  for (int g = 0; g < groups; g++) {
    const int j0 = g * kGroup;
    if (k.kind[g] == kInside) {
      for (int j = j0; j < j0 + kGroup; j++) {
        const Pixel* p = base + k.off[0][j];
        if (ahead != 0) avx2::prefetch(p, ahead);
        std::memcpy(&top[j], p, sizeof(Word));
        std::memcpy(&bottom[j], p - stride, sizeof(Word));
        __asm__("" : "+m"(top[j]), "+m"(bottom[j]));
      }
    } else if (k.kind[g] == kEdge) {
      // All off the block: the blend takes the outside value alone, whatever the samples.
      if ((k.outside[0][g] & k.outside[1][g] & k.outside[2][g] & k.outside[3][g]) == 0xFF) {
        for (int n = 0; n < 4; n++) std::fill_n(samples[n] + j0, kGroup, Sample{});
        continue;
      }
      for (int j = j0; j < j0 + kGroup; j++)
        for (int n = 0; n < 4; n++) {
          samples[n][j] = edge_sample(base[k.off[n][j]]);
          __asm__("" : "+m"(samples[n][j]));
        }
    }
  }
}

// Lanes: positions<kNearest> fills a chunk's groups; blend writes its inside and edge groups.
template <class Lanes, class Img, class Store>
void inner_bilinear_row(const Sampler<Img>& s, int from, int to, const RowMap& m,
                        typename Img::Pixel* out, Store tail) {
  using Pixel = typename Img::Pixel;
  using Word = typename PairWord<Pixel>::Word;
  const InnerBounds b = inner_bounds(s, 1, PairWord<Pixel>::kRight, PairWord<Pixel>::kEdges);
  const Pixel* base = s.rows()[0];
  const int64_t ahead = fetch_ahead(s, m);
  InnerChunk k;
  alignas(64) Word top[kRowBlock], bottom[kRowBlock];
  alignas(64) typename PairWord<Pixel>::Sample samples[4][kRowBlock];
  const int whole = from + (to - from) / kGroup * kGroup;
  for (int c0 = from; c0 < whole; c0 += kRowBlock) {
    const int groups = std::min(whole - c0, kRowBlock) / kGroup;
    Lanes::template positions<false>(m, b, c0, groups, k);
    fetch_chunk(k, groups, base, s.stride(), ahead, top, bottom, samples);
    for (int g = 0; g < groups; g++)
      if (k.kind[g] == kOther)
        vistelmo::bilinear_row(s, c0 + g * kGroup, c0 + (g + 1) * kGroup, m, tail);
    Lanes::blend(out + c0, k, top, bottom, samples, s.backg(), groups);
  }
  vistelmo::bilinear_row(s, whole, to, m, tail);
}

template <class Lanes, class Img>
void inner_nearest_row(const Sampler<Img>& s, int from, int to, const RowMap& m,
                       typename Img::Pixel* out) {
  using Pixel = typename Img::Pixel;
  auto put = [&](int c, Pixel v) { out[c] = v; };
  const InnerBounds b = inner_bounds(s, 0, 0, true);
  const Pixel* base = s.rows()[0];
  const Pixel outside = s.backg();
  const int64_t ahead = fetch_ahead(s, m);
  InnerChunk k;
  const int whole = from + (to - from) / kGroup * kGroup;
  for (int c0 = from; c0 < whole; c0 += kRowBlock) {
    const int groups = std::min(whole - c0, kRowBlock) / kGroup;
    Lanes::template positions<true>(m, b, c0, groups, k);
    for (int g = 0; g < groups; g++) {
      const int j0 = g * kGroup;
      if (k.kind[g] == kOther) {
        vistelmo::nearest_row(s, c0 + j0, c0 + j0 + kGroup, m, put);
      } else if (k.kind[g] == kEdge) {
        for (int j = j0; j < j0 + kGroup; j++) {
          const Pixel v = base[k.off[0][j]];
          out[c0 + j] = k.outside[0][g] >> (j - j0) & 1 ? outside : v;
        }
      } else if (ahead != 0) {
        for (int j = j0; j < j0 + kGroup; j++) {
          avx2::prefetch(base + k.off[0][j], ahead);
          out[c0 + j] = base[k.off[0][j]];
        }
      } else {
        for (int j = j0; j < j0 + kGroup; j++) out[c0 + j] = base[k.off[0][j]];
      }
    }
  }
  vistelmo::nearest_row(s, whole, to, m, put);
}

}  // namespace vistelmo
