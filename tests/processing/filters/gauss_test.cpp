#include "processing/filters/gauss.h"

#include <gtest/gtest.h>

#include <cmath>

#include "foundation/normal.h"
#include "processing/filters/convolution.h"
#include "processing/filters/separable.h"
#include "support/conv_fixtures.h"
#include "support/test_support.h"

using namespace convtest;

namespace {

TEST(GaussKernels, SizesAndFallbacks) {
  const struct {
    double sigma;
    int n;
  } cases[] = {{0.24, 1}, {0.25, 3}, {0.6, 5}, {1.0, 9}, {1.3, 11}, {0, 1}, {-2, 1}, {NAN, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sigma);
    const IMGFLT f = IMGFLTnormal(c.sigma);
    const IMGDBL d = IMGDBLnormal(c.sigma);
    const VETOR<double> v = VETORnormal(c.sigma);
    ASSERT_EQ(f.nl(), c.n);
    ASSERT_EQ(f.nc(), c.n);
    ASSERT_EQ(d.nl(), c.n);
    ASSERT_EQ(v.n(), c.n);
    expect_fresh(f);
    expect_fresh(d);
    EXPECT_EQ(v.centro, 0);
    if (c.n == 1) {
      EXPECT_EQ(f.data[0], 1.0f);
      EXPECT_EQ(d.data[0], 1.0);
      EXPECT_EQ(v.data[0], 1.0);
    }
  }
}

TEST(GaussKernels, SampledDensityScaledToUnitSum) {
  for (double sigma : {0.25, 0.7, 1.0, 2.0}) {
    SCOPED_TRACE(sigma);
    const IMGDBL d = IMGDBLnormal(sigma);
    const IMGFLT f = IMGFLTnormal(sigma);
    const VETOR<double> v = VETORnormal(sigma);
    const int n = d.nl(), r = n / 2;
    double sd = 0, sf = 0, sv = 0;
    for (int i = 0; i < n; i++) {
      sv += v.data[i];
      EXPECT_EQ(v.data[i], v.data[n - 1 - i]);
      for (int j = 0; j < n; j++) {
        sd += d.rows[i][j], sf += f.rows[i][j];
        EXPECT_EQ(d.rows[i][j], d.rows[j][i]);
        EXPECT_EQ(d.rows[i][j], d.rows[n - 1 - i][j]);
        // Proportional to the density and to the outer product of the 1-D kernel.
        const double ratio =
            binormalsqr((i - r) * (i - r) + (j - r) * (j - r), sigma) / d.rows[i][j];
        EXPECT_NEAR(ratio, binormalsqr(0, sigma) / d.rows[r][r], 1e-12 * ratio);
        EXPECT_NEAR(d.rows[i][j], v.data[i] * v.data[j], 1e-12);
        EXPECT_NEAR(f.rows[i][j], d.rows[i][j], 1e-7);
      }
    }
    EXPECT_NEAR(sd, 1.0, 1e-12);
    EXPECT_NEAR(sf, 1.0, 1e-6);
    EXPECT_NEAR(sv, 1.0, 1e-12);
  }
  const double one[] = {0.000134, 0.004432, 0.053991, 0.241971, 0.398943,
                        0.241971, 0.053991, 0.004432, 0.000134};
  const VETOR<double> v = VETORnormal(1.0);
  for (int i = 0; i < 9; i++) EXPECT_NEAR(v.data[i], one[i], 1e-6);
}

TEST(GaussKernels, LaplacianOfGaussian) {
  for (double s : {0.0, -1.0, double(NAN)}) {
    const IMGFLT k = IMGFLTlapnormal(s);
    ASSERT_EQ(k.n(), 1);
    EXPECT_EQ(k.data[0], 0.0f);
  }
  const IMGFLT tiny = IMGFLTlapnormal(0.3);
  ASSERT_EQ(tiny.n(), 1);
  EXPECT_EQ(tiny.data[0], float(lapbinormalsqr(0, 0.3)));
  EXPECT_NEAR(tiny.data[0], -1 / (M_PI * std::pow(0.3, 4)), 1e-3);
  const IMGFLT k = IMGFLTlapnormal(1.0);
  ASSERT_EQ(k.nl(), 7);
  ASSERT_EQ(k.nc(), 7);
  expect_fresh(k);
  for (int i = 0; i < 7; i++)
    for (int j = 0; j < 7; j++) {
      EXPECT_EQ(k.rows[i][j], float(lapbinormalsqr((i - 3) * (i - 3) + (j - 3) * (j - 3), 1.0)));
      EXPECT_GE(k.rows[i][j], k.rows[3][3]);
    }
  EXPECT_NEAR(k.rows[3][3], -1 / M_PI, 1e-7);
  EXPECT_GT(k.rows[0][0], 0.0f);
}

// 2-D smoothing through the element access, with the outside value 0.5.
template <class Img>
Img naive_gauss(Img a, const Img& k, char m) {
  a.backg = 0.5;
  return naive_convolucao(a, k, m);
}

// The separable path: rows of a (outside 0.5), then columns of the fresh intermediate.
template <class Img>
Img naive_gauss_hv(Img a, const VETOR<double>& k, char m) {
  a.backg = 0.5;
  const int c0 = (k.n() - 1) / 2;
  Img t(a.nl(), a.nc()), r = a;
  for (int i = 0; i < a.nl(); i++)
    for (int j = 0; j < a.nc(); j++) {
      double s = 0;
      for (int u = 0; u < k.n(); u++) s += k.data[u] * double(a(i, j + c0 - u, m));
      t.rows[i][j] = static_cast<typename Img::Pixel>(s);
    }
  for (int i = 0; i < a.nl(); i++)
    for (int j = 0; j < a.nc(); j++) {
      double s = 0;
      for (int u = 0; u < k.n(); u++) s += k.data[u] * double(t(i + c0 - u, j, m));
      r.rows[i][j] = static_cast<typename Img::Pixel>(s);
    }
  return r;
}

template <class Img>
void check_smoothing(Img (*kernel)(double)) {
  for (const Size& sz : sizes())
    for (double sigma : {0.1, 0.3, 0.8})
      for (char m : modes()) {
        SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " sigma " +
                     std::to_string(sigma) + " mode " + mode_name(m));
        const Img a = sample<Img>(sz.nl, sz.nc, 3, 9.0, 0, sz.nc - 1);
        const Img g = ConvGauss(a, sigma, m);
        EXPECT_TRUE(same_pixels(g, naive_gauss(a, kernel(sigma), m)));
        expect_fresh(g);
        const Img h = ConvGaussHV(a, sigma, m);
        EXPECT_EQ(h.lc, a.lc);
        EXPECT_EQ(h.cc, a.cc);
        if (sigma < 0.25) {
          EXPECT_TRUE(same_pixels(h, a));
          EXPECT_EQ(h.backg, a.backg);
        } else {
          EXPECT_TRUE(same_pixels(h, naive_gauss_hv(a, VETORnormal(sigma), m)));
          EXPECT_EQ(h.backg, 0.5);
        }
      }
}

