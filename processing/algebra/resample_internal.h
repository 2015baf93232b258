// Sampling of images at offsets under a border mode, shared by rotation and zoom.
// Library sources only.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "foundation/erro.h"
#include "images/colour_internal.h"
#include "images/image_core_internal.h"

namespace vistelmo {
namespace resample {

// Which loops run: the per-sample loops over Sampler (plain), the row loops on the baseline
// instruction set (portable), or the row loops on the best set this processor has (the default).
// Test hook.
enum class Tier { kPlain, kPortable, kDispatched };
void set_tier(Tier t);
Tier tier();
inline bool fast() { return tier() != Tier::kPlain; }
bool use_avx2();

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

// Geometry of a source; an image without pixels counts as 0 by 0.
struct Frame {
  int64_t nl, nc, lc, cc;
};

template <class Img>
Frame frame_of(const Img& im) {
  const bool full = has_pixels(im);
  return Frame{full ? im.nl() : 0, full ? im.nc() : 0, im.lc, im.cc};
}

// What an axis does with an index past its ends.
enum class Edge { kOutside, kClamp, kWrap, kError, kInvalid };

// One axis of a border mode: offset i lands on origin + sign * i.
struct AxisRule {
  int64_t origin, sign, size;
  Edge edge;

  // The index on the axis, or -1 for the outside value.
  int64_t resolve(int64_t i) const {
    const int64_t k = origin + sign * i;
    if (k >= 0 && k < size) return k;
    switch (edge) {
      case Edge::kClamp:
        return size < 1 ? -1 : (k < 0 ? 0 : size - 1);
      case Edge::kWrap: {
        if (size < 1) return -1;
        const int64_t w = k % size;
        return w < 0 ? w + size : w;
      }
      case Edge::kError:
        erro("Indice invalido", "");
      case Edge::kInvalid:
        erro("Erro: Modo de acesso invalido", "");
      default:
        return -1;
    }
  }
};

// A border mode over a frame: offsets (a, b) land on row row.resolve(b) and column
// col.resolve(a) when straight, on row row.resolve(a) and column col.resolve(b) otherwise.
// An unknown letter fails at the first sample read, as the element access does.
struct Border {
  bool straight;
  AxisRule row, col;

  const AxisRule& along_a() const { return straight ? col : row; }
  const AxisRule& along_b() const { return straight ? row : col; }
};

inline Border border_of(char mode, const Frame& f) {
  auto axes = [&](bool straight, int64_t lo, int64_t ls, int64_t co, Edge e) {
    return Border{straight, AxisRule{lo, ls, f.nl, e}, AxisRule{co, 1, f.nc, e}};
  };
  switch (static_cast<unsigned char>(mode)) {
    case 'n':
    case 0:
      return axes(false, 0, 1, 0, Edge::kOutside);
    case 'x':
    case 1:
      return axes(false, 0, 1, 0, Edge::kClamp);
    case 'e':
    case 2:
      return axes(false, 0, 1, 0, Edge::kError);
    case 'r':
    case 3:
      return axes(false, 0, 1, 0, Edge::kWrap);
    case 'c':
    case 4:
      return axes(false, f.lc, 1, f.cc, Edge::kOutside);
    case 's':
    case 5:
      return axes(false, f.lc, 1, f.cc, Edge::kWrap);
    case 'N':
    case 10:
      return axes(true, f.nl - 1, -1, 0, Edge::kOutside);
    case 'X':
    case 11:
      return axes(true, f.lc, -1, f.cc, Edge::kClamp);
    case 'C':
    case 14:
      return axes(true, f.lc, -1, f.cc, Edge::kOutside);
    default:
      return Border{true, AxisRule{0, 1, 0, Edge::kInvalid}, AxisRule{0, 1, 0, Edge::kInvalid}};
  }
}

// Reads an image at (a, b) under a border mode, one sample at a time.
template <class Img>
class Sampler {
 public:
  using Pixel = typename Img::Pixel;

