// Sampling of images at offsets under a border mode, shared by rotation and zoom.
// Library sources only.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <functional>
#include <type_traits>
#include <vector>

#include "foundation/erro.h"
#include "images/border_internal.h"
#include "images/colour_internal.h"
#include "images/image_core_internal.h"

namespace vistelmo {

// Which loops run: the per-sample loops over Sampler (plain), the row loops on the baseline
// instruction set (portable), or the row loops on the best set this processor has (the default).
// Test hook.
enum class ResampleTier { kPlain, kPortable, kDispatched };
void set_resample_tier(ResampleTier t);
ResampleTier resample_tier();
inline bool resample_fast() { return resample_tier() != ResampleTier::kPlain; }
bool resample_avx2();

#define VISTELMO_INLINE inline __attribute__((always_inline))

constexpr double kFar = 1073741824.0;

// A real position as an int index. Far-away positions (and NaN) stay far outside every image,
// so the conversion never overflows.
inline int to_index(double v) {
  if (!(v > -kFar)) return -(1 << 30);
  if (v > kFar) return 1 << 30;
  return static_cast<int>(v);
}
// to_index(std::round(v)) and to_index(std::floor(v)) without a libm call or a branch: far
// values are clamped first; the truncation and the fraction v - t are exact within the range.
VISTELMO_INLINE double clamp_far(double v) {
  v = v > -kFar ? v : -kFar;
  return v > kFar ? kFar : v;
}
VISTELMO_INLINE int round_index(double v) {
  v = clamp_far(v);
  const int t = static_cast<int>(v);
  const double d = v - t;
  return t + (d >= 0.5) - (d <= -0.5);
}
VISTELMO_INLINE int floor_index(double v) {
  v = clamp_far(v);
  const int t = static_cast<int>(v);
  return t - (t > v);
}

// The border rule of a source; an image without pixels counts as 0 by 0.
template <class Img>
BorderRule source_rule(const Img& im, char mode) {
  const bool full = has_pixels(im);
  return border_rule(mode, full ? im.nl() : 0, full ? im.nc() : 0, im.lc, im.cc);
}

// The axis of a rule that gives the row, and the one that gives the column.
inline const AxisRule& row_axis(const BorderRule& r) { return r.swapped ? r.b : r.a; }
inline const AxisRule& column_axis(const BorderRule& r) { return r.swapped ? r.a : r.b; }

// Index of argument v on axis r of rule br, or -1 for the outside value; fails as the element
// access does (an unknown mode, mode 'e' outside).
inline int64_t border_index(const BorderRule& br, const AxisRule& r, int64_t v) {
  const int i = r.resolve(v);
  if (i >= 0) return i;
  if (!br.valid) erro("Erro: Modo de acesso invalido", "");
  if (i == AxisRule::kFatal) erro("Indice invalido", "");
  return -1;
}

// Reads an image at (a, b) under a border mode, one sample at a time.
template <class Img>
class Sampler {
 public:
  using Pixel = typename Img::Pixel;

  Sampler(const Img& im, char mode) : Sampler(im, mode, im.backg) {}
  // With another outside value.
  Sampler(const Img& im, char mode, Pixel outside)
      : rows_(im.rows), backg_(outside), rule_(source_rule(im, mode)) {
    // Rows evenly spaced in one block, offsets within an int: pixel (l, c) at l * stride + c.
    const int64_t nl = row_axis(rule_).size, nc = column_axis(rule_).size;
    if (nl < 1 || nc < 1) return;
    const int64_t stride = nl > 1 ? rows_[1] - rows_[0] : nc;
    if (stride < nc || nl * stride >= (int64_t{1} << 31)) return;
    for (int64_t l = 0; l < nl; l++)
      if (rows_[l] != rows_[0] + l * stride) return;
    stride_ = stride;
  }
  Pixel operator()(int64_t a, int64_t b) const {
    const int64_t i = border_index(rule_, rule_.a, a), j = border_index(rule_, rule_.b, b);
    return at(i, j);
  }
  // The pixel at index i of axis a and j of axis b, the outside value when either is -1.
  Pixel at(int64_t i, int64_t j) const {
    if (i < 0 || j < 0) return backg_;
    return rule_.swapped ? rows_[j][i] : rows_[i][j];
  }
  const BorderRule& rule() const { return rule_; }
  Pixel* const* rows() const { return rows_; }
  Pixel backg() const { return backg_; }
  // The row spacing of the block, or -1 when the rows are not one evenly spaced block.
  int64_t stride() const { return stride_; }

