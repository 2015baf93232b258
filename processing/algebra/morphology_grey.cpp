// Grey and float morphology: separable rectangles and structuring images with heights.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "foundation/constants.h"
#include "processing/algebra/morphology.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace core = vistelmo;

namespace {

using core::Tap;

// The running value changes only on a strictly smaller (erosion) or greater (dilation) sample,
// so a NaN never enters and the first of equal samples stays.
struct Smaller {
  template <class T>
  bool operator()(T v, T acc) const {
    return v < acc;
  }
};
struct Greater {
  template <class T>
  bool operator()(T v, T acc) const {
    return v > acc;
  }
};

// Rectangle of wl x wc about offsets -hr.., -hc..: a row pass into a temporary, then a column
// pass back into a. Samples outside read a's outside value, in both passes.
template <class Img, class Better>
void rectangle(Img& a, int wl, int wc, int64_t hr, int64_t hc, typename Img::Pixel start,
               Better better) {
  using T = typename Img::Pixel;
  if (!core::has_pixels(a)) return;
  const int nl = a.nl, nc = a.nc;
  const T outside = a.backg;
  auto fold = [&](T& acc, T v) {
    if (better(v, acc)) acc = v;
  };
  std::vector<T> temp(static_cast<size_t>(nl) * nc);
  for (int y = 0; y < nl; y++) {
    const T* src = a.rows[y];
    T* t = &temp[static_cast<size_t>(y) * nc];
    for (int c = 0; c < nc; c++) {
      T acc = start;
      if (wc >= 1) {
        const int64_t lo = c - hc, hi = lo + wc - 1;
        if (lo < 0) fold(acc, outside);
        const int64_t x1 = std::min<int64_t>(hi, nc - 1);
        for (int64_t x = std::max<int64_t>(lo, 0); x <= x1; x++) fold(acc, src[x]);
        if (hi >= nc) fold(acc, outside);
      }
      t[c] = acc;
    }
  }
  std::vector<T> acc(nc);
  for (int l = 0; l < nl; l++) {
    std::fill(acc.begin(), acc.end(), start);
    if (wl >= 1) {
      const int64_t lo = l - hr, hi = lo + wl - 1;
      if (lo < 0)
        for (T& v : acc) fold(v, outside);
      const int64_t y1 = std::min<int64_t>(hi, nl - 1);
      for (int64_t y = std::max<int64_t>(lo, 0); y <= y1; y++) {
        const T* t = &temp[static_cast<size_t>(y) * nc];
        for (int c = 0; c < nc; c++) fold(acc[c], t[c]);
      }
      if (hi >= nl)
        for (T& v : acc) fold(v, outside);
    }
    std::copy(acc.begin(), acc.end(), a.rows[l]);
  }
}

int64_t erosion_half(int size) { return (int64_t{size} - 1) / 2; }
int64_t dilation_half(int size) { return int64_t{size} - 1 - (int64_t{size} - 1) / 2; }

inline int clamp_byte(int v) { return std::min(255, std::max(0, v)); }

// Minimum over the members of clamp(p - s), outside p = 255.
struct GreyErode {
  IMGGRY& r;
  int acc;
  void start() { acc = 255; }
  void in(unsigned char p, const Tap& t) { acc = std::min(acc, clamp_byte(p - t.value)); }
  void out(const Tap& t) { acc = std::min(acc, clamp_byte(255 - t.value)); }
  void finish(int l, int c) { r.rows[l][c] = static_cast<unsigned char>(acc); }
};

// Maximum over the members of clamp(p + s), outside p = 0.
struct GreyDilate {
  IMGGRY& r;
  int acc;
  void start() { acc = 0; }
  void in(unsigned char p, const Tap& t) { acc = std::max(acc, clamp_byte(p + t.value)); }
  void out(const Tap& t) { acc = std::max(acc, clamp_byte(t.value)); }
  void finish(int l, int c) { r.rows[l][c] = static_cast<unsigned char>(acc); }
};

template <class Visitor>
IMGGRY by_structure(const IMGGRY& a, const IMGSHT& b, int sign) {
  IMGGRY r(a.nl, a.nc);
  if (!core::has_pixels(a)) return r;
  const auto taps = core::window_taps(b, sign, [](short v) { return v != minsht; });
  Visitor v{r, 0};
  core::traverse_window(a.rows, a.nl, a.nc, taps, v);
  return r;
}

}  // namespace

IMGGRY erosao(IMGGRY a, int nl, int nc) {
  a.backg = 255;
  rectangle(a, nl, nc, erosion_half(nl), erosion_half(nc), static_cast<unsigned char>(255),
            Smaller());
  return a;
}

IMGGRY dilat(IMGGRY a, int nl, int nc) {
  a.backg = 0;
  rectangle(a, nl, nc, dilation_half(nl), dilation_half(nc), static_cast<unsigned char>(0),
            Greater());
  return a;
}

IMGFLT erosao(IMGFLT a, int nl, int nc) {
  rectangle(a, nl, nc, erosion_half(nl), erosion_half(nc), static_cast<float>(infinito), Smaller());
  return a;
}

IMGFLT dilat(IMGFLT a, int nl, int nc) {
  rectangle(a, nl, nc, dilation_half(nl), dilation_half(nc), static_cast<float>(-infinito),
            Greater());
  return a;
}

IMGGRY operator-(const IMGGRY& a, const IMGSHT& b) { return by_structure<GreyErode>(a, b, 1); }

IMGGRY operator+(const IMGGRY& a, const IMGSHT& b) { return by_structure<GreyDilate>(a, b, -1); }