  Sampler(const Img& im, char mode)
      : rows_(im.rows), backg_(im.backg), border_(border_of(mode, frame_of(im))) {
    // Rows evenly spaced in one block, offsets within an int: pixel (l, c) at l * stride + c.
    const int64_t nl = border_.row.size;
    if (nl < 1 || border_.col.size < 1) return;
    const int64_t stride = nl > 1 ? rows_[1] - rows_[0] : border_.col.size;
    if (stride < border_.col.size || nl * stride >= (int64_t{1} << 31)) return;
    for (int64_t l = 0; l < nl; l++)
      if (rows_[l] != rows_[0] + l * stride) return;
    stride_ = stride;
  }
  Pixel operator()(int64_t a, int64_t b) const {
    const int64_t l = border_.row.resolve(border_.straight ? b : a);
    const int64_t c = border_.col.resolve(border_.straight ? a : b);
    return l < 0 || c < 0 ? backg_ : rows_[l][c];
  }
  const Border& border() const { return border_; }
  Pixel* const* rows() const { return rows_; }
  Pixel backg() const { return backg_; }
  // The row spacing of the block, or -1 when the rows are not one evenly spaced block.
  int64_t stride() const { return stride_; }

 private:
  Pixel* const* rows_;
  Pixel backg_;
  Border border_;
  int64_t stride_ = -1;
};

// The four samples around (ix, iy): s00 at (ix, iy), s01 at (ix, iy + 1), s10 at (ix + 1, iy),
// s11 at (ix + 1, iy + 1). With kFast, straight from the rows when all four lie inside the
// source; through the sampler otherwise.
template <class Pixel>
struct Quad {
  Pixel s00, s01, s10, s11;
};

template <bool kFast, class Img>
VISTELMO_INLINE Quad<typename Img::Pixel> quad(const Sampler<Img>& s, int ix, int iy) {
  if (kFast) {
    const Border& br = s.border();
    if (br.straight) {
      const int64_t l = br.row.origin - iy, c = br.col.origin + ix;
      if (l >= 1 && l < br.row.size && c >= 0 && c + 1 < br.col.size) {
        const auto* r0 = s.rows()[l];
        const auto* r1 = s.rows()[l - 1];
        return {r0[c], r1[c], r0[c + 1], r1[c + 1]};
      }
    } else {
      const int64_t l = br.row.origin + ix, c = br.col.origin + iy;
      if (l >= 0 && l + 1 < br.row.size && c >= 0 && c + 1 < br.col.size) {
        const auto* r0 = s.rows()[l];
        const auto* r1 = s.rows()[l + 1];
        return {r0[c], r0[c + 1], r1[c], r1[c + 1]};
      }
    }
  }
  if (!kFast) {
    const int64_t x = ix, y = iy;
    return {s(x, y), s(x, y + 1), s(x + 1, y), s(x + 1, y + 1)};
  }
  // Each row and column resolved once.
  const Border& br = s.border();
  const int64_t a0 = ix, b0 = iy;
  const AxisRule &ra = br.straight ? br.col : br.row, &rb = br.straight ? br.row : br.col;
  const int64_t i0 = ra.resolve(a0), i1 = ra.resolve(a0 + 1);
  const int64_t j0 = rb.resolve(b0), j1 = rb.resolve(b0 + 1);
  auto at = [&](int64_t i, int64_t j) {
    if (i < 0 || j < 0) return s.backg();
    return br.straight ? s.rows()[j][i] : s.rows()[i][j];
  };
  return {at(i0, j0), at(i0, j1), at(i1, j0), at(i1, j1)};
}

// One sample at (ix, iy); with kFast straight from the rows when inside.
template <bool kFast, class Img>
VISTELMO_INLINE typename Img::Pixel single(const Sampler<Img>& s, int ix, int iy) {
  if (kFast) {
    const Border& br = s.border();
    const int64_t l = br.row.origin + br.row.sign * (br.straight ? iy : ix);
    const int64_t c = br.col.origin + (br.straight ? ix : iy);
    if (l >= 0 && l < br.row.size && c >= 0 && c < br.col.size) return s.rows()[l][c];
  }
  return s(ix, iy);
}

// Bilinear weights at fractions (dx, dy), in the order of Quad's samples.
struct Weights {
  double w00, w01, w10, w11;
};
VISTELMO_INLINE Weights weights(double dx, double dy) {
  return {(1 - dx) * (1 - dy), (1 - dx) * dy, dx * (1 - dy), dx * dy};
}

// The samples weighted and summed in that order in double.
template <class Pixel>
VISTELMO_INLINE double blend(const Weights& w, const Quad<Pixel>& q) {
  return w.w00 * q.s00 + w.w01 * q.s01 + w.w10 * q.s10 + w.w11 * q.s11;
}

// Calls fn(dx, dy, quad) with the bilinear neighbourhood of (xs, ys) in offsets, y upward.
template <bool kFast, class Img, class Fn>
auto bilinear(const Sampler<Img>& s, double xs, double ys, Fn&& fn) {
  const int ix = floor_index(xs), iy = floor_index(ys);
  return fn(xs - ix, ys - iy, quad<kFast>(s, ix, iy));
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
constexpr int kBlock = 64;

template <class Img, class Store>
VISTELMO_INLINE void bilinear_row(const Sampler<Img>& s, int from, int to, const RowMap& m,
                                  Store store) {
  using Pixel = typename Img::Pixel;
  int ix[kBlock], iy[kBlock];
  double dx[kBlock], dy[kBlock];
  Pixel s00[kBlock], s01[kBlock], s10[kBlock], s11[kBlock];
  for (int c0 = from; c0 < to; c0 += kBlock) {
    const int w = to - c0 < kBlock ? to - c0 : kBlock;
    for (int k = 0; k < w; k++) {
      double xs, ys;
      m.at(c0 + k, xs, ys);
      ix[k] = floor_index(xs);
      iy[k] = floor_index(ys);
      dx[k] = xs - ix[k];
      dy[k] = ys - iy[k];
    }
    for (int k = 0; k < w; k++) {
      const Quad<Pixel> q = quad<true>(s, ix[k], iy[k]);
      s00[k] = q.s00, s01[k] = q.s01, s10[k] = q.s10, s11[k] = q.s11;
    }
    for (int k = 0; k < w; k++)
      store(c0 + k, dx[k], dy[k], Quad<Pixel>{s00[k], s01[k], s10[k], s11[k]});
  }
}

// The same by the nearest sample: store(c, sample).
template <class Img, class Store>
VISTELMO_INLINE void nearest_row(const Sampler<Img>& s, int from, int to, const RowMap& m,
                                 Store store) {
  for (int c = from; c < to; c++) {
    double xs, ys;
    m.at(c, xs, ys);
    store(c, single<true>(s, round_index(xs), round_index(ys)));
  }
}

// Calls fn(l, from, to) over the destination in tiles, so that the source rows a tile reads
// stay in cache.
template <class Fn>
void tiles(int nl, int nc, Fn fn) {
  constexpr int kRows = 32, kCols = 256;
  for (int l0 = 0; l0 < nl; l0 += kRows)
    for (int c0 = 0; c0 < nc; c0 += kCols)
      for (int l = l0; l < nl && l < l0 + kRows; l++) fn(l, c0, nc - c0 < kCols ? nc : c0 + kCols);
}

// AVX2 forms of the position and blend loops for byte and float pixels: four columns per step,
// each with the scalar form's operations in its order.
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
  const Border& br = s.border();
  constexpr double kNear = kFar / 2;
  return br.straight && s.stride() >= 0 && br.row.origin > -kNear && br.row.origin < kNear &&
         br.col.origin > -kNear && br.col.origin < kNear;
}

template <class Img>
__attribute__((target("avx2"))) int offsets4(const Sampler<Img>& s, const int* ix, const int* iy,
                                             int up, int right, int* off) {
  const Border& br = s.border();
  const __m128i l = _mm_sub_epi32(_mm_set1_epi32(static_cast<int>(br.row.origin)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(iy)));
  const __m128i c = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(br.col.origin)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(ix)));
  const __m128i rows =
      _mm_and_si128(_mm_cmpgt_epi32(l, _mm_set1_epi32(up - 1)),
                    _mm_cmpgt_epi32(_mm_set1_epi32(static_cast<int>(br.row.size)), l));
  const __m128i cols =
      _mm_and_si128(_mm_cmpgt_epi32(c, _mm_set1_epi32(-1)),
                    _mm_cmpgt_epi32(_mm_set1_epi32(static_cast<int>(br.col.size) - right), c));
  _mm_storeu_si128(
      reinterpret_cast<__m128i*>(off),
      _mm_add_epi32(_mm_mullo_epi32(l, _mm_set1_epi32(static_cast<int>(s.stride()))), c));
  return _mm_movemask_ps(_mm_castsi128_ps(_mm_and_si128(rows, cols)));
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
  alignas(32) int ix[kBlock], iy[kBlock];
  alignas(32) double dx[kBlock], dy[kBlock];
  alignas(32) Pixel s00[kBlock], s01[kBlock], s10[kBlock], s11[kBlock];
  const int whole = from + ((to - from) & ~3);
  const bool linear = block(s);
  const Pixel* base = linear ? s.rows()[0] : nullptr;
  const int64_t stride = s.stride();
  for (int c0 = from; c0 < whole; c0 += kBlock) {
    const int w = whole - c0 < kBlock ? whole - c0 : kBlock;
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
          s00[k + j] = p[0], s10[k + j] = p[1], s01[k + j] = p[-stride], s11[k + j] = p[1 - stride];
        } else {
          const Quad<Pixel> q = quad<true>(s, ix[k + j], iy[k + j]);
          s00[k + j] = q.s00, s01[k + j] = q.s01, s10[k + j] = q.s10, s11[k + j] = q.s11;
        }
    }
    for (int k = 0; k < w; k += 4)
      blend4(out + c0 + k, _mm256_load_pd(dx + k), _mm256_load_pd(dy + k), s00 + k, s01 + k,
             s10 + k, s11 + k);
  }
  // The last columns one at a time.
  vistelmo::resample::bilinear_row(s, whole, to, m, tail);
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
  for (int c = from; c < whole; c += 4) {
    __m256d xs, ys;
    at(m, c, xs, ys);
    _mm_store_si128(reinterpret_cast<__m128i*>(ix), round_index(xs));
    _mm_store_si128(reinterpret_cast<__m128i*>(iy), round_index(ys));
    alignas(16) int off[4];
    const int inside = linear ? offsets4(s, ix, iy, 0, 0, off) : 0;
    for (int k = 0; k < 4; k++)
      out[c + k] = inside >> k & 1 ? base[off[k]] : single<true>(s, ix[k], iy[k]);
  }
  vistelmo::resample::nearest_row(s, whole, to, m,
                                  [&](int c, typename Img::Pixel v) { out[c] = v; });
}

}  // namespace avx2

