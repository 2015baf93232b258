#include "processing/filters/gradient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "foundation/normal.h"
#include "support/conv_fixtures.h"
#include "support/test_support.h"

using namespace convtest;

namespace {

const double kLobe = 0.39894228;
const double kPi = 3.141592653589793;

template <class Img>
void expect_derivative_kernels(const Img& kx, const Img& ky, int n) {
  ASSERT_EQ(kx.nl(), n);
  ASSERT_EQ(kx.nc(), n);
  ASSERT_EQ(ky.nl(), n);
  ASSERT_EQ(ky.nc(), n);
  expect_fresh(kx);
  expect_fresh(ky);
  const int r = n / 2;
  double left = 0, lower = 0;
  for (int i = 0; i < n; i++) {
    EXPECT_EQ(kx.rows[i][r], 0);
    EXPECT_EQ(ky.rows[r][i], 0);
    for (int j = 0; j < n; j++) {
      EXPECT_EQ(kx.rows[i][j], -kx.rows[i][n - 1 - j]);
      EXPECT_EQ(ky.rows[i][j], -ky.rows[n - 1 - i][j]);
      // The y kernel is the x kernel turned a quarter (rescaled by a sum in another order).
      EXPECT_NEAR(kx.rows[i][j], ky.rows[n - 1 - j][i], 1e-7);
      if (j < r) {
        left += kx.rows[i][j];
        EXPECT_GT(kx.rows[i][j], 0);
      }
      if (i > r) {
        lower += ky.rows[i][j];
        EXPECT_GT(ky.rows[i][j], 0);
      }
    }
  }
  EXPECT_NEAR(left, kLobe, 1e-6);
  EXPECT_NEAR(lower, kLobe, 1e-6);
}

TEST(GradientKernels, SizeSymmetryAndLobe) {
  const struct {
    double sigma;
    int n;
  } cases[] = {{0.2, 3}, {0.5, 5}, {0.6, 7}, {1.0, 11}, {1.4, 15}, {2.0, 21}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sigma);
    expect_derivative_kernels(IMGDBLgrxnormal(c.sigma, 0), IMGDBLgrynormal(c.sigma, 0), c.n);
    expect_derivative_kernels(IMGFLTgrxnormal(c.sigma, 0), IMGFLTgrynormal(c.sigma, 0), c.n);
  }
}

TEST(GradientKernels, SampledFromTheDensityGradient) {
  // Proportional to grxbinormal / grybinormal at the offsets (x right, y up), and the float
  // kernels are the double ones to float precision.
  const double sigma = 1.3;
  const IMGDBL kx = IMGDBLgrxnormal(sigma, 0), ky = IMGDBLgrynormal(sigma, 0);
  const IMGFLT fx = IMGFLTgrxnormal(sigma, 0);
  const int r = kx.nl() / 2;
  const double sx = kx.rows[r][0] / grxbinormal(-r, 0, sigma);
  const double sy = ky.rows[2 * r][r] / grybinormal(0, -r, sigma);
  for (int i = 0; i < kx.nl(); i++)
    for (int j = 0; j < kx.nc(); j++) {
      EXPECT_NEAR(kx.rows[i][j], sx * grxbinormal(j - r, r - i, sigma), 1e-15);
      EXPECT_NEAR(ky.rows[i][j], sy * grybinormal(j - r, r - i, sigma), 1e-15);
      EXPECT_NEAR(fx.rows[i][j], kx.rows[i][j], 1e-7);
    }
}

TEST(GradientKernels, TinySigmaGivesAZeroTap) {
  for (double s : {0.1, 0.19}) {
    const IMGDBL kx = IMGDBLgrxnormal(s, 0), ky = IMGDBLgrynormal(s, 0.3);
    const IMGFLT fx = IMGFLTgrxnormal(s, 0), fy = IMGFLTgrynormal(s, 0);
    ASSERT_EQ(kx.n(), 1);
    ASSERT_EQ(fy.n(), 1);
    EXPECT_TRUE(same(kx.data[0], 0.0));
    EXPECT_TRUE(same(ky.data[0], 0.0));
    EXPECT_TRUE(same(fx.data[0], 0.0f));
    EXPECT_TRUE(same(fy.data[0], 0.0f));
  }
  // ... so a gradient at that scale is 0, not undefined.
  const IMGDBL g = modgrad(sample<IMGDBL>(3, 4, 1), 0.1, 0);
  for (int i = 0; i < g.n(); i++) EXPECT_EQ(g.data[i], 0.0);
}

TEST(GradientKernels, HalfTurnGivesTheSameKernel) {
  const IMGDBL a = IMGDBLgrxnormal(1.0, 0), b = IMGDBLgrxnormal(1.0, kPi);
  const IMGDBL c = IMGDBLgrynormal(1.0, 0), d = IMGDBLgrynormal(1.0, kPi);
  for (int i = 0; i < a.n(); i++) {
    EXPECT_NEAR(a.data[i], b.data[i], 1e-12);
    EXPECT_NEAR(c.data[i], d.data[i], 1e-12);
  }
}

