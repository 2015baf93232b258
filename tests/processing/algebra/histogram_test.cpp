// Histograms and integral images against direct counts and sums.
#include "processing/algebra/histogram.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

IMGGRY sample(int nl, int nc, unsigned seed) {
  IMGGRY a(nl, nc);
  uint32_t x = seed * 2654435761u + 7u;
  for (int i = 0; i < a.n(); i++) {
    x = x * 1103515245u + 12345u;
    a.data[i] = static_cast<unsigned char>(x >> 13);
  }
  if (a.n() > 0) a.data[0] = 255;
  a.backg = 77;
  return a;
}

const int kSizes[][2] = {{1, 1}, {1, 5}, {5, 1}, {2, 2}, {3, 4}, {7, 9}};

TEST(Histogram, CountsAndRunningTotals) {
  for (const auto& s : kSizes) {
    const IMGGRY a = sample(s[0], s[1], s[0] * 10 + s[1]);
    const VETOR<int> h = histograma(a);
    const VETOR<int> H = histogramacumulativo(a);
    ASSERT_EQ(h.n(), 256);
    ASSERT_EQ(H.n(), 256);
    EXPECT_EQ(h.centro, 0);
    int running = 0;
    for (int v = 0; v < 256; v++) {
      int count = 0;
      for (int i = 0; i < a.n(); i++) count += a.data[i] == v;
      running += count;
      EXPECT_EQ(h(v), count) << v;
      EXPECT_EQ(H(v), running) << v;
    }
    EXPECT_EQ(H(255), a.n());
  }
}

TEST(Histogram, ConstantAndEmptyImages) {
  const IMGGRY a(3, 4, 200);
  const VETOR<int> h = histograma(a);
  const VETOR<int> H = histogramacumulativo(a);
  for (int v = 0; v < 256; v++) {
    EXPECT_EQ(h(v), v == 200 ? 12 : 0);
    EXPECT_EQ(H(v), v >= 200 ? 12 : 0);
  }
  for (const IMGGRY& e : {IMGGRY(), IMGGRY(0, 5), IMGGRY(5, 0)})
    for (int v = 0; v < 256; v++) {
      EXPECT_EQ(histograma(e)(v), 0);
      EXPECT_EQ(histogramacumulativo(e)(v), 0);
    }
}

TEST(Integral, InclusiveRectangleSums) {
  for (const auto& s : kSizes) {
    const IMGGRY a = sample(s[0], s[1], s[0] * 3 + s[1]);
    const MATRIZ<int> S = integral(a);
    const MATRIZ<int> Q = integral2(a);
    ASSERT_EQ(S.nl(), a.nl());
    ASSERT_EQ(S.nc(), a.nc());
    ASSERT_EQ(Q.nl(), a.nl());
    ASSERT_EQ(Q.nc(), a.nc());
    for (int l = 0; l < a.nl(); l++)
      for (int c = 0; c < a.nc(); c++) {
        int sum = 0, sq = 0;
        for (int i = 0; i <= l; i++)
          for (int j = 0; j <= c; j++) {
            sum += a.rows[i][j];
            sq += a.rows[i][j] * a.rows[i][j];
          }
        EXPECT_EQ(S(l, c), sum) << l << "," << c;
        EXPECT_EQ(Q(l, c), sq) << l << "," << c;
      }
  }
  const IMGGRY one(1, 1, 255);
  EXPECT_EQ(integral(one)(0, 0), 255);
  EXPECT_EQ(integral2(one)(0, 0), 65025);
}

TEST(Integral, SumsWrapAndRectanglesStayExact) {
  // 200 x 200 pixels of 255: the squares overflow the int range.
  const IMGGRY a(200, 200, 255);
  const MATRIZ<int> Q = integral2(a);
  EXPECT_EQ(Q(199, 199), static_cast<int>(40000u * 65025u));
  const auto at = [&Q](int l, int c) { return static_cast<uint32_t>(Q(l, c)); };
  const uint32_t block = at(189, 189) - at(179, 189) - at(189, 179) + at(179, 179);
  EXPECT_EQ(static_cast<int>(block), 100 * 65025);
  EXPECT_EQ(integral(a)(199, 199), 40000 * 255);
}

TEST(Integral, EmptyImagesGiveEmptyMatrices) {
  for (const IMGGRY& e : {IMGGRY(), IMGGRY(0, 5), IMGGRY(4, 0), IMGGRY(-2, 3)}) {
    const MATRIZ<int> S = integral(e);
    const MATRIZ<int> Q = integral2(e);
    EXPECT_EQ(S.n(), 0);
    EXPECT_EQ(Q.n(), 0);
    EXPECT_EQ(S.data, nullptr);
    EXPECT_EQ(S.nl(), e.nl() < 0 ? 0 : e.nl());
  }
}

}  // namespace