// Lines of a source along the axis that offset a walks, as doubles, each behind one slot holding
// the outside value and followed by a slot holding 0: line(b)[0] is the outside value,
// line(b)[slot(a)] the sample at (a, b) and line(b)[zero()] is 0. The last two lines are kept.
template <class Img>
class Lines {
 public:
  explicit Lines(const Img& im, const Border& br) : im_(im), br_(br), n_(br.along_a().size) {
    for (auto& b : buf_) b.resize(n_ + 2);
  }
  int32_t slot(int64_t a) const { return static_cast<int32_t>(br_.along_a().resolve(a) + 1); }
  int32_t zero() const { return static_cast<int32_t>(n_ + 1); }
  // The line of offset b; keep is a line the caller still holds.
  const double* line(int64_t b, const double* keep = nullptr) {
    const int64_t o = br_.along_b().resolve(b);
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
    else if (br_.straight)
      std::copy(im_.rows[o], im_.rows[o] + n_, v + 1);
    else
      for (int64_t i = 0; i < n_; i++) v[i + 1] = im_.rows[i][o];
  }

  const Img& im_;
  Border br_;
  int64_t n_;
  std::vector<double> buf_[2];
  int64_t key_[2] = {0, 0};
  bool valid_[2] = {false, false};
};

// A resampled value into a pixel: rounded and clamped to a byte, or rounded to float.
VISTELMO_INLINE void put(unsigned char& p, double v) { p = round_to_byte(v); }
VISTELMO_INLINE void put(float& p, double v) { p = static_cast<float>(v); }

