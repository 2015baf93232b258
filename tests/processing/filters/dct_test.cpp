#include "processing/filters/dct.h"

#include <cmath>
#include <vector>

#include "support/test_support.h"

namespace {

const long double kPiL = 3.141592653589793238462643383279502884L;

VETOR<double> sample(int n) {
  VETOR<double> v(n);
  for (int i = 0; i < n; i++) v.data[i] = std::sin(1.1 * i + 0.4) + 0.03 * i * i - 0.5;
  return v;
}

long double s(int k, int n) { return std::sqrt((k == 0 ? 1.0L : 2.0L) / n); }

// The cosine sums in long double.
std::vector<double> direct_dct(const VETOR<double>& x) {
  const int n = x.n();
  std::vector<double> y(n);
  for (int k = 0; k < n; k++) {
    long double acc = 0;
    for (int i = 0; i < n; i++) acc += x.data[i] * std::cos(kPiL * (2 * i + 1) * k / (2 * n));
    y[k] = static_cast<double>(s(k, n) * acc);
  }
  return y;
}
std::vector<double> direct_idct(const VETOR<double>& y) {
  const int n = y.n();
  std::vector<double> x(n);
  for (int i = 0; i < n; i++) {
    long double acc = 0;
    for (int k = 0; k < n; k++)
      acc += s(k, n) * y.data[k] * std::cos(kPiL * (2 * i + 1) * k / (2 * n));
    x[i] = static_cast<double>(acc);
  }
  return x;
}

TEST(Dct, AgreesWithTheCosineSumsOnBothPaths) {
  for (int n = 1; n <= 40; n++) {
    const VETOR<double> x = sample(n);
    const VETOR<double> y = dct(x), z = idct(x);
    ASSERT_EQ(y.n(), n);
    ASSERT_EQ(z.n(), n);
    EXPECT_EQ(y.centro, 0);
    const std::vector<double> wy = direct_dct(x), wz = direct_idct(x);
    for (int k = 0; k < n; k++) {
      EXPECT_NEAR(y.data[k], wy[k], 1e-13 * n) << "dct n=" << n << " k=" << k;
      EXPECT_NEAR(z.data[k], wz[k], 1e-13 * n) << "idct n=" << n << " k=" << k;
    }
  }
}

TEST(Dct, SmallLengths) {
  VETOR<double> one(1, 3.25);
  EXPECT_NEAR(dct(one).data[0], 3.25, 1e-15);
  EXPECT_NEAR(idct(one).data[0], 3.25, 1e-15);

  VETOR<double> two(2);
  two.data[0] = 2;
  two.data[1] = 5;
  VETOR<double> y2 = dct(two);
  EXPECT_NEAR(y2.data[0], 7 / std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(y2.data[1], -3 / std::sqrt(2.0), 1e-15);

  VETOR<double> three(3);
  three.data[0] = 1;
  three.data[1] = 4;
  three.data[2] = -2;
  VETOR<double> y3 = dct(three);
  EXPECT_NEAR(y3.data[0], 3 / std::sqrt(3.0), 1e-15);
  EXPECT_NEAR(y3.data[1], 3 / std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(y3.data[2], -9 / std::sqrt(6.0), 1e-14);
}

TEST(Dct, OnesGiveOnlyTheMean) {
  for (int n : {1, 2, 5, 8, 9}) {
    VETOR<double> y = dct(VETOR<double>(n, 1.0));
    EXPECT_NEAR(y.data[0], std::sqrt(double(n)), 1e-14) << n;
    for (int k = 1; k < n; k++) EXPECT_NEAR(y.data[k], 0, 1e-14) << n;
  }
}

TEST(Dct, RoundTripAndEnergy) {
  for (int n = 1; n <= 33; n++) {
    const VETOR<double> x = sample(n);
    const VETOR<double> y = dct(x), back = idct(y);
    double ex = 0, ey = 0;
    for (int i = 0; i < n; i++) {
      EXPECT_NEAR(back.data[i], x.data[i], 1e-13) << n;
      ex += x.data[i] * x.data[i];
      ey += y.data[i] * y.data[i];
    }
    EXPECT_NEAR(ey, ex, 1e-12 * ex) << n;
  }
}

IMGFLT sample_img(int nl, int nc) {
  IMGFLT a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a.rows[l][c] = std::cos(0.7f * l * c + 0.2f * l) + 0.1f * c;
  a.lc = 0;
  a.cc = nc - 1;
  a.backg = -4;
  return a;
}

TEST(DctImage, RowsThenColumns) {
  for (auto [nl, nc] :
       {std::pair{1, 1}, {1, 6}, {5, 1}, {4, 7}, {6, 6}, {9, 17}, {17, 3}, {2, 33}}) {
    const IMGFLT a = sample_img(nl, nc);
    for (bool inverse : {false, true}) {
      IMGFLT r = inverse ? idct(a) : dct(a);
      ASSERT_EQ(r.nl(), nl);
      ASSERT_EQ(r.nc(), nc);
      EXPECT_EQ(r.lc, 0);
      EXPECT_EQ(r.cc, nc - 1);
      EXPECT_EQ(r.backg, -4.0f);
      IMGFLT t(nl, nc);
      for (int l = 0; l < nl; l++) {
        VETOR<double> v(nc);
        for (int c = 0; c < nc; c++) v.data[c] = a.rows[l][c];
        v = inverse ? idct(v) : dct(v);
        for (int c = 0; c < nc; c++) t.rows[l][c] = static_cast<float>(v.data[c]);
      }
      for (int c = 0; c < nc; c++) {
        VETOR<double> v(nl);
        for (int l = 0; l < nl; l++) v.data[l] = t.rows[l][c];
        v = inverse ? idct(v) : dct(v);
        for (int l = 0; l < nl; l++) EXPECT_EQ(r.rows[l][c], static_cast<float>(v.data[l]));
      }
    }
  }
}

TEST(DctImage, ConstantAndRoundTrip) {
  IMGFLT c(3, 4, 2.0f);
  IMGFLT y = dct(c);
  for (int l = 0; l < 3; l++)
    for (int k = 0; k < 4; k++)
      EXPECT_NEAR(y.rows[l][k], l == 0 && k == 0 ? 2 * std::sqrt(12.0) : 0, 1e-5);
  const IMGFLT a = sample_img(5, 8);
  IMGFLT back = idct(dct(a));
  for (int i = 0; i < a.n(); i++) EXPECT_NEAR(back.data[i], a.data[i], 1e-5);
  EXPECT_EQ(dct(IMGFLT()).n(), 0);
}

TEST(DctDeath, NoElements) {
  EXPECT_ERRO(dct(VETOR<double>()), "Erro VETOR::operator() - Indice invalido", "");
  EXPECT_ERRO(idct(VETOR<double>()), "Erro VETOR::operator() - Indice invalido", "");
  EXPECT_ERRO(dct(IMGFLT(3, 0)), "Erro VETOR::operator() - Indice invalido", "");
  EXPECT_ERRO(idct(IMGFLT(0, 2)), "Erro VETOR::operator() - Indice invalido", "");
}

}  // namespace