TEST(GradientKernels, Rescaling) {
  // 3x3 and 4x4: x sums the columns left of nc/2, y the rows from nl/2 + 1.
  IMGDBL k3(3, 3, 0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0);
  k3.backg = 9, k3.lc = 0;
  IMGDBL x3 = k3, y3 = k3;
  GradienteD::normalizex(x3);
  GradienteD::normalizey(y3);
  const double fx = kLobe / 9.0, fy = kLobe / 21.0;
  for (int i = 0; i < 9; i++) {
    EXPECT_EQ(x3.data[i], i * fx);
    EXPECT_EQ(y3.data[i], i * fy);
  }
  EXPECT_EQ(x3.backg, 9);
  EXPECT_EQ(x3.lc, 0);

  IMGFLT k4(4, 4);
  for (int i = 0; i < 16; i++) k4.data[i] = 0.1f * i;
  IMGFLT x4 = k4, y4 = k4;
  GradienteF::normalizex(x4);
  GradienteF::normalizey(y4);
  double sx = 0, sy = 0;
  for (int l = 0; l < 4; l++) sx += k4.rows[l][0], sx += k4.rows[l][1];
  for (int c = 0; c < 4; c++) sy += k4.rows[3][c];
  for (int i = 0; i < 16; i++) {
    EXPECT_EQ(x4.data[i], float(k4.data[i] * (kLobe / sx)));
    EXPECT_EQ(y4.data[i], float(k4.data[i] * (kLobe / sy)));
  }
}

TEST(GradientKernels, RotationMatrix) {
  MATRIZ<double> m(2, 2, 2.0, 3.0, 5.0, 7.0);
  double x = 1, y = 10;
  GradienteD::multiplica(x, y, m);
  EXPECT_EQ(x, 2.0 + 50.0);
  EXPECT_EQ(y, 3.0 + 70.0);
  x = -1, y = 2;
  GradienteF::multiplica(x, y, m);
  EXPECT_EQ(x, -2.0 + 10.0);
  EXPECT_EQ(y, -3.0 + 14.0);
  MATRIZ<double> bad(2, 3, 0.0);
  EXPECT_ERRO(GradienteD::multiplica(x, y, bad), "Inesperado", "");
  EXPECT_ERRO(GradienteF::multiplica(x, y, MATRIZ<double>(3, 2, 0.0)), "Inesperado", "");
}

TEST(GradientKernels, SigmaNotAboveZeroIsFatal) {
  for (double s : {0.0, -1.0, double(NAN)}) {
    EXPECT_ERRO(IMGDBLgrxnormal(s, 0), "Erro grnormalx: desvio muito pequeno", "");
    EXPECT_ERRO(IMGDBLgrynormal(s, 0), "Erro grnormaly: desvio muito pequeno", "");
    EXPECT_ERRO(IMGFLTgrxnormal(s, 0), "Erro grnormalx: desvio muito pequeno", "");
    EXPECT_ERRO(IMGFLTgrynormal(s, 0), "Erro grnormaly: desvio muito pequeno", "");
  }
  EXPECT_ERRO(gradientey(IMGDBL(3, 3, 0.0), 0, 0), "Erro grnormaly: desvio muito pequeno", "");
  EXPECT_ERRO(modgrad(IMGDBL(3, 3, 0.0), 0, 0), "Erro grnormalx: desvio muito pequeno", "");
  EXPECT_ERRO(modgrad(IMGFLT(3, 3, 0.0f), -1, 0), "Erro grnormalx: desvio muito pequeno", "");
  EXPECT_ERRO(gradientex(IMGFLT(3, 3, 0.0f), 0, -0.0), "Erro grnormalx: desvio muito pequeno", "");
  EXPECT_ERRO(IMGDBLgrxnormal(1e300, 0), "Erro IMGDBL::aloca - Falta memoria", "");
}