// Row loops over lines, out[k] = w0[k] l0[i0[k]] + w1[k] l1[i1[k]], sum[k] += line[i[k]] and
// out[k] = sum[k] / count[k], where a null index table reads line[k] and a Spread of step 0
// repeats its first value. The AVX2 forms take four k at a time with the same operations.
struct Spread {
  const double* v;
  int step;
  double operator[](int k) const { return v[k * step]; }
};

namespace avx2 {

__attribute__((target("avx2"))) inline __m256d read(const double* line, const int32_t* i, int k) {
  // Four loads beat a gather here.
  if (i == nullptr) return _mm256_loadu_pd(line + k);
  return _mm256_set_pd(line[i[k + 3]], line[i[k + 2]], line[i[k + 1]], line[i[k]]);
}
__attribute__((target("avx2"))) inline __m256d read(const Spread& s, int k) {
  return s.step == 0 ? _mm256_set1_pd(s.v[0]) : _mm256_loadu_pd(s.v + k);
}

}  // namespace avx2

VISTELMO_INLINE double read(const double* line, const int32_t* i, int k) {
  return i == nullptr ? line[k] : line[i[k]];
}

namespace avx2 {

template <class Pixel>
__attribute__((target("avx2"))) void blend_row(Pixel* out, int n, const double* l0,
                                               const int32_t* i0, Spread w0, const double* l1,
                                               const int32_t* i1, Spread w1) {
  int k = 0;
  for (; k + 4 <= n; k += 4) {
    const __m256d a = _mm256_mul_pd(read(w0, k), read(l0, i0, k));
    const __m256d b = _mm256_mul_pd(read(w1, k), read(l1, i1, k));
    store(out + k, _mm256_add_pd(a, b));
  }
  for (; k < n; k++)
    put(out[k], w0[k] * resample::read(l0, i0, k) + w1[k] * resample::read(l1, i1, k));
}

__attribute__((target("avx2"))) inline void add_row(double* sum, int n, const double* line,
                                                    const int32_t* i) {
  int k = 0;
  for (; k + 4 <= n; k += 4)
    _mm256_storeu_pd(sum + k, _mm256_add_pd(_mm256_loadu_pd(sum + k), read(line, i, k)));
  for (; k < n; k++) sum[k] += resample::read(line, i, k);
}

template <class Pixel>
__attribute__((target("avx2"))) void average_row(Pixel* out, int n, const double* sum, Spread count,
                                                 Spread inverse) {
  int k = 0;
  if (inverse.v != nullptr) {
    for (; k + 4 <= n; k += 4)
      store(out + k, _mm256_mul_pd(_mm256_loadu_pd(sum + k), read(inverse, k)));
    for (; k < n; k++) put(out[k], sum[k] * inverse[k]);
    return;
  }
  for (; k + 4 <= n; k += 4)
    store(out + k, _mm256_div_pd(_mm256_loadu_pd(sum + k), read(count, k)));
  for (; k < n; k++) put(out[k], sum[k] / count[k]);
}

}  // namespace avx2

