#include "processing/filters/diffusion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "processing/algebra/pointwise.h"
#include "processing/filters/convolution.h"
#include "processing/filters/divergence.h"
#include "processing/filters/gradient.h"
#include "support/conv_fixtures.h"
#include "support/test_support.h"

using namespace convtest;

namespace {

const char kModes[] = {'1', '2', 't', 'i', 'd', 'l', 'f'};

IMGDBL row(std::vector<double> v) {
  IMGDBL a(1, int(v.size()));
  for (size_t i = 0; i < v.size(); i++) a.data[i] = v[i];
  return a;
}

TEST(Conductance, Values) {
  const struct {
    double x, K;
    char mode;
    double want;
  } cases[] = {
      {1, 1, '1', 0.5},
      {2, 1, '1', 0.2},
      {1, 2, '1', 0.8},
      {-2, -1, '1', 0.2},
      {1, 1, '2', std::exp(-0.5)},
      {1, 1, 't', 0.64},
      {std::sqrt(5.0), 1, 't', 0},
      {2.5, 1, 't', 0},
      {7, 0.1, 'i', 1},
      {0.5, 1, 'd', 1},
      {1, 1, 'd', 0},
      {-0.5, 1, 'l', 0.5},
      {1, 1, 'l', 0},
      {-3, 1, 'l', 0},
      {1 / 0.5507604246, 1, 'f', 0},
      {3, 1, 'f', 0},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(testing::Message() << t.mode << " x=" << t.x << " K=" << t.K);
    EXPECT_NEAR(g(t.x, t.K, t.mode), t.want, 1e-15);
  }
  const double a = 0.5507604246 * 0.8, u = a * a / 4.0;
  EXPECT_EQ(g(0.8, 2, 'f'), 1.0 - 6.0 * u / 5.0 + u * u / 5.0);
  for (char m : kModes) {
    SCOPED_TRACE(m);
    EXPECT_EQ(g(0, 0.3, m), 1.0);
    EXPECT_EQ(g(0, -0.3, m), (m == 'd' || m == 'l') ? 0.0 : 1.0);
  }
  for (char m : {'d', 'l'})
    for (double x : {0.0, 1e-300, 5.0}) EXPECT_EQ(g(x, 0, m), 0.0);
  // Unordered comparisons take the zero branch.
  for (char m : {'t', 'd', 'l', 'f'}) {
    EXPECT_EQ(g(NAN, 1, m), 0.0);
    EXPECT_EQ(g(1, NAN, m), 0.0);
  }
}

TEST(Conductance, UnknownModeIsFatal) {
  for (char m : {'0', 'x', 'D', char(0)}) EXPECT_ERRO(g(1, 1, m), "Erro g: modo inexistente", "");
}

// Neighbours inside the image, in the order north, south, west, east.
double naive_plain(const IMGDBL& in, IMGDBL& out, double K, char mode, double dt) {
  const int nl = in.nl(), nc = in.nc();
  out = IMGDBL(nl, nc);
  double total = 0;
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) {
      const double v = in.rows[l][c];
      double s = 0;
      int n = 0;
      const int dl[] = {-1, 1, 0, 0}, dc[] = {0, 0, -1, 1};
      for (int k = 0; k < 4; k++) {
        const int ll = l + dl[k], cc = c + dc[k];
        if (ll < 0 || ll >= nl || cc < 0 || cc >= nc) continue;
        const double d = in.rows[ll][cc] - v;
        s += d * g(d, K, mode);
        n++;
      }
      const double delta = n ? s * (dt / n) : 0.0;
      out.rows[l][c] = v + delta;
      total += std::fabs(delta);
    }
  return total / (double(nl) * nc);
}

// All four neighbours through the clamping element access.
double naive_clamped(IMGDBL in, IMGDBL& out, double K, char mode, double dt) {
  const int nl = in.nl(), nc = in.nc();
  out = IMGDBL(nl, nc);
  double total = 0;
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) {
      const double v = in.rows[l][c];
      double s = 0;
      for (double w :
           {in(l - 1, c, 'x'), in(l + 1, c, 'x'), in(l, c - 1, 'x'), in(l, c + 1, 'x')}) {
        const double d = w - v;
        s += d * g(d, K, mode);
      }
      const double delta = dt * 0.25 * s;
      out.rows[l][c] = v + delta;
      total += std::fabs(delta);
    }
  return total / (double(nl) * nc);
}

