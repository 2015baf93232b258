// Small asymmetric images, border modes, exact comparisons and the naive convolution for the
// convolution tests.
#pragma once

#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/vetor.h"
#include "images/images.h"
#include "support/test_support.h"

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

// Degenerate sizes first, then wider ones: rows long enough for a vector main loop and its
// tail.
struct Size {
  int nl, nc;
};
inline const std::vector<Size>& sizes() {
  static const std::vector<Size> s = {{1, 1}, {1, 3},  {3, 1},    {2, 2},
                                      {4, 5}, {7, 67}, {12, 131}, {1, 257}};
  return s;
}

using testutil::image;
using testutil::same;
using testutil::same_pixels;

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

// convolucao computed sample by sample through the element access, taps summed in kernel order
// in double.
template <class Img>
Img naive_convolucao(const Img& a, const Img& k, char m) {
  Img r(a.nl(), a.nc());
  for (int i = 0; i < a.nl(); i++)
    for (int j = 0; j < a.nc(); j++) {
      double s = 0;
      for (int p = 0; p < k.nl(); p++)
        for (int q = 0; q < k.nc(); q++)
          s += double(k.rows[p][q]) * double(a(i + k.lc - p, j + k.cc - q, m));
      r.rows[i][j] = static_cast<typename Img::Pixel>(s);
    }
  return r;
}

// One separable pass through the element access, along the rows or down the columns, taps
// summed in order in double.
template <class Img>
Img naive_pass(const Img& a, const VETOR<double>& k, char m, bool rows) {
  Img r(a.nl(), a.nc());
  const int c0 = (k.n() - 1) / 2;
  for (int i = 0; i < a.nl(); i++)
    for (int j = 0; j < a.nc(); j++) {
      double s = 0;
      for (int t = 0; t < k.n(); t++)
        s += k.data[t] * double(rows ? a(i, j + c0 - t, m) : a(i + c0 - t, j, m));
      r.rows[i][j] = static_cast<typename Img::Pixel>(s);
    }
  return r;
}

// The default centre and outside value of a fresh image.
template <class Img>
void expect_fresh(const Img& r) {
  EXPECT_EQ(r.lc, (r.nl() - 1) / 2);
  EXPECT_EQ(r.cc, (r.nc() - 1) / 2);
  EXPECT_TRUE(same(r.backg, typename Img::Pixel{}));
}

}  // namespace convtest
