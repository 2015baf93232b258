#include "processing/filters/total_variation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>

#include "processing/algebra/pointwise.h"
#include "support/conv_fixtures.h"
#include "support/test_support.h"

using namespace convtest;

namespace {

using C = std::complex<float>;

IMGCPX field(int nl, int nc, C v) { return IMGCPX(nl, nc, v); }

TEST(TVOperators, GradientForwardDifferences) {
  const IMGDBL a = sample<IMGDBL>(4, 5, 3, 2.0, 0, 0);
  const IMGCPX g = TV::grad(a);
  expect_fresh(g);
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 5; c++) {
      C want(0, 0);
      if (r >= 1 && c <= 3)
        want = C(float(a.rows[r][c + 1] - a.rows[r][c]), float(a.rows[r - 1][c] - a.rows[r][c]));
      EXPECT_TRUE(same(g.rows[r][c], want)) << r << "," << c;
    }
  // A ramp along the rows, and one growing upward.
  const IMGCPX gx = TV::grad(image<IMGDBL>(3, 4, [](int, int c) { return c; }));
  const IMGCPX gy = TV::grad(image<IMGDBL>(3, 4, [](int l, int) { return -l; }));
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++) {
      const bool inner = r >= 1 && c <= 2;
      EXPECT_EQ(gx.rows[r][c], inner ? C(1, 0) : C(0, 0));
      EXPECT_EQ(gy.rows[r][c], inner ? C(0, 1) : C(0, 0));
    }
  EXPECT_EQ(TV::J(image<IMGDBL>(3, 4, [](int, int c) { return c; })), 6.0);
  EXPECT_EQ(TV::J(image<IMGDBL>(5, 7, [](int, int c) { return 2 * c; })), 2.0 * 4 * 6);
  EXPECT_EQ(TV::grad(image<IMGDBL>(1, 1, [](int, int) { return 3.0; })).data[0], C(0, 0));
  EXPECT_EQ(TV::J(IMGDBL()), 0.0);
}

TEST(TVOperators, DivergenceRules) {
  const IMGDBL dx = TV::div(field(3, 4, C(1, 0)));
  const IMGDBL dy = TV::div(field(3, 4, C(0, 1)));
  expect_fresh(dx);
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++) {
      EXPECT_EQ(dx.rows[r][c], c == 0 ? 1.0 : (c == 3 ? -1.0 : 0.0));
      EXPECT_EQ(dy.rows[r][c], r == 2 ? 1.0 : (r == 0 ? -1.0 : 0.0));
    }
  EXPECT_EQ(TV::div(field(1, 1, C(0.5f, 2))).data[0], 2.5);
  // One column: only the first-column rule; one row: only the bottom-row rule.
  IMGCPX col(3, 1, 1.0f, 10.0f, 2.0, 20.0, 3.0, 30.0);
  const IMGDBL dc = TV::div(col);
  EXPECT_EQ(dc.data[0], 1.0 - 20.0);
  EXPECT_EQ(dc.data[1], 2.0 + (20.0 - 30.0));
  EXPECT_EQ(dc.data[2], 3.0 + 30.0);
  IMGCPX row(1, 3, 1.0f, 10.0f, 2.0, 20.0, 3.0, 30.0);
  const IMGDBL dr = TV::div(row);
  EXPECT_EQ(dr.data[0], 1.0 + 10.0);
  EXPECT_EQ(dr.data[1], (2.0 - 1.0) + 20.0);
  EXPECT_EQ(dr.data[2], -2.0 + 30.0);
}

TEST(TVOperators, DivergenceIsMinusTheAdjointOfTheGradient) {
  for (const Size& z : sizes()) {
    SCOPED_TRACE(testing::Message() << z.nl << "x" << z.nc);
    const IMGDBL f = sample<IMGDBL>(z.nl, z.nc, 1), h = sample<IMGDBL>(z.nl, z.nc, 2);
    const IMGCPX gf = TV::grad(f), gh = TV::grad(h);
    const IMGDBL d = TV::div(gh);
    double lhs = 0, rhs = 0;
    for (int i = 0; i < f.n(); i++) {
      lhs += double(gf.data[i].real()) * gh.data[i].real() +
             double(gf.data[i].imag()) * gh.data[i].imag();
      rhs -= f.data[i] * d.data[i];
    }
    EXPECT_NEAR(lhs, rhs, 1e-5 * (1 + std::fabs(lhs)));
  }
}