TEST(DiffusionSteps, MatchNaiveReferencesInEveryMode) {
  for (const Size& z : sizes())
    for (char m : kModes)
      for (double K : {3.0, -1.5}) {
        SCOPED_TRACE(testing::Message() << z.nl << "x" << z.nc << " mode " << m << " K " << K);
        const IMGDBL in = sample<IMGDBL>(z.nl, z.nc, 4, 2.0, 0, 0);
        IMGDBL out, want;
        const double r = onepassdifusao(in, out, K, m, 0.2);
        EXPECT_EQ(r, naive_plain(in, want, K, m, 0.2));
        EXPECT_TRUE(same_pixels(out, want));
        expect_fresh(out);
        IMGDBL xout, xwant;
        const double xr = xonepassdifusao(in, xout, K, m, 0.2);
        EXPECT_EQ(xr, naive_clamped(in, xwant, K, m, 0.2));
        EXPECT_TRUE(same_pixels(xout, xwant));
      }
}

TEST(DiffusionSteps, SingleRow) {
  IMGDBL out;
  EXPECT_EQ(onepassdifusao(row({0, 1, 0}), out, 1, 'i', 1), 1.0);
  EXPECT_TRUE(same_pixels(out, row({1, 0, 1})));
  EXPECT_DOUBLE_EQ(xonepassdifusao(row({0, 1, 0}), out, 1, 'i', 1), 1.0 / 3);
  EXPECT_TRUE(same_pixels(out, row({0.25, 0.5, 0.25})));
}

TEST(DiffusionSteps, SinglePixelKeepsItsValue) {
  IMGDBL out;
  const IMGDBL one = row({4.5});
  EXPECT_EQ(onepassdifusao(one, out, 1, 'q', 1), 0.0);  // no neighbour: g is never asked
  EXPECT_TRUE(same_pixels(out, one));
  EXPECT_EQ(xonepassdifusao(one, out, 1, 'i', 1), 0.0);
  EXPECT_TRUE(same_pixels(out, one));
  EXPECT_ERRO(xonepassdifusao(one, out, 1, 'q', 1), "Erro g: modo inexistente", "");
  EXPECT_ERRO(onepassdifusao(row({1, 2}), out, 1, 'q', 1), "Erro g: modo inexistente", "");
  // Empty images change nothing and report no change.
  EXPECT_EQ(onepassdifusao(IMGDBL(), out, 1, 'q', 1), 0.0);
  EXPECT_EQ(out.n(), 0);
  EXPECT_EQ(xonepassdifusao(IMGDBL(), out, 1, 'q', 1), 0.0);
}

TEST(DiffusionSteps, ConstantImagesStayPut) {
  const IMGDBL in(4, 3, 2.5);
  for (char m : kModes) {
    IMGDBL out, xout;
    EXPECT_EQ(onepassdifusao(in, out, 0.5, m, 0.3), 0.0);
    EXPECT_EQ(xonepassdifusao(in, xout, 0.5, m, 0.3), 0.0);
    EXPECT_TRUE(same_pixels(out, in));
    EXPECT_TRUE(same_pixels(xout, in));
  }
}

TEST(DiffusionSteps, ThresholdBelowEpsilonCopiesTheInput) {
  const IMGDBL in = sample<IMGDBL>(3, 4, 1, 6.5, 0, 3);
  for (double K : {0.0, 9e-21, -9e-21}) {
    IMGDBL a(2, 2, 1.0), b, c;
    EXPECT_EQ(onepassdifusao(in, a, K, 'q', 1), 0.0);
    EXPECT_EQ(xonepassdifusao(in, b, K, 'q', 1), 0.0);
    EXPECT_EQ(xonepassgausdif(in, c, K, 'q', 1, 0.0), 0.0);
    for (const IMGDBL* o : {&a, &b, &c}) {
      EXPECT_TRUE(same_pixels(*o, in));
      EXPECT_EQ(o->backg, 6.5);
      EXPECT_EQ(o->lc, 0);
      EXPECT_EQ(o->cc, 3);
    }
  }
}

