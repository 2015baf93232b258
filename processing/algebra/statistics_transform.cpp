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
  if (vistelmo::has_pixels(a)) vistelmo::floats_abs(a.data, a.data, vistelmo::pixel_count(a));
  return a;
}

IMGDBL abs(IMGDBL a) {
  transform_pixels(a, [](double p) { return std::fabs(p); });
  return a;
}

IMGFLT sqrt(IMGFLT a) {
  if (vistelmo::has_pixels(a)) vistelmo::floats_sqrt(a.data, a.data, vistelmo::pixel_count(a));
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

// The result comes zeroed: nothing to do above 255, and below 1 every pixel passes as at 0.
IMGBIN limiariza(const IMGGRY& a, int t) {
  IMGBIN r(a.nl, a.nc);
  if (!vistelmo::has_pixels(a) || !vistelmo::has_pixels(r) || t > 255) return r;
  const auto u = static_cast<uint8_t>(t < 0 ? 0 : t);
  for (int l = 0; l < a.nl; l++) vistelmo::bytes_at_least(a.rows[l], u, r.rows[l], a.nc);
  return r;
}