 private:
  Pixel* const* rows_;
  Pixel backg_;
  BorderRule rule_;
  int64_t stride_ = -1;
};

// Index origin + sign * v of axis r when it lies inside, else -1 (no border rule applied).
VISTELMO_INLINE int64_t inside_index(const AxisRule& r, int64_t v) {
  const int64_t i = r.origin + r.sign * v;
  return i >= 0 && i < r.size ? i : -1;
}

// The four samples around (ix, iy): s00 at (ix, iy), s01 at (ix, iy + 1), s10 at (ix + 1, iy),
// s11 at (ix + 1, iy + 1). With kFast, straight from the rows when all four lie inside the
// source, each row and column resolved once otherwise; without, through the sampler.
template <class Pixel>
struct SampleQuad {
  Pixel s00, s01, s10, s11;
};

template <bool kFast, class Img>
VISTELMO_INLINE SampleQuad<typename Img::Pixel> sample_quad(const Sampler<Img>& s, int ix, int iy) {
  const int64_t a0 = ix, b0 = iy;
  if (!kFast) return {s(a0, b0), s(a0, b0 + 1), s(a0 + 1, b0), s(a0 + 1, b0 + 1)};
  const BorderRule& br = s.rule();
  int64_t i0 = inside_index(br.a, a0), i1 = inside_index(br.a, a0 + 1);
  int64_t j0 = inside_index(br.b, b0), j1 = inside_index(br.b, b0 + 1);
  if ((i0 | i1 | j0 | j1) < 0) {
    i0 = border_index(br, br.a, a0), i1 = border_index(br, br.a, a0 + 1);
    j0 = border_index(br, br.b, b0), j1 = border_index(br, br.b, b0 + 1);
  }
  return {s.at(i0, j0), s.at(i0, j1), s.at(i1, j0), s.at(i1, j1)};
}

// One sample at (ix, iy); with kFast straight from the rows when inside.
template <bool kFast, class Img>
VISTELMO_INLINE typename Img::Pixel single_sample(const Sampler<Img>& s, int ix, int iy) {
  if (kFast) {
    const BorderRule& br = s.rule();
    const int64_t i = inside_index(br.a, ix), j = inside_index(br.b, iy);
    if ((i | j) >= 0) return s.at(i, j);
  }
  return s(ix, iy);
}

// Bilinear weights at fractions (dx, dy), in the order of SampleQuad's samples.
struct BilinearWeights {
  double w00, w01, w10, w11;
};
VISTELMO_INLINE BilinearWeights bilinear_weights(double dx, double dy) {
  return {(1 - dx) * (1 - dy), (1 - dx) * dy, dx * (1 - dy), dx * dy};
}

// The samples weighted and summed in that order in double.
template <class Pixel>
VISTELMO_INLINE double blend_quad(const BilinearWeights& w, const SampleQuad<Pixel>& q) {
  return w.w00 * q.s00 + w.w01 * q.s01 + w.w10 * q.s10 + w.w11 * q.s11;
}

// A resampled value into a pixel: rounded and clamped to a byte, or rounded to float.
VISTELMO_INLINE void store_pixel(unsigned char& p, double v) { p = round_to_byte(v); }
VISTELMO_INLINE void store_pixel(float& p, double v) { p = static_cast<float>(v); }

// The blend stored into a pixel; a colour pixel blends and rounds each channel as a grey one.
template <class Pixel>
VISTELMO_INLINE void store_blend(Pixel& p, const BilinearWeights& w, const SampleQuad<Pixel>& q) {
  store_pixel(p, blend_quad(w, q));
}
VISTELMO_INLINE void store_blend(COR& p, const BilinearWeights& w, const SampleQuad<COR>& q) {
  for (unsigned char COR::*ch : {&COR::r, &COR::g, &COR::b})
    p.*ch = round_to_byte(w.w00 * (q.s00.*ch) + w.w01 * (q.s01.*ch) + w.w10 * (q.s10.*ch) +
                          w.w11 * (q.s11.*ch));
}

// Calls fn(dx, dy, quad) with the bilinear neighbourhood of (xs, ys) in offsets, y upward.
template <bool kFast, class Img, class Fn>
auto bilinear(const Sampler<Img>& s, double xs, double ys, Fn&& fn) {
  const int ix = floor_index(xs), iy = floor_index(ys);
  return fn(xs - ix, ys - iy, sample_quad<kFast>(s, ix, iy));
}

// Source offsets of the columns of one destination row: x = (c - cc) / f, xs = x C + p and
// ys = (-x) S + q, with p and q the row's terms.
struct RowMap {
  double cc, f, C, S, p, q;