TEST(DiffusionSteps, OutputOfTheSameSizeKeepsItsFrame) {
  const IMGDBL in = sample<IMGDBL>(3, 4, 1);
  IMGDBL out(3, 4);
  out.backg = 8, out.lc = 2, out.cc = 0;
  onepassdifusao(in, out, 1, '1', 0.1);
  EXPECT_EQ(out.backg, 8);
  EXPECT_EQ(out.lc, 2);
  EXPECT_EQ(out.cc, 0);
  IMGDBL other(5, 5);
  other.backg = 8;
  xonepassdifusao(in, other, 1, '1', 0.1);
  EXPECT_EQ(other.nl(), 3);
  expect_fresh(other);
}

TEST(DiffusionSteps, InPlaceStepReadsTheOldValues) {
  const IMGDBL in = sample<IMGDBL>(4, 5, 2);
  IMGDBL want, xwant, a = in, b = in;
  const double r = onepassdifusao(in, want, 2, '1', 0.25);
  const double xr = xonepassdifusao(in, xwant, 2, '1', 0.25);
  EXPECT_EQ(onepassdifusao(a, a, 2, '1', 0.25), r);
  EXPECT_EQ(xonepassdifusao(b, b, 2, '1', 0.25), xr);
  EXPECT_TRUE(same_pixels(a, want));
  EXPECT_TRUE(same_pixels(b, xwant));
}

TEST(GaussianDiffusionStep, FluxWeightedByConductance) {
  const IMGDBL in = sample<IMGDBL>(9, 8, 3, 4.0, 1, 1);
  const double K = 2, dt = 0.15, sigma = 0.8;
  IMGDBL gx = convolucao(in, IMGDBLgrxnormal(sigma, 0), 'x');
  IMGDBL gy = convolucao(in, IMGDBLgrynormal(sigma, 0), 'x');
  for (int i = 0; i < in.n(); i++) {
    const double w = g(std::sqrt(gx.data[i] * gx.data[i] + gy.data[i] * gy.data[i]), K, 't');
    gx.data[i] *= w;
    gy.data[i] *= w;
  }
  const IMGDBL step = dt * divergente(gx, gy, sigma);
  const IMGDBL want = in + step;
  double total = 0;
  for (int i = 0; i < in.n(); i++) total += std::fabs(step.data[i]);

  IMGDBL out(2, 2);
  EXPECT_EQ(xonepassgausdif(in, out, K, 't', dt, sigma), total / in.n());
  EXPECT_TRUE(same_pixels(out, want));
  EXPECT_EQ(out.backg, 4.0);  // in's outside value plus 0
  EXPECT_EQ(out.lc, 4);
  EXPECT_EQ(out.cc, 3);
}

TEST(GaussianDiffusionStep, SmallThresholdKeepsTheEdge) {
  const IMGDBL edge = image<IMGDBL>(12, 12, [](int, int c) { return c < 6 ? 0.0 : 10.0; });
  IMGDBL weak, strong;
  xonepassgausdif(edge, weak, 1.0, '1', 0.2, 1.0);
  xonepassgausdif(edge, strong, 100.0, '1', 0.2, 1.0);
  // A large K lets the edge diffuse; a small one all but stops the flux across it.
  EXPECT_GT(strong.rows[6][5], 0.1);
  EXPECT_LT(strong.rows[6][6], 9.9);
  EXPECT_NEAR(strong.rows[6][5], 10.0 - strong.rows[6][6], 1e-9);
  EXPECT_LT(std::fabs(weak.rows[6][5]), 0.1 * strong.rows[6][5]);
}