TEST(TVOperators, ClipToTheSquare) {
  IMGCPX p(2, 2, 2.0f, -3.0f, 0.5, -1.0, -7.0, 0.25, 1.0, 1.0);
  p.backg = C(5, -5);
  p.lc = 1;
  const IMGCPX q = TV::clip(p);
  EXPECT_EQ(q.data[0], C(1, -1));
  EXPECT_EQ(q.data[1], C(0.5f, -1));
  EXPECT_EQ(q.data[2], C(-1, 0.25f));
  EXPECT_EQ(q.data[3], C(1, 1));
  EXPECT_EQ(q.backg, C(5, -5));
  EXPECT_EQ(q.lc, 1);
  EXPECT_EQ(p.data[0], C(2, -3));  // the argument is untouched
}

TEST(TVOperators, Moduli) {
  IMGCPX z(2, 3, 3.0f, 4.0f, 0.0, 0.0, -3e30, 4e30, 3e-30, -4e-30, 0.0, -2.5, 1.0, 1.0);
  z.backg = C(-6, 8);
  z.lc = 0;
  const IMGFLT m = abs(z);
  EXPECT_EQ(m.nl(), 2);
  EXPECT_EQ(m.lc, 0);
  EXPECT_EQ(m.cc, 1);
  EXPECT_EQ(m.data[0], 5.0f);
  EXPECT_EQ(m.data[1], 0.0f);
  EXPECT_FLOAT_EQ(m.data[2], 5e30f);
  EXPECT_FLOAT_EQ(m.data[3], 5e-30f);
  EXPECT_EQ(m.data[4], 2.5f);
  EXPECT_EQ(m.data[5], float(std::sqrt(2.0)));
  EXPECT_EQ(m.backg, 10.0f);
}

// A step edge with deterministic noise.
IMGDBL noisy(int nl, int nc) {
  return image<IMGDBL>(nl, nc, [nc](int l, int c) {
    return (c < nc / 2 ? 0.2 : 0.8) + 0.1 * std::sin(l * 12.9898 + c * 78.233);
  });
}

TEST(TVDenoising, OneIterationStepFactors) {
  const IMGDBL f = 0.1 * sample<IMGDBL>(4, 5, 6, 1.5);
  const double lambda = 0.7;
  const IMGCPX p0 = field(4, 5, C(0, 0));
  const IMGCPX p1 = TV::clip(p0 + 0.225f * TV::grad(TV::div(p0) - (1.0 / lambda) * f));
  EXPECT_TRUE(same_pixels(tv_lambda(f, lambda, 1, false), f - lambda * TV::div(p1)));
  const IMGCPX p2 = TV::clip(p0 + 0.125f * TV::grad((-1.0 / lambda) * (f - lambda * TV::div(p0))));
  EXPECT_TRUE(same_pixels(tv_lambda2(f, lambda, 1, false), f - lambda * TV::div(p2)));
  // tv_sigma's first iteration keeps lambda at 0.2: u = f, so the removed part is 0.
  EXPECT_TRUE(same_pixels(tv_sigma(f, 0.05, 1, false), tv_lambda2(f, 0.2, 1, false)));
}

TEST(TVDenoising, ResultFrameAndNoIterations) {
  IMGDBL f = sample<IMGDBL>(3, 4, 2, 6.5, 0, 3);
  for (int niter : {0, -3}) {
    for (const IMGDBL& u : {tv_lambda(f, 0.5, niter, false), tv_lambda2(f, 0.5, niter, false),
                            tv_sigma(f, 0.5, niter, false)}) {
      EXPECT_TRUE(same_pixels(u, f));
      EXPECT_EQ(u.backg, 6.5);
      EXPECT_EQ(u.lc, 1);
      EXPECT_EQ(u.cc, 1);
    }
  }
  const IMGDBL u = tv_sigma(f, 0.5, 4, false);
  EXPECT_EQ(u.backg, 6.5);
  EXPECT_EQ(u.cc, 1);
}