  VISTELMO_INLINE void at(int c, double& xs, double& ys) const {
    const double x = (static_cast<double>(c) - cc) / f;
    xs = x * C + p;
    ys = -x * S + q;
  }
};

// Columns [from, to) of one destination row by bilinear resampling, in blocks: the positions and
// their neighbourhoods first, the samples next, the blends last. store(c, dx, dy, quad) writes
// column c.
constexpr int kRowBlock = 64;

template <class Img, class Store>
VISTELMO_INLINE void bilinear_row(const Sampler<Img>& s, int from, int to, const RowMap& m,
                                  Store store) {
  using Pixel = typename Img::Pixel;
  int ix[kRowBlock], iy[kRowBlock];
  double dx[kRowBlock], dy[kRowBlock];
  Pixel s00[kRowBlock], s01[kRowBlock], s10[kRowBlock], s11[kRowBlock];
  for (int c0 = from; c0 < to; c0 += kRowBlock) {
    const int w = to - c0 < kRowBlock ? to - c0 : kRowBlock;
    for (int k = 0; k < w; k++) {
      double xs, ys;
      m.at(c0 + k, xs, ys);
      ix[k] = floor_index(xs);
      iy[k] = floor_index(ys);
      dx[k] = xs - ix[k];
      dy[k] = ys - iy[k];
    }
    for (int k = 0; k < w; k++) {
      const SampleQuad<Pixel> q = sample_quad<true>(s, ix[k], iy[k]);
      s00[k] = q.s00, s01[k] = q.s01, s10[k] = q.s10, s11[k] = q.s11;
    }
    for (int k = 0; k < w; k++)
      store(c0 + k, dx[k], dy[k], SampleQuad<Pixel>{s00[k], s01[k], s10[k], s11[k]});
  }
}

// The same by the nearest sample: store(c, sample).
template <class Img, class Store>
VISTELMO_INLINE void nearest_row(const Sampler<Img>& s, int from, int to, const RowMap& m,
                                 Store store) {
  for (int c = from; c < to; c++) {
    double xs, ys;
    m.at(c, xs, ys);
    store(c, single_sample<true>(s, round_index(xs), round_index(ys)));
  }
}

// Calls fn(l, from, to) over the destination in tiles, so that the source rows a tile reads
// stay in cache.
template <class Fn>
void resample_tiles(int nl, int nc, Fn fn) {
  constexpr int kRows = 32, kCols = 256;
  for (int l0 = 0; l0 < nl; l0 += kRows)
    for (int c0 = 0; c0 < nc; c0 += kCols)
      for (int l = l0; l < nl && l < l0 + kRows; l++) fn(l, c0, nc - c0 < kCols ? nc : c0 + kCols);
}

// AVX2 forms of the row loops: four columns per step, each with the scalar form's operations in
// its order.
namespace avx2 {

__attribute__((target("avx2"))) inline __m256d clamp_far(__m256d v) {
  return _mm256_min_pd(_mm256_max_pd(v, _mm256_set1_pd(-kFar)), _mm256_set1_pd(kFar));
}

// Offsets of columns c .. c + 3.
__attribute__((target("avx2"))) inline void at(const RowMap& m, int c, __m256d& xs, __m256d& ys) {
  const __m256d col = _mm256_add_pd(_mm256_set1_pd(c), _mm256_set_pd(3, 2, 1, 0));
  // Dividing by 1 changes nothing; skip it.
  __m256d x = _mm256_sub_pd(col, _mm256_set1_pd(m.cc));
  if (m.f != 1.0) x = _mm256_div_pd(x, _mm256_set1_pd(m.f));
  const __m256d negx = _mm256_xor_pd(x, _mm256_set1_pd(-0.0));
  xs = _mm256_add_pd(_mm256_mul_pd(x, _mm256_set1_pd(m.C)), _mm256_set1_pd(m.p));
  ys = _mm256_add_pd(_mm256_mul_pd(negx, _mm256_set1_pd(m.S)), _mm256_set1_pd(m.q));
}

// round_to_byte of four values, in the low four bytes.
__attribute__((target("avx2"))) inline void store(unsigned char* out, __m256d v) {
  v = _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
  const __m256d t = _mm256_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
  const __m256d up = _mm256_cmp_pd(_mm256_sub_pd(v, t), _mm256_set1_pd(0.5), _CMP_GE_OQ);
  const __m128i i = _mm256_cvttpd_epi32(_mm256_add_pd(t, _mm256_and_pd(up, _mm256_set1_pd(1.0))));
  const __m128i b = _mm_packus_epi16(_mm_packus_epi32(i, i), _mm_setzero_si128());
  const int32_t word = _mm_cvtsi128_si32(b);
  std::memcpy(out, &word, 4);
}
__attribute__((target("avx2"))) inline void store(float* out, __m256d v) {
  _mm_storeu_ps(out, _mm256_cvtpd_ps(v));
}

__attribute__((target("avx2"))) inline __m256d load(const unsigned char* p) {
  int32_t word;
  std::memcpy(&word, p, 4);
  return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(word)));
}
__attribute__((target("avx2"))) inline __m256d load(const float* p) {
  return _mm256_cvtps_pd(_mm_loadu_ps(p));
}