TEST(GaussianDiffusionStep, FailuresInOrder) {
  const IMGDBL in(4, 4, 1.0);
  IMGDBL out;
  EXPECT_ERRO(xonepassgausdif(in, out, 1, 'q', 1, 0.0), "Erro grnormalx: desvio muito pequeno", "");
  EXPECT_ERRO(xonepassgausdif(in, out, 1, 'q', 1, 0.3), "Erro g: modo inexistente", "");
  EXPECT_ERRO(xonepassgausdif(in, out, 1, '1', 1, 0.3), "Erro normal1: desvio muito pequeno", "");
}

TEST(DiffusionDrivers, StepsRepeated) {
  const IMGDBL in = sample<IMGDBL>(5, 6, 7, 3.0, 1, 4);
  IMGDBL a = in, b;
  for (int i = 0; i < 3; i++) {
    onepassdifusao(a, b, 1.5, 'l', 0.2);
    a = b;
  }
  const IMGDBL d = difusao(in, 3, 1.5, 'l', 0.2);
  EXPECT_TRUE(same_pixels(d, a));
  EXPECT_EQ(d.backg, 3.0);
  EXPECT_EQ(d.lc, 1);
  EXPECT_EQ(d.cc, 4);

  a = in;
  for (int i = 0; i < 3; i++) {
    xonepassdifusao(a, b, 1.5, '2', 0.2);
    a = b;
  }
  const IMGDBL x = xdifusao(in, 3, 1.5, '2', 0.2);
  EXPECT_TRUE(same_pixels(x, a));
  expect_fresh(x);
}

TEST(DiffusionDrivers, NoStepsOrNoThreshold) {
  const IMGDBL in = sample<IMGDBL>(3, 5, 1, 2.0, 2, 0);
  for (int niter : {0, -2}) {
    const IMGDBL d = difusao(in, niter, 1, '1', 0.2);
    EXPECT_TRUE(same_pixels(d, in));
    EXPECT_EQ(d.backg, 2.0);
    EXPECT_EQ(d.lc, 2);
    const IMGDBL x = xdifusao(in, niter, 1, '1', 0.2);
    EXPECT_EQ(x.nl(), 3);
    EXPECT_EQ(x.nc(), 5);
    expect_fresh(x);
    for (int i = 0; i < x.n(); i++) EXPECT_EQ(x.data[i], 0.0);
  }
  const IMGDBL d = difusao(in, 4, 0, 'q', 0.2), x = xdifusao(in, 4, 1e-21, 'q', 0.2);
  EXPECT_TRUE(same_pixels(d, in));
  EXPECT_TRUE(same_pixels(x, in));
  EXPECT_EQ(x.backg, 2.0);  // the step copied the input
  EXPECT_EQ(x.lc, 2);
}

// ---- thresholds by percentile

TEST(DiffusionThreshold, PercentileOfForwardDifferences) {
  const IMGDBL a(2, 2, 0.0, 1.0, 3.0, 6.0);  // samples 3, 1, 5, 3
  const struct {
    double p, want;
  } cases[] = {{50, 3},   {100, 5},  {20, 1}, {10, 0}, {0, 0},    {150, 1},  {-1, 3},
               {-0.4, 5}, {-0.5, 3}, {-3, 1}, {-4, 0}, {62.5, 3}, {87.5, 5}, {NAN, 0}};
  for (const auto& t : cases) {
    SCOPED_TRACE(t.p);
    EXPECT_EQ(percentilgrad(a, t.p), t.want);
  }
  // Clamped: 3, 1, 5, 0, 0, 3, 0, 0.
  EXPECT_EQ(xpercentilgrad(a, 50), 0.0);
  EXPECT_EQ(xpercentilgrad(a, 62.5), 1.0);
  EXPECT_EQ(xpercentilgrad(a, 75), 3.0);
  EXPECT_EQ(xpercentilgrad(a, 100), 5.0);
  EXPECT_EQ(xpercentilgrad(a, 1e300), 1.0);
  // One pixel: no samples (plain) or only zeros (clamped).
  EXPECT_EQ(percentilgrad(row({7}), 100), 0.0);
  EXPECT_EQ(percentilgrad(row({7}), -1), 0.0);
  EXPECT_EQ(xpercentilgrad(row({7}), 100), 0.0);
  EXPECT_EQ(percentilgrad(IMGDBL(), 50), 0.0);
  EXPECT_EQ(xpercentilgrad(IMGDBL(), 50), 0.0);
}

