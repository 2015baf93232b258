// Helpers shared by the image statistics sources. Library sources only.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>

#include "images/image_core_internal.h"

namespace vistelmo {

// Pixels held in the block (0 for an image without storage).
template <class Img>
inline int64_t pixel_count(const Img& a) {
  return has_pixels(a) ? static_cast<int64_t>(a.nl) * a.nc : 0;
}

// Sum of the pixels in block order, in double.
template <class Img>
double pixel_sum(const Img& a) {
  const int64_t n = pixel_count(a);
  double s = 0;
  for (int64_t i = 0; i < n; i++) s += a.data[i];
  return s;
}

// Magnitude in double, scaled by the larger part against overflow.
inline double scaled_magnitude(std::complex<float> z) {
  const double re = z.real();
  const double im = z.imag();
  const double s = std::max(std::fabs(re), std::fabs(im));
  if (s == 0) return 0;
  const double x = re / s;
  const double y = im / s;
  return s * std::sqrt(x * x + y * y);
}

// a[i] = a[i] / s for i < n, each quotient in double (stored as float for float pixels), on the
// instruction set of row_isa().
void divide_row(float* a, int64_t n, double s);
void divide_row(double* a, int64_t n, double s);

}  // namespace vistelmo
