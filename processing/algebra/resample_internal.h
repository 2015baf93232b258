// Sampling of images at offsets under a border mode, shared by rotation and zoom.
// Library sources only.
#pragma once

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

// Whether the row loops of processing/kernels/resample.h run (any level above Isa::kPlain) or the
// per-sample loops over Sampler.
bool resample_fast();

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
[[gnu::always_inline]] inline double clamp_far(double v) {
  v = v > -kFar ? v : -kFar;
  return v > kFar ? kFar : v;
}
[[gnu::always_inline]] inline int round_index(double v) {
  v = clamp_far(v);
  const int t = static_cast<int>(v);
  const double d = v - t;
  return t + (d >= 0.5) - (d <= -0.5);
}
[[gnu::always_inline]] inline int floor_index(double v) {
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
[[gnu::always_inline]] inline int64_t border_index(const BorderRule& br, const AxisRule& r,
                                                   int64_t v) {
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

// Whether the sampler's rows form one block read straight by row (origin - y) and column
// (origin + x), offsets well within int: the form the block row loops need.
template <class Img>
bool rows_form_block(const Sampler<Img>& s) {
  const BorderRule& br = s.rule();
  constexpr double kNear = kFar / 2;
  return br.valid && br.swapped && br.a.sign == 1 && br.b.sign == -1 && s.stride() >= 0 &&
         br.a.origin > -kNear && br.a.origin < kNear && br.b.origin > -kNear && br.b.origin < kNear;
}

// Index origin + sign * v of axis r when it lies inside, else -1 (no border rule applied).
[[gnu::always_inline]] inline int64_t inside_index(const AxisRule& r, int64_t v) {
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
[[gnu::always_inline]] inline SampleQuad<typename Img::Pixel> sample_quad(const Sampler<Img>& s,
                                                                          int ix, int iy) {
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
[[gnu::always_inline]] inline typename Img::Pixel single_sample(const Sampler<Img>& s, int ix,
                                                                int iy) {
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
[[gnu::always_inline]] inline BilinearWeights bilinear_weights(double dx, double dy) {
  return {(1 - dx) * (1 - dy), (1 - dx) * dy, dx * (1 - dy), dx * dy};
}

// The samples weighted and summed in that order in double.
template <class Pixel>
[[gnu::always_inline]] inline double blend_quad(const BilinearWeights& w,
                                                const SampleQuad<Pixel>& q) {
  return w.w00 * q.s00 + w.w01 * q.s01 + w.w10 * q.s10 + w.w11 * q.s11;
}

// A resampled value into a pixel: rounded and clamped to a byte, or rounded to float.
[[gnu::always_inline]] inline void store_pixel(unsigned char& p, double v) { p = round_to_byte(v); }
[[gnu::always_inline]] inline void store_pixel(float& p, double v) { p = static_cast<float>(v); }

// The blend stored into a pixel; a colour pixel blends and rounds each channel as a grey one.
template <class Pixel>
[[gnu::always_inline]] inline void store_blend(Pixel& p, const BilinearWeights& w,
                                               const SampleQuad<Pixel>& q) {
  store_pixel(p, blend_quad(w, q));
}
// Complex pixels: each part in single precision, the weights rounded to float, each product and
// sum rounded.
[[gnu::always_inline]] inline void store_blend(std::complex<float>& p, const BilinearWeights& w,
                                               const SampleQuad<std::complex<float>>& q) {
  const float w00 = static_cast<float>(w.w00), w01 = static_cast<float>(w.w01);
  const float w10 = static_cast<float>(w.w10), w11 = static_cast<float>(w.w11);
  float re = w00 * q.s00.real();
  re = re + w01 * q.s01.real();
  re = re + w10 * q.s10.real();
  re = re + w11 * q.s11.real();
  float im = w00 * q.s00.imag();
  im = im + w01 * q.s01.imag();
  im = im + w10 * q.s10.imag();
  im = im + w11 * q.s11.imag();
  p = std::complex<float>(re, im);
}
[[gnu::always_inline]] inline void store_blend(COR& p, const BilinearWeights& w,
                                               const SampleQuad<COR>& q) {
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

  [[gnu::always_inline]] inline void at(int c, double& xs, double& ys) const {
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
[[gnu::always_inline]] inline void bilinear_row(const Sampler<Img>& s, int from, int to,
                                                const RowMap& m, Store store) {
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
[[gnu::always_inline]] inline void nearest_row(const Sampler<Img>& s, int from, int to,
                                               const RowMap& m, Store store) {
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

[[gnu::always_inline]] inline double line_at(const double* line, const int32_t* i, int k) {
  return i == nullptr ? line[k] : line[i[k]];
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
