// Pixel writers and the integer line walk shared by the drawing sources.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>

#include "images/images.h"
#include "images/yuv.h"

namespace vistelmo::draw {

// Positions beyond the int range are outside every image; keep them outside.
inline int clip(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int>(v);
}

// Writes one colour through the image's plain element access (outside: the outside value).
template <class Img, class V>
struct Ink {
  Img& img;
  V v;
  void operator()(int64_t l, int64_t c) const { img(clip(l), clip(c)) = v; }
};

// On a 4:2:0 frame the colour is (Y, U, V): Y at the pixel, U and V in the chroma sample of
// its 2 x 2 block.
struct YuvInk {
  IMGYUV& img;
  COR v;
  void operator()(int64_t l, int64_t c) const {
    if (l < 0 || l >= img.nl() || c < 0 || c >= img.nc() || !img.img.data) {
      img.backg = v;
      return;
    }
    const int li = static_cast<int>(l), ci = static_cast<int>(c);
    const int64_t chroma = static_cast<int64_t>(li / 2) * img.cw + ci / 2;
    img.img.rows[li][ci] = v.r;
    img.img.data[img.uoff + chroma] = v.g;
    img.img.data[img.voff + chroma] = v.b;
  }
};

inline Ink<IMGBIN, bool> ink(IMGBIN& img, bool v) { return {img, v}; }
inline Ink<IMGGRY, unsigned char> ink(IMGGRY& img, unsigned char v) { return {img, v}; }
inline Ink<IMGCOR, COR> ink(IMGCOR& img, COR v) { return {img, v}; }
inline YuvInk ink(IMGYUV& img, COR v) { return {img, v}; }

// One pixel for t = 1, else the t x t square from (l - t/2, c - t/2); nothing for t < 1.
template <class Put>
void brush(const Put& put, int64_t l, int64_t c, int t) {
  if (t == 1) {
    put(l, c);
    return;
  }
  const int64_t l0 = l - t / 2, c0 = c - t / 2;
  for (int i = 0; i < t; i++)
    for (int j = 0; j < t; j++) put(l0 + i, c0 + j);
}

// The integer line walk: calls step(l, c) for every point from (l1, c1) to (l2, c2). Rows lead
// when |dc| < |dl|, else columns; the walk always runs toward the larger leading coordinate and
// the minor coordinate steps when the error reaches the major delta.
template <class Step>
void walk(int64_t l1, int64_t c1, int64_t l2, int64_t c2, const Step& step) {
  int64_t dl = l2 - l1, dc = c2 - c1;
  const bool rows_major = (dc < 0 ? -dc : dc) < (dl < 0 ? -dl : dl);
  if (!rows_major) {  // walk with the roles exchanged
    std::swap(l1, c1);
    std::swap(l2, c2);
    std::swap(dl, dc);
  }
  if (dl < 0) {
    std::swap(l1, l2);
    std::swap(c1, c2);
    dl = -dl;
    dc = -dc;
  }
  const int s = (dc > 0) - (dc < 0);
  const int64_t adc = dc < 0 ? -dc : dc;
  int64_t c = c1, e = 0;
  for (int64_t l = l1; l <= l2; l++) {
    if (rows_major)
      step(l, c);
    else
      step(c, l);
    e += 2 * adc;
    if (e >= dl) {
      c += s;
      e -= 2 * dl;
    }
  }
}

template <class Put>
void line(const Put& put, int64_t l1, int64_t c1, int64_t l2, int64_t c2, int t) {
  if (t < 1) return;  // the walk would set nothing
  walk(l1, c1, l2, c2, [&](int64_t l, int64_t c) { brush(put, l, c, t); });
}

// Round to nearest, halves away from zero, within the int range. An offset that is not a number
// (a dial turned by a NaN or infinite angle) is no offset.
inline int64_t round_away(double x) {
  if (x != x) return 0;
  const double r = std::round(x);
  return r >= 2147483647.0 ? INT32_MAX : r <= -2147483648.0 ? INT32_MIN : static_cast<int64_t>(r);
}

}  // namespace vistelmo::draw
