// Pixelwise transforms, L1 normalisation in place and the grey threshold.
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "processing/algebra/pointwise_internal.h"
#include "processing/algebra/statistics.h"
#include "processing/algebra/statistics_internal.h"

namespace {

// Every pixel of a through f, in place; the outside value is left alone.
template <class Img, class F>
void transform_pixels(Img& a, F f) {
  const int64_t n = vistelmo::pixel_count(a);
  for (int64_t i = 0; i < n; i++) a.data[i] = f(a.data[i]);
}

template <class Img>
void divide_by_abs_sum(Img& a) {
  const int64_t n = vistelmo::pixel_count(a);
  vistelmo::divide_row(a.data, n, vistelmo::float_sum(a.data, n, true));
}

}  // namespace

IMGFLT abs(IMGFLT a) {
  transform_pixels(a, [](float p) { return std::fabs(p); });
  return a;
}

IMGDBL abs(IMGDBL a) {
  transform_pixels(a, [](double p) { return std::fabs(p); });
  return a;
}

IMGFLT sqrt(IMGFLT a) {
  transform_pixels(a,
                   [](float p) { return static_cast<float>(std::sqrt(static_cast<double>(p))); });
  return a;
}

IMGFLT elev2(const IMGFLT& a) {
  return vistelmo::map_pixels(
      a, [](float p) { return static_cast<float>(static_cast<double>(p) * p); });
}

IMGFLT zeraneg(IMGFLT a) {
  transform_pixels(a, [](float p) { return p < 0 ? 0.0f : p; });
  return a;
}

IMGFLT dcreject(IMGFLT a) {
  const int64_t n = vistelmo::pixel_count(a);
  if (n < 1) return a;
  const double m = vistelmo::pixel_sum(a) / static_cast<double>(n);
  transform_pixels(a, [m](float p) { return static_cast<float>(p - m); });
  return a;
}

void SomatoriaUm(IMGFLT& a) { divide_by_abs_sum(a); }
void SomatoriaUm(IMGDBL& a) { divide_by_abs_sum(a); }

IMGBIN limiariza(const IMGGRY& a, int t) {
  IMGBIN r(a.nl, a.nc);
  if (!vistelmo::has_pixels(a) || !vistelmo::has_pixels(r)) return r;
  for (int l = 0; l < a.nl; l++) {
    const unsigned char* src = a.rows[l];
    uint32_t* dst = r.rows[l];
    for (int j = 0; j < r.wpr; j++) dst[j] = 0;
    for (int c = 0; c < a.nc; c++)
      if (static_cast<int>(src[c]) >= t) dst[c >> 5] |= 0x80000000u >> (c & 31);
  }
  return r;
}
