// Helpers shared by the image statistics sources. Library sources only.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <type_traits>

#include "images/image_core_internal.h"

namespace vistelmo {

// Pixels held in the block (0 for an image without storage).
template <class Img>
inline int64_t pixel_count(const Img& a) {
  return has_pixels(a) ? static_cast<int64_t>(a.nl) * a.nc : 0;
}

// The sum in pixel order, in double, of a[i] (of |a[i]| when absolute), i < n.
double float_sum(const float* a, int64_t n, bool absolute);
double float_sum(const double* a, int64_t n, bool absolute);
// The sum in pixel order, in double, of (a[i] - m)^2, i < n.
double squared_deviation_sum(const float* a, int64_t n, double m);
double squared_deviation_sum(const double* a, int64_t n, double m);

// a[0] + ... + a[n - 1] (exact below 2^56 bytes).
uint64_t byte_sum(const unsigned char* a, int64_t n);

// Sum of the pixels in block order, in double. Byte pixels: every partial sum is exact (below
// 2^53 in all), so the order cannot change the result and an integer sum gives it.
template <class Img>
double pixel_sum(const Img& a) {
  using Pixel = std::remove_cv_t<std::remove_reference_t<decltype(*a.data)>>;
  const int64_t n = pixel_count(a);
  int64_t i = 0;
  double s = 0;
  if constexpr (std::is_same_v<Pixel, unsigned char>) {
    if (n < (int64_t(1) << 45)) return double(byte_sum(a.data, n));
  } else if constexpr (std::is_same_v<Pixel, float> || std::is_same_v<Pixel, double>) {
    return float_sum(a.data, n, false);
  }
  for (; i < n; i++) s += a.data[i];
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

// The smallest (largest when largest) of a[i], i < n, leaving NaNs out: +inf (-inf) when none
// is left. Of zeros of both signs either may come back.
float float_extreme(const float* a, int64_t n, bool largest);
// The first i at which the scan best = a[0]; if (a[i] < best) best = a[i] (> when largest) moves
// best for the last time: 0 when a[0] is NaN or n < 1.
int64_t first_extreme_at(const float* a, int64_t n, bool largest);

// Set bits of the nl rows of wpr words, each row's last word masked by last.
int64_t set_bits(const uint32_t* const* rows, int nl, int wpr, uint32_t last);

// a[i] = a[i] / s for i < n, each quotient in double (stored as float for float pixels).
void divide_row(float* a, int64_t n, double s);
void divide_row(double* a, int64_t n, double s);

}  // namespace vistelmo