// Offsets in the block of a straight sampler (row origin - iy, column origin + ix) for four
// positions, and a mask of those whose rows l - up .. l and columns c .. c + right all lie
// inside. Usable when block() holds.
template <class Img>
bool block(const Sampler<Img>& s) {
  const BorderRule& br = s.rule();
  constexpr double kNear = kFar / 2;
  return br.valid && br.swapped && br.a.sign == 1 && br.b.sign == -1 && s.stride() >= 0 &&
         br.a.origin > -kNear && br.a.origin < kNear && br.b.origin > -kNear && br.b.origin < kNear;
}

template <class Img>
__attribute__((target("avx2"))) int offsets4(const Sampler<Img>& s, const int* ix, const int* iy,
                                             int up, int right, int* off) {
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
VISTELMO_INLINE void prefetch(const Pixel* p, int64_t ahead) {
  const uintptr_t at =
      reinterpret_cast<uintptr_t>(p) + static_cast<uintptr_t>(ahead * sizeof(Pixel));
  _mm_prefetch(reinterpret_cast<const char*>(at), _MM_HINT_T0);
}

// Four bilinear blends into out: in double, rounded as the pixel type is stored.
template <class Pixel>
__attribute__((target("avx2"))) void blend4(Pixel* out, __m256d dx, __m256d dy, const Pixel* s00,
                                            const Pixel* s01, const Pixel* s10, const Pixel* s11) {
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d ex = _mm256_sub_pd(one, dx), ey = _mm256_sub_pd(one, dy);
  __m256d v = _mm256_mul_pd(_mm256_mul_pd(ex, ey), load(s00));
  v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(ex, dy), load(s01)));
  v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(dx, ey), load(s10)));
  v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(dx, dy), load(s11)));
  store(out, v);
}