TEST(TVDenoising, ProgressOnlyWhenAsked) {
  const IMGDBL f = noisy(4, 4);
  const struct {
    int niter;
    bool verbose;
    const char* want;
  } cases[] = {{3, true, "0\r1\r2\r\n"}, {0, true, "\n"}, {-1, true, "\n"}, {3, false, ""}};
  for (const auto& t : cases) {
    for (int which = 0; which < 3; which++) {
      SCOPED_TRACE(testing::Message() << t.niter << " " << t.verbose << " " << which);
      testing::internal::CaptureStdout();
      if (which == 0) tv_lambda(f, 0.1, t.niter, t.verbose);
      if (which == 1) tv_lambda2(f, 0.1, t.niter, t.verbose);
      if (which == 2) tv_sigma(f, 0.1, t.niter, t.verbose);
      EXPECT_EQ(testing::internal::GetCapturedStdout(), t.want);
    }
  }
}

TEST(TVDenoising, ConstantImagesAreKept) {
  const IMGDBL f(5, 6, 0.375);
  EXPECT_TRUE(same_pixels(tv_lambda(f, 0.3, 5, false), f));
  EXPECT_TRUE(same_pixels(tv_lambda2(f, 0.3, 5, false), f));
  EXPECT_TRUE(same_pixels(tv_sigma(f, 0.1, 5, false), f));
}

double sum(const IMGDBL& a) {
  double s = 0;
  for (int i = 0; i < a.n(); i++) s += a.data[i];
  return s;
}

double rms(const IMGDBL& a, const IMGDBL& b) {
  double s = 0;
  for (int i = 0; i < a.n(); i++) s += (a.data[i] - b.data[i]) * (a.data[i] - b.data[i]);
  return std::sqrt(s / a.n());
}

TEST(TVDenoising, SmoothsKeepingTheMean) {
  const IMGDBL f = noisy(16, 16);
  const double jf = TV::J(f);
  double last = jf;
  for (double lambda : {0.02, 0.1, 0.5}) {
    SCOPED_TRACE(lambda);
    const IMGDBL u = tv_lambda(f, lambda, 60, false), v = tv_lambda2(f, lambda, 60, false);
    EXPECT_NEAR(sum(u), sum(f), 1e-9);
    EXPECT_NEAR(sum(v), sum(f), 1e-9);
    EXPECT_LT(TV::J(u), last);  // more smoothing for a larger lambda
    EXPECT_LT(TV::J(v), jf);
    last = TV::J(u);
  }
}

TEST(TVDenoising, SigmaDriverRemovesAboutSigma) {
  const IMGDBL f = noisy(16, 16);
  for (double sigma : {0.03, 0.06}) {
    SCOPED_TRACE(sigma);
    const IMGDBL u = tv_sigma(f, sigma, 100, false);
    EXPECT_NEAR(rms(u, f), sigma, 0.1 * sigma);
    EXPECT_NEAR(sum(u), sum(f), 1e-9);
    EXPECT_LT(TV::J(u), TV::J(f));
  }
}

TEST(TVDenoising, ZeroWeightLeavesTheImage) {
  const IMGDBL f = noisy(5, 5);
  testing::internal::CaptureStdout();
  const IMGDBL a = tv_lambda(f, 0, 3, true), b = tv_lambda2(f, 0.0, 3, false);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "0\r1\r2\r\n");
  EXPECT_TRUE(same_pixels(a, f));
  EXPECT_TRUE(same_pixels(b, f));
  // sigma 0 drives lambda to 0 after the second iteration; the image stays finite.
  const IMGDBL c = tv_sigma(f, 0, 6, false);
  for (int i = 0; i < c.n(); i++) EXPECT_TRUE(std::isfinite(c.data[i]));
  EXPECT_TRUE(same_pixels(c, f - 0.0 * TV::div(IMGCPX(5, 5))));
}

}  // namespace
