// Sampling of images at offsets under a border mode, shared by rotation and zoom.
// Library sources only.
#pragma once

#include <cmath>
#include <cstdint>

#include "foundation/erro.h"
#include "images/image_core_internal.h"

namespace vistelmo {
namespace resample {

// A real position as an int index. Far-away positions (and NaN) stay far outside every image,
// so the conversion never overflows.
inline int to_index(double v) {
  constexpr double kFar = 1073741824.0;
  if (!(v > -kFar)) return -(1 << 30);
  if (v > kFar) return 1 << 30;
  return static_cast<int>(v);
}
inline int round_index(double v) { return to_index(std::round(v)); }
inline int floor_index(double v) { return to_index(std::floor(v)); }

// Geometry of a source; an image without pixels counts as 0 by 0.
struct Frame {
  int64_t nl, nc, lc, cc;
};

template <class Img>
Frame frame_of(const Img& im) {
  const bool full = has_pixels(im);
  return Frame{full ? im.nl() : 0, full ? im.nc() : 0, im.lc, im.cc};
}

inline bool inside(const Frame& f, int64_t l, int64_t c) {
  return l >= 0 && l < f.nl && c >= 0 && c < f.nc;
}
inline int64_t clamp(int64_t i, int64_t size) { return i < 0 ? 0 : (i >= size ? size - 1 : i); }
inline int64_t wrap(int64_t i, int64_t size) {
  int64_t k = i % size;
  return k < 0 ? k + size : k;
}

// One struct per border mode: map(a, b) gives the pixel (l, c), or false for the outside value.
struct ModeN {
  static bool map(int64_t a, int64_t b, const Frame& f, int64_t& l, int64_t& c) {
    l = a, c = b;
    return inside(f, l, c);
  }
};
struct ModeClamp {
  static bool map(int64_t a, int64_t b, const Frame& f, int64_t& l, int64_t& c) {
    if (f.nl < 1 || f.nc < 1) return false;
    l = clamp(a, f.nl), c = clamp(b, f.nc);
    return true;
  }
};
struct ModeError {
  static bool map(int64_t a, int64_t b, const Frame& f, int64_t& l, int64_t& c) {
    l = a, c = b;
    if (!inside(f, l, c)) erro("Indice invalido", "");
    return true;
  }
};
struct ModeWrap {
  static bool map(int64_t a, int64_t b, const Frame& f, int64_t& l, int64_t& c) {
    if (f.nl < 1 || f.nc < 1) return false;
    l = wrap(a, f.nl), c = wrap(b, f.nc);
    return true;
  }
};
struct ModeCentred {
  static bool map(int64_t a, int64_t b, const Frame& f, int64_t& l, int64_t& c) {
    l = f.lc + a, c = f.cc + b;
    return inside(f, l, c);
  }
};
struct ModeCentredWrap {
  static bool map(int64_t a, int64_t b, const Frame& f, int64_t& l, int64_t& c) {
    if (f.nl < 1 || f.nc < 1) return false;
    l = wrap(f.lc + a, f.nl), c = wrap(f.cc + b, f.nc);
    return true;
  }
};
struct ModeBottomLeft {
  static bool map(int64_t a, int64_t b, const Frame& f, int64_t& l, int64_t& c) {
    l = f.nl - 1 - b, c = a;
    return inside(f, l, c);
  }
};
// Cartesian offsets from the centre: x = a to the right, y = b upward.
struct ModeCartesianClamp {
  static bool map(int64_t a, int64_t b, const Frame& f, int64_t& l, int64_t& c) {
    if (f.nl < 1 || f.nc < 1) return false;
    l = clamp(f.lc - b, f.nl), c = clamp(f.cc + a, f.nc);
    return true;
  }
};
struct ModeCartesian {
  static bool map(int64_t a, int64_t b, const Frame& f, int64_t& l, int64_t& c) {
    l = f.lc - b, c = f.cc + a;
    return inside(f, l, c);
  }
};
struct ModeInvalid {
  static bool map(int64_t, int64_t, const Frame&, int64_t&, int64_t&) {
    erro("Erro: Modo de acesso invalido", "");
  }
};

// Calls fn with the mode struct of a border letter; an unknown letter gives ModeInvalid, which
// fails at the first sample, as the element access does.
template <class Fn>
void with_mode(char mode, Fn&& fn) {
  switch (static_cast<unsigned char>(mode)) {
    case 'n':
    case 0:
      return fn(ModeN{});
    case 'x':
    case 1:
      return fn(ModeClamp{});
    case 'e':
    case 2:
      return fn(ModeError{});
    case 'r':
    case 3:
      return fn(ModeWrap{});
    case 'c':
    case 4:
      return fn(ModeCentred{});
    case 's':
    case 5:
      return fn(ModeCentredWrap{});
    case 'N':
    case 10:
      return fn(ModeBottomLeft{});
    case 'X':
    case 11:
      return fn(ModeCartesianClamp{});
    case 'C':
    case 14:
      return fn(ModeCartesian{});
    default:
      return fn(ModeInvalid{});
  }
}

// Reads an image at (a, b) under the border mode Mode.
template <class Img, class Mode>
class Sampler {
 public:
  using Pixel = typename Img::Pixel;

  explicit Sampler(const Img& im) : rows_(im.rows), backg_(im.backg), frame_(frame_of(im)) {}
  Pixel operator()(int64_t a, int64_t b) const {
    int64_t l, c;
    return Mode::map(a, b, frame_, l, c) ? rows_[l][c] : backg_;
  }

 private:
  Pixel* const* rows_;
  Pixel backg_;
  Frame frame_;
};

// Bilinear interpolation at (xs, ys) in offsets, y upward: the four samples around the position
// weighted (1-dx)(1-dy), (1-dx)dy, dx(1-dy), dx dy and summed in that order in double.
template <class S>
double bilinear(const S& s, double xs, double ys) {
  const int ix = floor_index(xs), iy = floor_index(ys);
  const double dx = xs - ix, dy = ys - iy;
  const double w00 = (1 - dx) * (1 - dy), w01 = (1 - dx) * dy, w10 = dx * (1 - dy), w11 = dx * dy;
  return w00 * s(ix, iy) + w01 * s(ix, iy + 1) + w10 * s(ix + 1, iy) + w11 * s(ix + 1, iy + 1);
}

}  // namespace resample
}  // namespace vistelmo