// Channel ch of four colour pixels.
__attribute__((target("avx2"))) inline __m256d channel4(const COR* p, unsigned char COR::*ch) {
  return _mm256_set_pd(p[3].*ch, p[2].*ch, p[1].*ch, p[0].*ch);
}

// Colour pixels: each channel as a grey pixel.
__attribute__((target("avx2"))) inline void blend4(COR* out, __m256d dx, __m256d dy, const COR* s00,
                                                   const COR* s01, const COR* s10, const COR* s11) {
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
__attribute__((target("avx2"))) inline void blend4(std::complex<float>* out, __m256d dx, __m256d dy,
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
__attribute__((target("avx2"))) void bilinear_row(const Sampler<Img>& s, int from, int to,
                                                  const RowMap& m, typename Img::Pixel* out,
                                                  Store tail) {
  using Pixel = typename Img::Pixel;
  alignas(32) int ix[kRowBlock], iy[kRowBlock];
  alignas(32) double dx[kRowBlock], dy[kRowBlock];
  alignas(32) Pixel s00[kRowBlock], s01[kRowBlock], s10[kRowBlock], s11[kRowBlock];
  const int whole = from + ((to - from) & ~3);
  const bool linear = block(s);
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
__attribute__((target("avx2"))) inline __m128i round_index(__m256d v) {
  v = clamp_far(v);
  const __m256d t = _mm256_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
  const __m256d d = _mm256_sub_pd(v, t), one = _mm256_set1_pd(1.0);
  const __m256d up = _mm256_and_pd(_mm256_cmp_pd(d, _mm256_set1_pd(0.5), _CMP_GE_OQ), one);
  const __m256d down = _mm256_and_pd(_mm256_cmp_pd(d, _mm256_set1_pd(-0.5), _CMP_LE_OQ), one);
  return _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_add_pd(t, up), down));
}

// Columns [from, to) by the nearest sample, any pixel type.
template <class Img>
__attribute__((target("avx2"))) void nearest_row(const Sampler<Img>& s, int from, int to,
                                                 const RowMap& m, typename Img::Pixel* out) {
  alignas(16) int ix[4], iy[4];
  const int whole = from + ((to - from) & ~3);
  const bool linear = block(s);
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

// SourceLines of a source along the axis that offset a walks, as doubles, each behind one slot
// holding the outside value and followed by a slot holding 0: line(b)[0] is the outside value,
// line(b)[slot(a)] the sample at (a, b) and line(b)[zero()] is 0. The last two lines are kept.
// With lines along rows, fetch (when given) makes pixel row o instead of the image.
template <class Img>
class SourceLines {
 public:
  using Fetch = std::function<const typename Img::Pixel*(int64_t)>;
  SourceLines(const Img& im, const BorderRule& br, const Fetch* fetch = nullptr)
      : im_(im), br_(br), n_(br.a.size), fetch_(br.swapped ? fetch : nullptr) {
    for (auto& b : buf_) b.resize(n_ + 2);
  }
  int32_t slot(int64_t a) const { return static_cast<int32_t>(border_index(br_, br_.a, a) + 1); }
  int32_t zero() const { return static_cast<int32_t>(n_ + 1); }
  // The line of offset b; keep is a line the caller still holds.
  const double* line(int64_t b, const double* keep = nullptr) {
    const int64_t o = border_index(br_, br_.b, b);
    for (int k = 0; k < 2; k++)
      if (valid_[k] && key_[k] == o) return buf_[k].data();
    const int k = buf_[0].data() == keep ? 1 : 0;
    fill(buf_[k].data(), o);
    key_[k] = o;
    valid_[k] = true;
    return buf_[k].data();
  }

 private:
  void fill(double* v, int64_t o) const {
    v[0] = im_.backg;
    v[n_ + 1] = 0;
    if (o < 0)
      std::fill(v + 1, v + n_ + 1, static_cast<double>(im_.backg));
    else if (br_.swapped) {
      const auto* row = fetch_ != nullptr ? (*fetch_)(o) : im_.rows[o];
      std::copy(row, row + n_, v + 1);
    } else
      for (int64_t i = 0; i < n_; i++) v[i + 1] = im_.rows[i][o];
  }

  const Img& im_;
  BorderRule br_;
  int64_t n_;
  const Fetch* fetch_;
  std::vector<double> buf_[2];
  int64_t key_[2] = {0, 0};
  bool valid_[2] = {false, false};
};

// Row loops over lines, out[k] = w0[k] l0[i0[k]] + w1[k] l1[i1[k]], sum[k] += line[i[k]] and
// out[k] = sum[k] / count[k], where a null index table reads line[k] and a Spread of step 0
// repeats its first value. The AVX2 forms take four k at a time with the same operations.
struct Spread {
  const double* v;
  int step;
  double operator[](int k) const { return v[k * step]; }
};

namespace avx2 {

__attribute__((target("avx2"))) inline __m256d line4(const double* line, const int32_t* i, int k) {
  // Four loads beat a gather here.
  if (i == nullptr) return _mm256_loadu_pd(line + k);
  return _mm256_set_pd(line[i[k + 3]], line[i[k + 2]], line[i[k + 1]], line[i[k]]);
}
__attribute__((target("avx2"))) inline __m256d spread4(const Spread& s, int k) {
  return s.step == 0 ? _mm256_set1_pd(s.v[0]) : _mm256_loadu_pd(s.v + k);
}

}  // namespace avx2

VISTELMO_INLINE double line_at(const double* line, const int32_t* i, int k) {
  return i == nullptr ? line[k] : line[i[k]];
}

namespace avx2 {

template <class Pixel>
__attribute__((target("avx2"))) void blend_row(Pixel* out, int n, const double* l0,
                                               const int32_t* i0, Spread w0, const double* l1,
                                               const int32_t* i1, Spread w1) {
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

__attribute__((target("avx2"))) inline void add_row(double* sum, int n, const double* line,
                                                    const int32_t* i) {
  int k = 0;
  for (; k + 4 <= n; k += 4)
    _mm256_storeu_pd(sum + k, _mm256_add_pd(_mm256_loadu_pd(sum + k), line4(line, i, k)));
  for (; k < n; k++) sum[k] += vistelmo::line_at(line, i, k);
}

template <class Pixel>
__attribute__((target("avx2"))) void average_row(Pixel* out, int n, const double* sum, Spread count,
                                                 Spread inverse) {
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

template <class Pixel>
void blend_row(bool avx2, Pixel* out, int n, const double* l0, const int32_t* i0, Spread w0,
               const double* l1, const int32_t* i1, Spread w1) {
  if (avx2) return avx2::blend_row(out, n, l0, i0, w0, l1, i1, w1);
  for (int k = 0; k < n; k++)
    store_pixel(out[k], w0[k] * line_at(l0, i0, k) + w1[k] * line_at(l1, i1, k));
}

inline void add_row(bool avx2, double* sum, int n, const double* line, const int32_t* i) {
  if (avx2) return avx2::add_row(sum, n, line, i);
  for (int k = 0; k < n; k++) sum[k] += line_at(line, i, k);
}

// inverse, when its v is not null, holds 1 / count[k] for counts that are powers of two (or 0):
// then the product is the quotient exactly.
template <class Pixel>
void average_row(bool avx2, Pixel* out, int n, const double* sum, Spread count, Spread inverse) {
  if (avx2) return avx2::average_row(out, n, sum, count, inverse);
  if (inverse.v != nullptr)
    for (int k = 0; k < n; k++) store_pixel(out[k], sum[k] * inverse[k]);
  else
    for (int k = 0; k < n; k++) store_pixel(out[k], sum[k] / count[k]);
}

// Runs of destination indices k0 .. k1 - 1 whose groups (members first[k] .. first[k + 1] of
// members) are two adjacent source indices, each group starting where the one before ended: k
// takes j0 + 2 (k - k0) and the index after it.
struct PairRun {
  int k0, k1, j0;
};
inline std::vector<PairRun> pair_runs(const std::vector<int>& first,
                                      const std::vector<int>& members, int to) {
  auto pair = [&](int k) {
    return first[k + 1] - first[k] == 2 && members[first[k] + 1] == members[first[k]] + 1;
  };
  std::vector<PairRun> runs;
  for (int k = 0; k < to;) {
    if (!pair(k)) {
      k++;
      continue;
    }
    const int k0 = k;
    while (k + 1 < to && pair(k + 1) && members[first[k + 1]] == members[first[k]] + 2) k++;
    runs.push_back({k0, ++k, members[first[k0]]});
  }
  return runs;
}

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

// Rounded means of byte pairs, (a + b + 1) >> 1: equal to round((a + b) / 2.0) with halves away
// from zero, as the double average stores them. out[k] from src[2k] and src[2k + 1]; the
// _from forms do k .. n - 1 one at a time.
inline void pair_means_from(int k, unsigned char* out, const unsigned char* src, int n) {
  for (; k < n; k++) out[k] = static_cast<unsigned char>((src[2 * k] + src[2 * k + 1] + 1) >> 1);
}
inline void row_means_from(int k, unsigned char* out, const unsigned char* a,
                           const unsigned char* b, int n) {
  for (; k < n; k++) out[k] = static_cast<unsigned char>((a[k] + b[k] + 1) >> 1);
}

namespace avx2 {

__attribute__((target("avx2"))) inline void pair_means(unsigned char* out, const unsigned char* src,
                                                       int n) {
  const __m256i low = _mm256_set1_epi16(0x00FF);
  int k = 0;
  for (; k + 32 <= n; k += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * k));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * k + 32));
    const __m256i mx = _mm256_avg_epu16(_mm256_and_si256(x, low), _mm256_srli_epi16(x, 8));
    const __m256i my = _mm256_avg_epu16(_mm256_and_si256(y, low), _mm256_srli_epi16(y, 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k),
                        _mm256_permute4x64_epi64(_mm256_packus_epi16(mx, my), 0xD8));
  }
  pair_means_from(k, out, src, n);
}

__attribute__((target("avx2"))) inline void row_means(unsigned char* out, const unsigned char* a,
                                                      const unsigned char* b, int n) {
  int k = 0;
  for (; k + 32 <= n; k += 32)
    _mm256_storeu_si256(
        reinterpret_cast<__m256i*>(out + k),
        _mm256_avg_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + k)),
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + k))));
  row_means_from(k, out, a, b, n);
}

}  // namespace avx2