TEST(GaussSmoothing, FloatMatchesElementAccessInEveryMode) { check_smoothing(IMGFLTnormal); }
TEST(GaussSmoothing, DoubleMatchesElementAccessInEveryMode) { check_smoothing(IMGDBLnormal); }

TEST(GaussSmoothing, OutsideSamplesAreHalf) {
  IMGFLT a(6, 11, 0.0f);
  a.backg = -4;
  const IMGFLT n = ConvGauss(a, 1.0, 'n'), x = ConvGauss(a, 1.0, 'x');
  EXPECT_GT(n.rows[0][5], 0.1f);
  EXPECT_GT(n.rows[3][0], 0.1f);
  EXPECT_EQ(n.backg, 0.0f);
  for (int i = 0; i < x.n(); i++) EXPECT_EQ(x.data[i], 0.0f);
  // Separable under 'n': 0.5 left and right, 0 above and below.
  const IMGFLT h = ConvGaussHV(a, 1.0, 'n');
  EXPECT_GT(h.rows[3][0], 0.1f);
  EXPECT_EQ(h.rows[0][5], 0.0f);  // column 5 reaches no column outside
}

TEST(GaussSmoothing, BothPathsAgreeUnderClamping) {
  const IMGFLT a = sample<IMGFLT>(9, 11, 4);
  const IMGFLT g = ConvGauss(a, 1.0, 'x'), h = ConvGaussHV(a, 1.0, 'x');
  for (int i = 0; i < a.n(); i++) EXPECT_NEAR(g.data[i], h.data[i], 2e-5) << i;
}

TEST(GaussSmoothing, ModeFailuresComeFromTheConvolution) {
  const IMGFLT a = sample<IMGFLT>(3, 3, 5);
  EXPECT_ERRO(ConvGauss(a, 1.0, 'e'), "Indice invalido", "");
  EXPECT_ERRO(ConvGaussHV(IMGDBL(3, 3, 1.0), 1.0, 'q'), "Erro: Modo de acesso invalido", "");
  EXPECT_TRUE(same_pixels(ConvGauss(a, 0.1, 'e'), a));
  // Below 0.25 the separable path reads nothing, so no letter is checked.
  EXPECT_TRUE(same_pixels(ConvGaussHV(a, 0.1, 'q'), a));
}

TEST(GaussSmoothing, Colour) {
  IMGCOR a(4, 5, COR{10, 20, 30});
  a.rows[1][2] = COR{250, 0, 128};
  a.lc = 3, a.cc = 0, a.backg = COR{9, 9, 9};
  const IMGCOR r = ConvGaussHV(a, 0.8);
  EXPECT_TRUE(same_pixels(r, ConvHV(a, VETORnormal(0.8))));
  EXPECT_EQ(r.lc, 3);
  EXPECT_EQ(r.cc, 0);
  EXPECT_TRUE(same(r.backg, COR{9, 9, 9}));
  EXPECT_TRUE(same_pixels(ConvGaussHV(a, NAN), a));
  const IMGCOR flat = ConvGaussHV(IMGCOR(3, 3, COR{40, 50, 60}), 1.0);
  for (int i = 0; i < 9; i++) EXPECT_TRUE(same(flat.data[i], COR{40, 50, 60}));
}

TEST(Laplace, EdgesContinuedAndKernelSum) {
  const IMGFLT a = sample<IMGFLT>(4, 6, 6, 2.0, 0, 0);
  const IMGFLT r = laplace(a, 0.8);
  EXPECT_TRUE(same_pixels(r, convolucao(a, IMGFLTlapnormal(0.8), 'x')));
  expect_fresh(r);
  const IMGFLT k = IMGFLTlapnormal(1.0);
  double sum = 0;
  for (int i = 0; i < k.n(); i++) sum += k.data[i];
  const IMGFLT c = laplace(IMGFLT(5, 5, 2.0f), 1.0);
  for (int i = 0; i < c.n(); i++) EXPECT_NEAR(c.data[i], 2.0 * sum, 1e-6);
  EXPECT_NE(c.data[0], 0.0f);
  const IMGFLT z = laplace(a, 0);
  for (int i = 0; i < z.n(); i++) EXPECT_EQ(z.data[i], 0.0f);
}

}  // namespace