TEST(GradientKernels, HalvesThatCancelAreRefused) {
  const char* x = "Erro grnormalx: soma nula na normalizacao";
  const char* y = "Erro grnormaly: soma nula na normalizacao";
  // A quarter turn makes the summed half cancel itself: the taps would be huge or NaN.
  for (double t : {kPi / 2, 3 * kPi / 2, -kPi / 2}) {
    SCOPED_TRACE(t);
    EXPECT_ERRO(IMGDBLgrxnormal(1, t), x, "");
    EXPECT_ERRO(IMGDBLgrynormal(1, t), y, "");
    EXPECT_ERRO(IMGFLTgrxnormal(1.7, t), x, "");
    EXPECT_ERRO(IMGFLTgrynormal(1.7, t), y, "");
  }
  const IMGFLT ramp = image<IMGFLT>(9, 9, [](int, int c) { return c; });
  EXPECT_ERRO(gradientex(ramp, 1.7, 3 * kPi / 2), x, "");
  EXPECT_ERRO(modgrad(image<IMGDBL>(9, 9, [](int l, int) { return l; }), 1, kPi / 2), x, "");
  // Kernels given to the rescaling directly: a half summing to 0, a NaN, an empty half.
  EXPECT_ERRO(({
                IMGDBL k(3, 3, 1.0, 0.0, 0.0, -1.0, 0.0, 0.0, 0.0, 0.0, 5.0);
                GradienteD::normalizex(k);
              }),
              x, "");
  EXPECT_ERRO(({
                IMGFLT k(3, 1, 0.0, 0.0, double(NAN));
                GradienteF::normalizey(k);
              }),
              y, "");
  EXPECT_ERRO(({
                IMGDBL k(3, 1, 1.0, 2.0, 3.0);
                GradienteD::normalizex(k);
              }),
              x, "");
  // Off the quarter turn the kernels stay finite and keep their lobe.
  for (double t : {kPi / 2 - 0.3, kPi / 2 + 0.05, 3 * kPi / 2 - 0.01}) {
    SCOPED_TRACE(t);
    const IMGDBL kx = IMGDBLgrxnormal(1, t);
    const IMGFLT ky = IMGFLTgrynormal(1.7, t);
    double left = 0, lower = 0;
    for (int i = 0; i < kx.nl(); i++)
      for (int j = 0; j < kx.nc() / 2; j++) left += kx.rows[i][j];
    for (int i = ky.nl() / 2 + 1; i < ky.nl(); i++)
      for (int j = 0; j < ky.nc(); j++) lower += ky.rows[i][j];
    EXPECT_NEAR(left, kLobe, 1e-9);
    EXPECT_NEAR(lower, kLobe, 1e-4);
    for (int i = 0; i < kx.n(); i++) ASSERT_TRUE(std::isfinite(kx.data[i]));
  }
}

TEST(Gradients, DoubleMatchesNaiveClampedConvolution) {
  for (const Size& z : sizes())
    for (double theta : {0.0, 0.4, -1.0}) {
      SCOPED_TRACE(testing::Message() << z.nl << "x" << z.nc << " theta " << theta);
      const IMGDBL a = sample<IMGDBL>(z.nl, z.nc, 3, 7.25, 0, 0);
      const IMGDBL gx = gradientex(a, 0.5, theta), gy = gradientey(a, 0.5, theta);
      expect_fresh(gx);
      expect_fresh(gy);
      EXPECT_TRUE(same_pixels(gx, naive_convolucao(a, IMGDBLgrxnormal(0.5, theta), 'x')));
      EXPECT_TRUE(same_pixels(gy, naive_convolucao(a, IMGDBLgrynormal(0.5, theta), 'x')));
      const IMGDBL m = modgrad(a, 0.5, theta);
      expect_fresh(m);
      for (int i = 0; i < a.n(); i++)
        EXPECT_EQ(m.data[i], std::sqrt(gx.data[i] * gx.data[i] + gy.data[i] * gy.data[i]));
    }
}

TEST(Gradients, RampSlopes) {
  // a = column index: the x derivative is about sigma times the slope, y is 0, away from the
  // left and right edges (at least 5 sigma).
  const struct { double sigma, want; } cases[] = {{1.0, 1.0966}, {2.0, 2.0431}};
  for (const auto& t : cases) {
    SCOPED_TRACE(t.sigma);
    const int r = int(5 * t.sigma), nc = 2 * r + 6;
    const IMGDBL a = image<IMGDBL>(4, nc, [](int, int c) { return c; });
    const IMGFLT f = image<IMGFLT>(4, nc, [](int, int c) { return c; });
    const IMGDBL up = image<IMGDBL>(nc, 4, [](int l, int) { return -l; });
    const IMGDBL gx = gradientex(a, t.sigma, 0), gy = gradientey(a, t.sigma, 0);
    const IMGFLT fx = gradientex(f, t.sigma, 0), fy = gradientey(f, t.sigma, 0.0);
    const IMGDBL uy = gradientey(up, t.sigma, 0), ux = gradientex(up, t.sigma, 0);
    for (int l = 0; l < 4; l++)
      for (int c = r; c < nc - r; c++) {
        EXPECT_NEAR(gx.rows[l][c], t.want, 5e-5);
        EXPECT_NEAR(fx.rows[l][c], t.want, 5e-5);
        EXPECT_NEAR(uy.rows[c][l], t.want, 5e-5);  // growing upward
        EXPECT_NEAR(gy.rows[l][c], 0, 1e-12);
        EXPECT_NEAR(fy.rows[l][c], 0, 1e-6);
        EXPECT_NEAR(ux.rows[c][l], 0, 1e-12);
      }
  }
}