template <class Pixel>
void blend_row(bool avx2, Pixel* out, int n, const double* l0, const int32_t* i0, Spread w0,
               const double* l1, const int32_t* i1, Spread w1) {
  if (avx2) return avx2::blend_row(out, n, l0, i0, w0, l1, i1, w1);
  for (int k = 0; k < n; k++) put(out[k], w0[k] * read(l0, i0, k) + w1[k] * read(l1, i1, k));
}

inline void add_row(bool avx2, double* sum, int n, const double* line, const int32_t* i) {
  if (avx2) return avx2::add_row(sum, n, line, i);
  for (int k = 0; k < n; k++) sum[k] += read(line, i, k);
}

// inverse, when its v is not null, holds 1 / count[k] for counts that are powers of two (or 0):
// then the product is the quotient exactly.
template <class Pixel>
void average_row(bool avx2, Pixel* out, int n, const double* sum, Spread count, Spread inverse) {
  if (avx2) return avx2::average_row(out, n, sum, count, inverse);
  if (inverse.v != nullptr)
    for (int k = 0; k < n; k++) put(out[k], sum[k] * inverse[k]);
  else
    for (int k = 0; k < n; k++) put(out[k], sum[k] / count[k]);
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

}  // namespace resample
}  // namespace vistelmo