inline void pair_means(bool avx2, unsigned char* out, const unsigned char* src, int n) {
  if (avx2) return avx2::pair_means(out, src, n);
  const __m128i low = _mm_set1_epi16(0x00FF);
  int k = 0;
  for (; k + 16 <= n; k += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * k));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * k + 16));
    const __m128i mx = _mm_avg_epu16(_mm_and_si128(x, low), _mm_srli_epi16(x, 8));
    const __m128i my = _mm_avg_epu16(_mm_and_si128(y, low), _mm_srli_epi16(y, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(mx, my));
  }
  pair_means_from(k, out, src, n);
}

// out[k] = (a[k] + b[k] + 1) >> 1.
inline void row_means(bool avx2, unsigned char* out, const unsigned char* a, const unsigned char* b,
                      int n) {
  if (avx2) return avx2::row_means(out, a, b, n);
  int k = 0;
  for (; k + 16 <= n; k += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                     _mm_avg_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k))));
  row_means_from(k, out, a, b, n);
}

// 1 / c when c is a power of two (or 0, whose quotients are not used), false otherwise.
inline bool exact_inverse(double c, double& inverse) {
  int e;
  if (c != 0 && std::frexp(c, &e) != 0.5) return false;
  inverse = 1 / c;
  return true;
}

// A table of consecutive slots as the null table over its first slot's line position.
inline const int32_t* table_or_run(const std::vector<int32_t>& at, int32_t& first) {
  first = at.empty() ? 0 : at[0];
  for (size_t k = 0; k < at.size(); k++)
    if (at[k] != first + static_cast<int32_t>(k)) {
      first = 0;
      return at.data();
    }
  return nullptr;
}

}  // namespace vistelmo