TEST(Gradients, RotatedKernelsDifferentiateAlongTheirDirection) {
  // x kernel at theta: along (cos, -sin) with y upward; the image varying only across that
  // direction gives 0 there, and the y kernel likewise along (sin, cos).
  const double t = 0.5, cs = std::cos(t), sn = std::sin(t);
  const IMGDBL across_x = image<IMGDBL>(25, 25, [&](int l, int c) { return c * sn - l * cs; });
  const IMGDBL along_x = image<IMGDBL>(25, 25, [&](int l, int c) { return c * cs + l * sn; });
  const IMGDBL gx0 = gradientex(across_x, 1.0, t), gx1 = gradientex(along_x, 1.0, t);
  const IMGDBL gy0 = gradientey(along_x, 1.0, t), gy1 = gradientey(across_x, 1.0, t);
  for (int l = 6; l < 19; l++)
    for (int c = 6; c < 19; c++) {
      EXPECT_NEAR(gx0.rows[l][c], 0, 1e-9);
      EXPECT_NEAR(gy0.rows[l][c], 0, 1e-9);
      EXPECT_GT(gx1.rows[l][c], 0.5);
      EXPECT_GT(gy1.rows[l][c], 0.5);
    }
}

TEST(Gradients, FloatSeparablePath) {
  // A negative theta smooths and takes sigma/2 times the central difference: a ramp of slope 1
  // gives sigma, and a ramp upward gives sigma in y.
  const IMGFLT a = image<IMGFLT>(3, 40, [](int, int c) { return c; });
  const IMGFLT u = image<IMGFLT>(40, 3, [](int l, int) { return 40 - l; });
  const IMGFLT gx = gradientex(a, 2.0, -1.0), gy = gradientey(u, 2.0, -1.0);
  expect_fresh(gx);
  for (int l = 0; l < 3; l++)
    for (int c = 10; c < 30; c++) {
      EXPECT_NEAR(gx.rows[l][c], 2.0, 1e-4);
      EXPECT_NEAR(gy.rows[c][l], 2.0, 1e-4);
    }
  // At the border only one side differs: sigma/2 times (a(1) - a(0)) of the clamped smoothing.
  const IMGFLT one = gradientex(image<IMGFLT>(1, 2, [](int, int c) { return c; }), 0.1, -1.0);
  EXPECT_FLOAT_EQ(one.rows[0][0], 0.05f);
  EXPECT_FLOAT_EQ(one.rows[0][1], 0.05f);
  // sigma is not checked there: 0 smooths nothing and scales the difference to 0.
  const IMGFLT z = gradientex(a, 0.0, -1.0);
  for (int i = 0; i < z.n(); i++) EXPECT_EQ(z.data[i], 0.0f);
  // -0.0 is not negative: the 2-D kernel.
  EXPECT_TRUE(same_pixels(gradientex(a, 1.0, -0.0), gradientex(a, 1.0, 0.0)));
  EXPECT_FALSE(same_pixels(gradientex(a, 1.0, -1e-9), gradientex(a, 1.0, 0.0)));
  // modgrad follows the same path.
  const IMGFLT m = modgrad(a, 2.0, -1.0), my = gradientey(a, 2.0, -1.0);
  for (int i = 0; i < a.n(); i++)
    EXPECT_EQ(m.data[i],
              float(std::sqrt(double(gx.data[i]) * gx.data[i] + double(my.data[i]) * my.data[i])));
}

TEST(Gradients, ConstantImagesGiveZeroEverywhere) {
  for (double theta : {0.0, 0.7, -1.0}) {
    const IMGDBL d(6, 9, 3.5);
    const IMGFLT f(6, 9, 3.5f);
    const IMGDBL md = modgrad(d, 1.0, theta);
    const IMGFLT mf = modgrad(f, 1.0, theta);
    for (int i = 0; i < d.n(); i++) {
      EXPECT_NEAR(md.data[i], 0, 1e-12);
      EXPECT_NEAR(mf.data[i], 0, 1e-5);
    }
  }
}

TEST(Gradients, FreshResultsWhateverTheOperand) {
  IMGFLT a = sample<IMGFLT>(5, 4, 2, 9.0, 4, 0);
  for (double theta : {0.0, -1.0}) {
    expect_fresh(gradientex(a, 1.0, theta));
    expect_fresh(gradientey(a, 1.0, theta));
    expect_fresh(modgrad(a, 1.0, theta));
  }
  EXPECT_EQ(a.backg, 9.0f);  // the operand is untouched
  EXPECT_EQ(modgrad(IMGDBL(), 1.0, 0).n(), 0);
  EXPECT_EQ(modgrad(IMGFLT(), 1.0, -1).n(), 0);
}

}  // namespace
