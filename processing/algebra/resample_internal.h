// Sampling of images at offsets under a border mode, shared by rotation and zoom.
// Library sources only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "foundation/erro.h"
#include "images/image_core_internal.h"

namespace vistelmo {
namespace resample {

// Which loops run: the per-sample loops over Sampler, or the table-driven ones (the default).
// Test hook.
enum class Tier { kPlain, kFast };
void set_tier(Tier t);
Tier tier();

constexpr double kFar = 1073741824.0;

// A real position as an int index. Far-away positions (and NaN) stay far outside every image,
// so the conversion never overflows.
inline int to_index(double v) {
  if (!(v > -kFar)) return -(1 << 30);
  if (v > kFar) return 1 << 30;
  return static_cast<int>(v);
}
// to_index(std::round(v)) and to_index(std::floor(v)) without a libm call: the truncation is
// exact within the range, and so is the fraction v - t.
inline int round_index(double v) {
  if (!(v > -kFar)) return -(1 << 30);
  if (v > kFar) return 1 << 30;
  int t = static_cast<int>(v);
  const double d = v - t;
  if (d >= 0.5) t++;
  if (d <= -0.5) t--;
  return t;
}
inline int floor_index(double v) {
  if (!(v > -kFar)) return -(1 << 30);
  if (v > kFar) return 1 << 30;
  const int t = static_cast<int>(v);
  return t > v ? t - 1 : t;
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
      : rows_(im.rows), backg_(im.backg), border_(border_of(mode, frame_of(im))) {}
  Pixel operator()(int64_t a, int64_t b) const {
    const int64_t l = border_.row.resolve(border_.straight ? b : a);
    const int64_t c = border_.col.resolve(border_.straight ? a : b);
    return l < 0 || c < 0 ? backg_ : rows_[l][c];
  }
  const Border& border() const { return border_; }
  Pixel* const* rows() const { return rows_; }

 private:
  Pixel* const* rows_;
  Pixel backg_;
  Border border_;
};

// The four samples around (ix, iy): s00 at (ix, iy), s01 at (ix, iy + 1), s10 at (ix + 1, iy),
// s11 at (ix + 1, iy + 1). With kFast, straight from the rows when all four lie inside the
// source; through the sampler otherwise.
template <class Pixel>
struct Quad {
  Pixel s00, s01, s10, s11;
};

template <bool kFast, class Img>
Quad<typename Img::Pixel> quad(const Sampler<Img>& s, int ix, int iy) {
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
  const int64_t x = ix, y = iy;
  return {s(x, y), s(x, y + 1), s(x + 1, y), s(x + 1, y + 1)};
}

// One sample at (ix, iy); with kFast straight from the rows when inside.
template <bool kFast, class Img>
typename Img::Pixel single(const Sampler<Img>& s, int ix, int iy) {
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
inline Weights weights(double dx, double dy) {
  return {(1 - dx) * (1 - dy), (1 - dx) * dy, dx * (1 - dy), dx * dy};
}

// The samples weighted and summed in that order in double.
template <class Pixel>
double blend(const Weights& w, const Quad<Pixel>& q) {
  return w.w00 * q.s00 + w.w01 * q.s01 + w.w10 * q.s10 + w.w11 * q.s11;
}

// Calls fn(dx, dy, quad) with the bilinear neighbourhood of (xs, ys) in offsets, y upward.
template <bool kFast, class Img, class Fn>
auto bilinear(const Sampler<Img>& s, double xs, double ys, Fn&& fn) {
  const int ix = floor_index(xs), iy = floor_index(ys);
  return fn(xs - ix, ys - iy, quad<kFast>(s, ix, iy));
}

// Lines of a source along the axis that offset a walks, each behind one slot holding the outside
// value: line(b)[0] is the outside value and line(b)[slot(a)] the sample at (a, b). The last two
// lines are kept.
template <class Img>
class Lines {
 public:
  using Pixel = typename Img::Pixel;

  Lines(const Img& im, const Border& br) : im_(im), br_(br) {
    const int64_t n = br.along_a().size + 1;
    for (auto& b : buf_) b.resize(n);
  }
  int32_t slot(int64_t a) const { return static_cast<int32_t>(br_.along_a().resolve(a) + 1); }
  // The line of offset b; keep is a line the caller still holds.
  const Pixel* line(int64_t b, const Pixel* keep = nullptr) {
    const int64_t o = br_.along_b().resolve(b);
    for (int k = 0; k < 2; k++)
      if (valid_[k] && key_[k] == o) return buf_[k].data();
    const int k = buf_[0].data() == keep ? 1 : 0;
    fill(buf_[k], o);
    key_[k] = o;
    valid_[k] = true;
    return buf_[k].data();
  }

 private:
  void fill(std::vector<Pixel>& v, int64_t o) const {
    const int64_t n = static_cast<int64_t>(v.size()) - 1;
    v[0] = im_.backg;
    if (o < 0)
      std::fill(v.begin() + 1, v.end(), im_.backg);
    else if (br_.straight)
      std::copy(im_.rows[o], im_.rows[o] + n, v.begin() + 1);
    else
      for (int64_t i = 0; i < n; i++) v[i + 1] = im_.rows[i][o];
  }

  const Img& im_;
  Border br_;
  std::vector<Pixel> buf_[2];
  int64_t key_[2] = {0, 0};
  bool valid_[2] = {false, false};
};

}  // namespace resample
}  // namespace vistelmo
