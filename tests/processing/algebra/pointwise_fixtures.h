// Small images and exact comparisons shared by the pointwise operator tests.
#pragma once

#include <complex>
#include <cstdint>
#include <type_traits>

#include "images/images.h"
#include "support/test_support.h"

namespace pwtest {

// Bit-identical values (so -0.0 differs from 0.0), any NaN matching any NaN.
template <class T>
bool same(T x, T y) {
  if constexpr (std::is_floating_point_v<T>)
    return testutil::same_or_both_nan(x, y);
  else
    return testutil::same(x, y);
}
template <class T>
bool same(std::complex<T> x, std::complex<T> y) {
  return same(x.real(), y.real()) && same(x.imag(), y.imag());
}

using testutil::image;

// A binary image with an irregular pattern drawn from seed.
inline IMGBIN pattern(int nl, int nc, uint32_t seed) {
  IMGBIN im(nl, nc);
  uint32_t x = seed * 2654435761u + 12345u;
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) {
      x = x * 1103515245u + 12345u;
      im(l, c) = ((x >> 16) & 1u) != 0;
    }
  return im;
}

// Sets the bits past the last column of every row, which no operation may read.
inline void soil_spare_bits(IMGBIN& im) {
  if (im.nc % 32 == 0) return;
  for (int l = 0; l < im.nl; l++) im.rows[l][im.wpr - 1] |= 0xFFFFFFFFu >> (im.nc % 32);
}

// True when the bits past the last column of every row are clear.
inline bool spare_bits_clear(const IMGBIN& im) {
  if (im.nc % 32 == 0) return true;
  for (int l = 0; l < im.nl; l++)
    if (im.rows[l][im.wpr - 1] & (0xFFFFFFFFu >> (im.nc % 32))) return false;
  return true;
}

const int kBinWidths[] = {1, 31, 32, 33, 63, 64, 65};

}  // namespace pwtest
