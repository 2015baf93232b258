// Small asymmetric images, border modes and exact comparisons for the convolution tests.
#pragma once

#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "images/images.h"

namespace convtest {

// Every mode letter that reads outside samples without failing, and the numeric aliases.
inline const std::vector<char>& modes() {
  static const std::vector<char> m = {'n', 'x', 'r', 'c', 's', 'N', 'X', 'C',
                                      0,   1,   3,   4,   5,   10,  11,  14};
  return m;
}

inline std::string mode_name(char m) {
  return m >= 32 ? std::string(1, m) : std::to_string(int(m));
}

// Degenerate sizes first, then a wider one.
struct Size {
  int nl, nc;
};
inline const std::vector<Size>& sizes() {
  static const std::vector<Size> s = {{1, 1}, {1, 3}, {3, 1}, {2, 2}, {4, 5}};
  return s;
}

// Bit-identical values, so that -0.0 differs from 0.0.
inline bool same(float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; }
inline bool same(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }
inline bool same(std::complex<float> x, std::complex<float> y) {
  return same(x.real(), y.real()) && same(x.imag(), y.imag());
}
inline bool same(const COR& x, const COR& y) { return x.r == y.r && x.g == y.g && x.b == y.b; }

// An nl x nc image of irregular values (not exact in binary), with the given outside value and
// centre; seed varies the values.
template <class Img>
Img sample(int nl, int nc, int seed, double backg = 7.25, int lc = -1, int cc = -1) {
  Img im(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++)
      im.rows[l][c] =
          static_cast<typename Img::Pixel>(std::sin(seed * 1.7 + l * 3.1 + c * 0.7) * 9.3);
  im.backg = static_cast<typename Img::Pixel>(backg);
  if (lc >= 0) im.lc = lc;
  if (cc >= 0) im.cc = cc;
  return im;
}

// Same size and bit-identical pixels.
template <class Img>
::testing::AssertionResult same_pixels(const Img& got, const Img& want) {
  if (got.nl() != want.nl() || got.nc() != want.nc())
    return ::testing::AssertionFailure()
           << "size " << got.nl() << "x" << got.nc() << ", want " << want.nl() << "x" << want.nc();
  for (int l = 0; l < got.nl(); l++)
    for (int c = 0; c < got.nc(); c++)
      if (!same(got.rows[l][c], want.rows[l][c]))
        return ::testing::AssertionFailure() << "pixel (" << l << ", " << c << ") differs";
  return ::testing::AssertionSuccess();
}

// The default centre and outside value of a fresh image.
template <class Img>
void expect_fresh(const Img& r) {
  EXPECT_EQ(r.lc, (r.nl() - 1) / 2);
  EXPECT_EQ(r.cc, (r.nc() - 1) / 2);
  EXPECT_TRUE(same(r.backg, typename Img::Pixel{}));
}

}  // namespace convtest