// The k-th smallest of the samples, by sorting.
double naive_select(std::vector<float> v, double p) {
  const int n = int(v.size());
  const double k = p < 0 ? n - std::round(-p) : std::round(n * p / 100);
  if (!(k >= 1)) return 0;
  if (k > n) return 1;
  std::sort(v.begin(), v.end());
  return v[int(k) - 1];
}

TEST(DiffusionThreshold, MatchesSortedSamples) {
  for (const Size& z : sizes()) {
    const IMGDBL a = sample<IMGDBL>(z.nl, z.nc, 5);
    std::vector<float> plain, clamped, gauss;
    for (int l = 0; l < z.nl; l++)
      for (int c = 0; c < z.nc; c++) {
        if (l + 1 < z.nl) plain.push_back(float(std::fabs(a.rows[l + 1][c] - a.rows[l][c])));
        if (c + 1 < z.nc) plain.push_back(float(std::fabs(a.rows[l][c + 1] - a.rows[l][c])));
        clamped.push_back(float(std::fabs(a(l + 1, c, 'x') - a.rows[l][c])));
        clamped.push_back(float(std::fabs(a(l, c + 1, 'x') - a.rows[l][c])));
      }
    const IMGDBL m = modgrad(a, 0.7, 0);
    for (int i = 0; i < m.n(); i++) gauss.push_back(float(std::fabs(m.data[i])));
    for (double p : {0.0, 12.0, 50.0, 70.0, 99.0, 100.0, -1.0, -2.0}) {
      SCOPED_TRACE(testing::Message() << z.nl << "x" << z.nc << " p " << p);
      EXPECT_EQ(percentilgrad(a, p), naive_select(plain, p));
      EXPECT_EQ(xpercentilgrad(a, p), naive_select(clamped, p));
      EXPECT_EQ(xpercentilgausdif(a, p, 0.7), naive_select(gauss, p));
    }
  }
  EXPECT_ERRO(xpercentilgausdif(IMGDBL(3, 3, 0.0), 50, 0), "Erro grnormalx: desvio muito pequeno",
              "");
}

TEST(AutoDiffusion, ThresholdReestimatedBeforeEachStep) {
  const IMGDBL in = sample<IMGDBL>(6, 5, 8, 1.0, 0, 0);
  IMGDBL a = in, b;
  for (int i = 0; i < 3; i++) {
    onepassdifusao(a, b, percentilgrad(a, 80), '1', 0.2);
    a = b;
  }
  const IMGDBL r = autodif(in, 3, 80, '1', 0.2);
  EXPECT_TRUE(same_pixels(r, a));
  expect_fresh(r);

  a = in;
  for (int i = 0; i < 3; i++) {
    xonepassdifusao(a, b, xpercentilgrad(a, 80), 't', 0.2);
    a = b;
  }
  const IMGDBL x = xautodif(in, 3, 80, 't', 0.2);
  EXPECT_TRUE(same_pixels(x, a));
  expect_fresh(x);
}

TEST(AutoDiffusion, ZeroPercentileCopiesTheInput) {
  const IMGDBL in = sample<IMGDBL>(4, 4, 9, 5.5, 3, 1);
  for (const IMGDBL& r : {autodif(in, 2, 0, 'q', 0.2), xautodif(in, 1, 0, 'q', 0.2)}) {
    EXPECT_TRUE(same_pixels(r, in));
    EXPECT_EQ(r.backg, 5.5);
    EXPECT_EQ(r.lc, 3);
    EXPECT_EQ(r.cc, 1);
  }
  for (const IMGDBL& r : {autodif(in, 0, 50, '1', 0.2), xautodif(in, -1, 50, '1', 0.2)}) {
    expect_fresh(r);
    for (int i = 0; i < r.n(); i++) EXPECT_EQ(r.data[i], 0.0);
  }
  EXPECT_ERRO(autodif(in, 1, 50, 'q', 0.2), "Erro g: modo inexistente", "");
}

}  // namespace
