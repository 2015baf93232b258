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

// Which loops run, by the current instruction-set level (processing/kernels/isa.h): the
// per-sample loops over Sampler at kPlain, the row loops on the baseline instruction set at kSse2,
// their AVX2 forms from kAvx2, the AVX-512 (F, BW, DQ, VL) forms from kAvx512 and those that also
// need VBMI at kAvx512Vbmi.
bool resample_fast();
bool resample_avx2();
bool resample_avx512();
bool resample_vbmi();

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
VISTELMO_INLINE int64_t border_index(const BorderRule& br, const AxisRule& r, int64_t v) {
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
  // The column terms x C and (-x) S of destination columns first, first + 1, ..., when worked
  // out (ColumnTerms): column c at cterm[c - first].
  const double* cterm = nullptr;
  const double* sterm = nullptr;
  int first = 0;

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

// Inner rows: a map with its column terms (RowMap::cterm, sterm) over a sampler whose rows form
// one block. Columns go in groups of eight. A group whose samples all lie inside the block reads
// them straight from it (offset (oy - iy) stride + ox + ix) with no border rule; under the
// outside value or nearest edge rules, another group reads each sample at its row and column
// clamped to the block, and takes the outside value where the rule gives it; under other rules
// it takes the row loops above. Positions, floors, roundings and blends are the scalar forms'
// operations in their order.

// x = (c - cc) / f, x C and (-x) S for the destination columns of a tile, worked out once for
// all its rows.
class ColumnTerms {
 public:
  ColumnTerms(double cc, double f, double C, double S) : cc_(cc), f_(f), C_(C), S_(S) {}
  // The map of a row over columns [from, to) with row terms p and q.
  RowMap map(int from, int to, double p, double q) {
    if (from != from_ || to != to_) {
      cterm_.resize(to - from);
      sterm_.resize(to - from);
      for (int c = from; c < to; c++) {
        const double x = (static_cast<double>(c) - cc_) / f_;
        cterm_[c - from] = x * C_;
        sterm_[c - from] = -x * S_;
      }
      from_ = from;
      to_ = to;
    }
    return {cc_, f_, C_, S_, p, q, cterm_.data(), sterm_.data(), from};
  }

 private:
  double cc_, f_, C_, S_;
  int from_ = 0, to_ = -1;
  std::vector<double> cterm_, sterm_;
};

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

// 0.5 less half an ulp: for |v| <= kFar, trunc(v + copysign(kHalfDown, v)) rounds v with halves
// away from zero (the sum is exact, or rounds up to the next integer only from a half).
constexpr double kHalfDown = 0.49999999999999994;

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

namespace avx2 {

#define VISTELMO_AVX2 __attribute__((target("avx2")))

struct Lanes {
  // Four lanes of v within [lo, hi].
  VISTELMO_AVX2 static __m256d within(__m256d v, double lo, double hi) {
    return _mm256_and_pd(_mm256_cmp_pd(v, _mm256_set1_pd(lo), _CMP_GE_OQ),
                         _mm256_cmp_pd(v, _mm256_set1_pd(hi), _CMP_LE_OQ));
  }
  VISTELMO_AVX2 static __m256d clamp(__m256d v, double lo, double hi) {
    return _mm256_min_pd(_mm256_max_pd(v, _mm256_set1_pd(lo)), _mm256_set1_pd(hi));
  }
  VISTELMO_AVX2 static void offset(int* to, __m256d row, __m256d col, const InnerBounds& b) {
    const __m256d o = _mm256_add_pd(_mm256_mul_pd(row, _mm256_set1_pd(b.stride)), col);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm256_cvttpd_epi32(o));
  }

  // Floored (or rounded, kNearest) positions of a chunk's groups, four lanes at a time; m and b
  // by value, as stores into k could otherwise change them.
  template <bool kNearest>
  VISTELMO_AVX2 static void positions(const RowMap m, const InnerBounds b, int c0, int groups,
                                      InnerChunk& k) {
    if (ends_inside<kNearest>(m, b, c0, c0 + groups * kGroup - 1)) {
      // Every group inside: no clamps, no tests.
      const __m256d p = _mm256_set1_pd(m.p), q = _mm256_set1_pd(m.q);
      const __m256d ox = _mm256_set1_pd(b.ox), oy = _mm256_set1_pd(b.oy);
      const __m256d sign = _mm256_set1_pd(-0.0), half = _mm256_set1_pd(kHalfDown);
      for (int j = 0; j < groups * kGroup; j += 4) {
        const __m256d xs = _mm256_add_pd(_mm256_loadu_pd(m.cterm + (c0 - m.first) + j), p);
        const __m256d ys = _mm256_add_pd(_mm256_loadu_pd(m.sterm + (c0 - m.first) + j), q);
        __m256d ix, iy;
        if (kNearest) {
          ix = _mm256_round_pd(_mm256_add_pd(xs, _mm256_or_pd(_mm256_and_pd(xs, sign), half)),
                               _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
          iy = _mm256_round_pd(_mm256_add_pd(ys, _mm256_or_pd(_mm256_and_pd(ys, sign), half)),
                               _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
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
    const __m256d sign = _mm256_set1_pd(-0.0), half = _mm256_set1_pd(kHalfDown);
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
          ix[h] = _mm256_round_pd(_mm256_add_pd(cx, _mm256_or_pd(_mm256_and_pd(cx, sign), half)),
                                  _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
          iy[h] = _mm256_round_pd(_mm256_add_pd(cy, _mm256_or_pd(_mm256_and_pd(cy, sign), half)),
                                  _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
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
  VISTELMO_AVX2 static void weights(const InnerChunk& k, int j, __m256d w[4]) {
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d dx = _mm256_load_pd(k.dx + j), dy = _mm256_load_pd(k.dy + j);
    const __m256d ex = _mm256_sub_pd(one, dx), ey = _mm256_sub_pd(one, dy);
    w[0] = _mm256_mul_pd(ex, ey), w[1] = _mm256_mul_pd(ex, dy);
    w[2] = _mm256_mul_pd(dx, ey), w[3] = _mm256_mul_pd(dx, dy);
  }
  // w0 s00 + w1 s01 + w2 s10 + w3 s11 in that order; for bytes clamped to [0, 255] and
  // rounded, as int32.
  VISTELMO_AVX2 static __m256d blend_sum(const __m256d w[4], const __m256d s[4]) {
    __m256d v = _mm256_mul_pd(w[0], s[0]);
    for (int n = 1; n < 4; n++) v = _mm256_add_pd(v, _mm256_mul_pd(w[n], s[n]));
    return v;
  }
  VISTELMO_AVX2 static __m128i blend_bytes(const __m256d w[4], const __m256d s[4]) {
    __m256d v = blend_sum(w, s);
    v = _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
    return _mm256_cvttpd_epi32(_mm256_add_pd(v, _mm256_set1_pd(kHalfDown)));
  }
  // Lanes of bits (four lanes from bit 0) as a mask.
  VISTELMO_AVX2 static __m256d lanes_of(int bits) {
    const __m256i lane = _mm256_setr_epi64x(1, 2, 4, 8);
    return _mm256_castsi256_pd(
        _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(bits), lane), lane));
  }

  VISTELMO_AVX2 static void blend(unsigned char* out, const InnerChunk& k, const uint16_t* top,
                                  const uint16_t* bottom, const unsigned char (*samples)[kRowBlock],
                                  unsigned char outside, int groups) {
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
  VISTELMO_AVX2 static void halves(const uint64_t* words, __m256d& first, __m256d& second) {
    const __m128 lo = _mm_loadu_ps(reinterpret_cast<const float*>(words));
    const __m128 hi = _mm_loadu_ps(reinterpret_cast<const float*>(words) + 4);
    first = _mm256_cvtps_pd(_mm_shuffle_ps(lo, hi, 0x88));
    second = _mm256_cvtps_pd(_mm_shuffle_ps(lo, hi, 0xDD));
  }
  // Floats: the blend rounded to float.
  VISTELMO_AVX2 static void blend(float* out, const InnerChunk& k, const uint64_t* top,
                                  const uint64_t* bottom, const float (*samples)[kRowBlock],
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
  VISTELMO_AVX2 static void blend(std::complex<float>* out, const InnerChunk& k,
                                  const PairWord<std::complex<float>>::Word* top,
                                  const PairWord<std::complex<float>>::Word* bottom,
                                  const std::complex<float> (*samples)[kRowBlock],
                                  std::complex<float> outside, int groups) {
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
  VISTELMO_AVX2 static __m256d byte_of(__m256i words, int n) {
    const __m256i magic = _mm256_set1_epi64x(0x4330000000000000);  // 2^52
    const __m256i b = _mm256_and_si256(_mm256_srl_epi64(words, _mm_cvtsi32_si128(8 * n)),
                                       _mm256_set1_epi64x(0xFF));
    return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(b, magic)),
                         _mm256_castsi256_pd(magic));
  }

  // Colour: the inside groups from their pair words; edge groups in colour_edge.
  VISTELMO_AVX2 static void blend(COR* out, const InnerChunk& k, const uint64_t* top,
                                  const uint64_t* bottom, const uint32_t (*samples)[kRowBlock],
                                  const COR& outside, int groups) {
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
  VISTELMO_AVX2 static void store_colour(COR* out, __m128i px) {
    unsigned char* o = reinterpret_cast<unsigned char*>(out);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), px);
    const int32_t last = _mm_extract_epi32(px, 2);
    std::memcpy(o + 8, &last, 4);
  }
  // Edge group g of colour pixels: samples r, g, b in one word, the outside colour by masks.
  __attribute__((noinline)) VISTELMO_AVX2 static void colour_edge(
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

// GCC 12 takes the intrinsics' undefined upper halves for uninitialised values.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace avx512 {

#define VISTELMO_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl")))

struct Lanes {
  VISTELMO_AVX512 static __mmask8 within(__m512d v, double lo, double hi) {
    return _mm512_mask_cmp_pd_mask(_mm512_cmp_pd_mask(v, _mm512_set1_pd(lo), _CMP_GE_OQ), v,
                                   _mm512_set1_pd(hi), _CMP_LE_OQ);
  }
  VISTELMO_AVX512 static __m512d clamp(__m512d v, double lo, double hi) {
    return _mm512_min_pd(_mm512_max_pd(v, _mm512_set1_pd(lo)), _mm512_set1_pd(hi));
  }
  VISTELMO_AVX512 static void offset(int* to, __m512d row, __m512d col, const InnerBounds& b) {
    const __m512d o = _mm512_add_pd(_mm512_mul_pd(row, _mm512_set1_pd(b.stride)), col);
    _mm256_store_si256(reinterpret_cast<__m256i*>(to), _mm512_cvttpd_epi32(o));
  }

  // The same, eight lanes at a time.
  template <bool kNearest>
  VISTELMO_AVX512 static void positions(const RowMap m, const InnerBounds b, int c0, int groups,
                                        InnerChunk& k) {
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

  VISTELMO_AVX512 static void weights(const InnerChunk& k, int j, __m512d w[4]) {
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d dx = _mm512_load_pd(k.dx + j), dy = _mm512_load_pd(k.dy + j);
    const __m512d ex = _mm512_sub_pd(one, dx), ey = _mm512_sub_pd(one, dy);
    w[0] = _mm512_mul_pd(ex, ey), w[1] = _mm512_mul_pd(ex, dy);
    w[2] = _mm512_mul_pd(dx, ey), w[3] = _mm512_mul_pd(dx, dy);
  }
  VISTELMO_AVX512 static __m512d blend_sum(const __m512d w[4], const __m512d s[4]) {
    __m512d v = _mm512_mul_pd(w[0], s[0]);
    for (int n = 1; n < 4; n++) v = _mm512_add_pd(v, _mm512_mul_pd(w[n], s[n]));
    return v;
  }
  VISTELMO_AVX512 static __m256i blend_bytes(const __m512d w[4], const __m512d s[4]) {
    __m512d v = blend_sum(w, s);
    v = _mm512_min_pd(_mm512_max_pd(v, _mm512_setzero_pd()), _mm512_set1_pd(255.0));
    return _mm512_cvttpd_epi32(_mm512_add_pd(v, _mm512_set1_pd(kHalfDown)));
  }

  VISTELMO_AVX512 static void blend(unsigned char* out, const InnerChunk& k, const uint16_t* top,
                                    const uint16_t* bottom,
                                    const unsigned char (*samples)[kRowBlock],
                                    unsigned char outside, int groups) {
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
  VISTELMO_AVX512 static void halves(const uint64_t* words, __m512d& first, __m512d& second) {
    const __m512i v = _mm512_load_si512(words);
    first = _mm512_cvtps_pd(_mm256_castsi256_ps(_mm512_cvtepi64_epi32(v)));
    second = _mm512_cvtps_pd(_mm256_castsi256_ps(_mm512_cvtepi64_epi32(_mm512_srli_epi64(v, 32))));
  }
  VISTELMO_AVX512 static void blend(float* out, const InnerChunk& k, const uint64_t* top,
                                    const uint64_t* bottom, const float (*samples)[kRowBlock],
                                    float outside, int groups) {
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
  VISTELMO_AVX512 static __m512 both(__m512d w) {
    const __m256 f = _mm512_cvtpd_ps(w);
    return _mm512_insertf32x8(_mm512_castps256_ps512(f), f, 1);
  }
  // Complex pixels: the real parts of eight in the low half, the imaginary in the high half.
  VISTELMO_AVX512 static void blend(std::complex<float>* out, const InnerChunk& k,
                                    const PairWord<std::complex<float>>::Word* top,
                                    const PairWord<std::complex<float>>::Word* bottom,
                                    const std::complex<float> (*samples)[kRowBlock],
                                    std::complex<float> outside, int groups) {
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

  VISTELMO_AVX512 static __m512d byte_of(__m512i words, int n) {
    return _mm512_cvtepi64_pd(_mm512_and_si512(_mm512_srl_epi64(words, _mm_cvtsi32_si128(8 * n)),
                                               _mm512_set1_epi64(0xFF)));
  }

  // Colour: the inside groups from their pair words; edge groups in colour_edge.
  VISTELMO_AVX512 static void blend(COR* out, const InnerChunk& k, const uint64_t* top,
                                    const uint64_t* bottom, const uint32_t (*samples)[kRowBlock],
                                    const COR& outside, int groups) {
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
  VISTELMO_AVX512 static void store_colour(COR* out, __m256i px) {
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
  __attribute__((noinline)) VISTELMO_AVX512 static void colour_edge(
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

// Which row loops a rotation takes: one column at a time, the AVX2 forms, or the inner rows in
// four or eight lanes (a sampler whose rows form one block).
enum class RowLoops { kPortable, kAvx2, kInnerAvx2, kInnerAvx512 };

template <class Img>
RowLoops row_loops(const Sampler<Img>& s) {
  if (!resample_avx2()) return RowLoops::kPortable;
  if (!avx2::block(s)) return RowLoops::kAvx2;
  return resample_avx512() ? RowLoops::kInnerAvx512 : RowLoops::kInnerAvx2;
}
inline bool inner(RowLoops l) { return l == RowLoops::kInnerAvx2 || l == RowLoops::kInnerAvx512; }

// Columns [from, to) of a row by bilinear resampling through loops l (the inner ones need the
// map's column terms, and a sampler whose rows form one block, else the AVX2 forms run); tail(c,
// dx, dy, quad) stores what the one-column loop makes.
template <class Img, class Store>
void bilinear_row(RowLoops l, const Sampler<Img>& s, int from, int to, const RowMap& m,
                  typename Img::Pixel* out, Store tail) {
  if (inner(l) && !avx2::block(s)) l = RowLoops::kAvx2;
  if (l == RowLoops::kInnerAvx512)
    return inner_bilinear_row<avx512::Lanes>(s, from, to, m, out, tail);
  if (l == RowLoops::kInnerAvx2) return inner_bilinear_row<avx2::Lanes>(s, from, to, m, out, tail);
  if (l == RowLoops::kPortable) return bilinear_row(s, from, to, m, tail);
  avx2::bilinear_row(s, from, to, m, out, tail);
}

// The same by the nearest sample.
template <class Img>
void nearest_row(RowLoops l, const Sampler<Img>& s, int from, int to, const RowMap& m,
                 typename Img::Pixel* out) {
  if (inner(l) && !avx2::block(s)) l = RowLoops::kAvx2;
  if (l == RowLoops::kInnerAvx512) return inner_nearest_row<avx512::Lanes>(s, from, to, m, out);
  if (l == RowLoops::kInnerAvx2) return inner_nearest_row<avx2::Lanes>(s, from, to, m, out);
  if (l == RowLoops::kAvx2) return avx2::nearest_row(s, from, to, m, out);
  nearest_row(s, from, to, m, [&](int c, typename Img::Pixel v) { out[c] = v; });
}

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

// The bytes of a colour image as a grey image three times as wide sharing its pixels: column
// 3 c + ch is channel ch of column c; centre 3 cc on the columns, outside value 0. fits() is false
// when the bytes are too many for one image.
class WideGrey {
 public:
  explicit WideGrey(const IMGCOR& c) : rows_(has_pixels(c) ? c.nl() : 0) {
    for (size_t l = 0; l < rows_.size(); l++)
      rows_[l] = reinterpret_cast<unsigned char*>(c.rows[l]);
    fits_ = 3 * int64_t{c.nc} * c.nl <= INT32_MAX;
    if (!fits_) return;
    g_.nl = c.nl;
    g_.nc = 3 * c.nc;
    g_.n = wrapped_product(g_.nl, g_.nc);
    g_.lc = c.lc;
    g_.cc = 3 * c.cc;
    g_.data = rows_.empty() ? nullptr : reinterpret_cast<unsigned char*>(c.data);
    g_.rows = rows_.data();
  }
  ~WideGrey() {
    g_.data = nullptr;
    g_.rows = nullptr;
  }
  WideGrey(const WideGrey&) = delete;
  WideGrey& operator=(const WideGrey&) = delete;
  bool fits() const { return fits_; }
  IMGGRY& image() { return g_; }

 private:
  std::vector<unsigned char*> rows_;
  bool fits_;
  IMGGRY g_;
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
// members) are size adjacent source indices (pairs by default), each group starting where the one
// before ended: k takes j0 + size (k - k0) and the size - 1 indices after it.
struct PairRun {
  int k0, k1, j0;
};
inline std::vector<PairRun> pair_runs(const std::vector<int>& first,
                                      const std::vector<int>& members, int to, int size = 2) {
  auto whole = [&](int k) {
    if (first[k + 1] - first[k] != size) return false;
    for (int i = 1; i < size; i++)
      if (members[first[k] + i] != members[first[k]] + i) return false;
    return true;
  };
  std::vector<PairRun> runs;
  for (int k = 0; k < to;) {
    if (!whole(k)) {
      k++;
      continue;
    }
    const int k0 = k;
    while (k + 1 < to && whole(k + 1) && members[first[k + 1]] == members[first[k]] + size) k++;
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
// The same for four bytes, (a + b + c + d + 2) >> 2, out[k] from src[4k .. 4k + 3].
inline void quad_means_from(int k, unsigned char* out, const unsigned char* src, int n) {
  for (; k < n; k++)
    out[k] = static_cast<unsigned char>(
        (src[4 * k] + src[4 * k + 1] + src[4 * k + 2] + src[4 * k + 3] + 2) >> 2);
}
// Four rows: out[k] = (r[0][k] + r[1][k] + r[2][k] + r[3][k] + 2) >> 2.
inline void row_quads_from(int k, unsigned char* out, const unsigned char* const* r, int n) {
  for (; k < n; k++)
    out[k] = static_cast<unsigned char>((r[0][k] + r[1][k] + r[2][k] + r[3][k] + 2) >> 2);
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

// Sixteen outputs a step: byte pairs summed into words, word pairs into dwords.
__attribute__((target("avx2"))) inline void quad_means(unsigned char* out, const unsigned char* src,
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

// 32 a step: the bytes widened to words in each lane and packed back in place.
__attribute__((target("avx2"))) inline void row_quads(unsigned char* out,
                                                      const unsigned char* const* r, int n) {
  const __m256i zero = _mm256_setzero_si256(), two = _mm256_set1_epi16(2);
  int k = 0;
  for (; k + 32 <= n; k += 32) {
    __m256i lo = two, hi = two;
    for (int i = 0; i < 4; i++) {
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r[i] + k));
      lo = _mm256_add_epi16(lo, _mm256_unpacklo_epi8(x, zero));
      hi = _mm256_add_epi16(hi, _mm256_unpackhi_epi8(x, zero));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k),
                        _mm256_packus_epi16(_mm256_srli_epi16(lo, 2), _mm256_srli_epi16(hi, 2)));
  }
  row_quads_from(k, out, r, n);
}

}  // namespace avx2

inline void row_quads(bool avx2, unsigned char* out, const unsigned char* const* r, int n) {
  if (avx2) return avx2::row_quads(out, r, n);
  row_quads_from(0, out, r, n);
}

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
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void pair_means(
    unsigned char* out, const unsigned char* src, int n) {
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
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void colour_pair_means(
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

// Runs shorter than an AVX2 step stay here: a call per short run (and the check) cost more than
// the run.
inline void pair_means(bool avx2, unsigned char* out, const unsigned char* src, int n) {
  if (avx2 && n >= 32)
    return resample_vbmi() ? avx512::pair_means(out, src, n) : avx2::pair_means(out, src, n);
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

inline void quad_means(bool avx2, unsigned char* out, const unsigned char* src, int n) {
  if (avx2 && n >= 16) return avx2::quad_means(out, src, n);
  quad_means_from(0, out, src, n);
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
