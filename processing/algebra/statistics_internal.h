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

// A run of float pixels: their sum in some order, the smallest exponent of a lowest set bit
// (INT_MAX when all are zero) and the largest biased exponent.
struct FloatParts {
  double sum;
  int lo, e_max;
};
FloatParts float_parts(const float* a, int64_t n);

// Whether every sum of a subset of n floats whose values are multiples of 2^lo and below
// 2^(e_max - 126) in magnitude is exact in double: n 2^(e_max - 126) <= 2^(lo + 53), no NaN or
// infinity.
inline bool sums_exact(int64_t n, int lo, int e_max) {
  if (e_max == 255) return false;
  if (lo == INT32_MAX) return true;
  int bits = 0;  // ceil(log2(n))
  while (bits < 63 && (int64_t(1) << bits) < n) bits++;
  return int64_t(bits) + (e_max - 126) <= int64_t(lo) + 53;
}

// Sum of the pixels in block order, in double. Where every partial sum is exact (byte pixels
// below 2^53 in all; float runs that sums_exact proves) the order cannot change the result and
// the sum is formed in any order.
template <class Img>
double pixel_sum(const Img& a) {
  using Pixel = std::remove_cv_t<std::remove_reference_t<decltype(*a.data)>>;
  const int64_t n = pixel_count(a);
  int64_t i = 0;
  double s = 0;
  if constexpr (std::is_same_v<Pixel, unsigned char>) {
    if (n < (int64_t(1) << 45)) {
      uint64_t t = 0;
      for (; i < n; i++) t += a.data[i];
      return double(t);
    }
  } else if constexpr (std::is_same_v<Pixel, float>) {
    // Block by block while the pixels so far are proven exact; the ordered chain from there on.
    const int64_t block = 4096;
    int lo = INT32_MAX, e_max = 0;
    for (; i < n; i += block) {
      const FloatParts p = float_parts(a.data + i, std::min(block, n - i));
      lo = std::min(lo, p.lo);
      e_max = std::max(e_max, p.e_max);
      if (!sums_exact(std::min(i + block, n), lo, e_max)) break;
      s += p.sum;
    }
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

// a[i] = a[i] / s for i < n, each quotient in double (stored as float for float pixels), on the
// instruction set of row_isa().
void divide_row(float* a, int64_t n, double s);
void divide_row(double* a, int64_t n, double s);

}  // namespace vistelmo
