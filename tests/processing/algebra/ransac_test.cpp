// Photometric RANSAC against a plain reference that sorts the residuals, plus the fixed cases:
// equal images, inverted images, constant images and the failures.
#include "processing/algebra/ransac.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "numerics/random.h"
#include "processing/algebra/zoom_area.h"
#include "support/test_support.h"

namespace {

IMGGRY noise(int nl, int nc, unsigned seed) {
  return testutil::noise<IMGGRY>(nl, nc, seed, [](std::mt19937& g) { return g(); });
}

// b = gain a + offset (grey levels, clamped), with a block of unrelated pixels.
IMGGRY related(const IMGGRY& a, double gain, double offset, unsigned seed) {
  std::mt19937 gen(seed);
  IMGGRY b(a.nl, a.nc);
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) {
      double v = gain * a.rows[l][c] + offset + static_cast<int>(gen() % 5) - 2;
      if (l < a.nl() / 3 && c < a.nc() / 2) v = gen() % 256;
      b.rows[l][c] = static_cast<unsigned char>(std::clamp(v, 0.0, 255.0));
    }
  return b;
}

struct Fit {
  double gain, offset, err;
};

Fit reference(const IMGGRY& a, const IMGGRY& b, double frac, int nl, int nc, int niter, int seed) {
  const IMGGRY za = zoomnp(a, nl, nc), zb = zoomnp(b, nl, nc);
  auto A = [&](int l, int c) { return za.rows[l][c] / 255.0; };
  auto B = [&](int l, int c) { return zb.rows[l][c] / 255.0; };
  const int K = static_cast<int>(std::round((nl * frac) * nc));
  RANDOM gen(seed);
  std::vector<int> draws;
  for (int i = 0; i < niter; i++) {
    draws.push_back(gen.rand() % nl);
    draws.push_back(gen.rand() % nc);
    draws.push_back(gen.rand() % nl);
    draws.push_back(gen.rand() % nc);
  }
  Fit best{0, 0, 1e30};
  for (int i = 0; i < niter; i++) {
    const int l1 = draws[4 * i], c1 = draws[4 * i + 1], l2 = draws[4 * i + 2],
              c2 = draws[4 * i + 3];
    const double d = A(l1, c1) - A(l2, c2);
    Fit f{0, 0, 1e30};
    if (std::fabs(d) > 1e-20) {
      f.gain = (B(l1, c1) - B(l2, c2)) / d;
      f.offset = B(l2, c2) - f.gain * A(l2, c2);
    }
    if (f.gain != 0) {
      std::vector<double> res;
      for (int l = 0; l < nl; l++)
        for (int c = 0; c < nc; c++)
          res.push_back(std::fabs(f.gain * A(l, c) + f.offset - B(l, c)));
      std::sort(res.begin(), res.end());
      double sum = 0;
      for (int j = 0; j < K; j++) sum += res[j];
      f.err = std::sqrt(sum / K);
    }
    if (i == 0 || f.err < best.err) best = f;
  }
  return best;
}

Fit run(const IMGGRY& a, const IMGGRY& b, double frac, int nl, int nc, int niter, int seed) {
  Fit f{-7, -7, -7};
  RANSAC(a, b, f.gain, f.offset, f.err, frac, nl, nc, niter, seed);
  return f;
}

TEST(Ransac, MatchesReferenceOverWorkingSizesAndFractions) {
  const IMGGRY a = noise(12, 14, 1);
  const IMGGRY b = related(a, 0.7, 30, 2);
  struct Size {
    int nl, nc;
  };
  for (Size s : {Size{12, 14}, Size{5, 6}, Size{17, 20}, Size{1, 9}})
    for (double frac : {0.25, 0.5, 1.0})
      for (int seed : {1, 2, 99}) {
        SCOPED_TRACE(testing::Message()
                     << s.nl << "x" << s.nc << " frac " << frac << " seed " << seed);
        const Fit want = reference(a, b, frac, s.nl, s.nc, 25, seed);
        const Fit got = run(a, b, frac, s.nl, s.nc, 25, seed);
        EXPECT_EQ(got.gain, want.gain);
        EXPECT_EQ(got.offset, want.offset);
        EXPECT_NEAR(got.err, want.err, 1e-12 * want.err);
        EXPECT_EQ(run(a, b, frac, s.nl, s.nc, 25, seed).gain, got.gain);  // repeatable
      }
}

TEST(Ransac, RecoversTheRelationOutsideTheOutliers) {
  const IMGGRY a = noise(30, 30, 3);
  const IMGGRY b = related(a, 0.5, 60, 4);
  const Fit f = run(a, b, 0.3, 30, 30, 200, 5);
  EXPECT_NEAR(f.gain, 0.5, 0.05);
  EXPECT_NEAR(f.offset * 255, 60, 5);
  EXPECT_LT(f.err, 0.05);
}

TEST(Ransac, EqualAndInvertedImages) {
  const IMGGRY a = noise(9, 11, 6);
  const Fit same = run(a, a, 0.5, 9, 11, 10, 3);
  EXPECT_EQ(same.gain, 1.0);
  EXPECT_EQ(same.offset, 0.0);
  EXPECT_EQ(same.err, 0.0);

  IMGGRY inv(9, 11);
  for (int i = 0; i < inv.n(); i++) inv.data[i] = static_cast<unsigned char>(255 - a.data[i]);
  const Fit f = run(a, inv, 1.0, 9, 11, 10, 3);
  EXPECT_NEAR(f.gain, -1.0, 1e-12);
  EXPECT_NEAR(f.offset, 1.0, 1e-12);
  EXPECT_LT(f.err, 1e-6);
}

TEST(Ransac, K5OfNinePixelsAtHalf) {
  // Five pixels follow b = a, four do not: K = round(4.5) = 5 scores the exact fit 0; K = 6
  // (frac 0.65) must count a misfit.
  const IMGGRY a(3, 3, 10, 40, 70, 100, 130, 160, 190, 220, 250);
  const IMGGRY b(3, 3, 10, 40, 70, 100, 130, 0, 255, 0, 255);
  EXPECT_EQ(run(a, b, 0.5, 3, 3, 100, 8).err, 0.0);
  EXPECT_GT(run(a, b, 0.65, 3, 3, 100, 8).err, 0.0);
}

TEST(Ransac, RejectedHypothesesReportTheFirst) {
  const IMGGRY flat(6, 7, 90);
  const IMGGRY a = noise(6, 7, 9);
  // Constant a: every pair degenerate, whatever frac (no selection runs).
  for (double frac : {0.0, 0.5, 3.0}) {
    const Fit f = run(flat, a, frac, 6, 7, 20, 4);
    EXPECT_EQ(f.gain, 0.0);
    EXPECT_EQ(f.offset, 0.0);
    EXPECT_EQ(f.err, 1e30);
  }
  // Constant b: gain 0 everywhere; the first hypothesis's offset is B2, or 0 on equal A values.
  for (int seed = 1; seed <= 30; seed++) {
    RANDOM gen(seed);
    const int l1 = gen.rand() % 6, c1 = gen.rand() % 7, l2 = gen.rand() % 6, c2 = gen.rand() % 7;
    const Fit f = run(a, flat, 0.5, 6, 7, 20, seed);
    EXPECT_EQ(f.gain, 0.0);
    EXPECT_EQ(f.err, 1e30);
    EXPECT_EQ(f.offset, a.rows[l1][c1] == a.rows[l2][c2] ? 0.0 : 90 / 255.0);
  }
  // A 1 x 1 working size: every pair is the same pixel.
  const Fit one = run(a, related(a, 1.2, 3, 1), 0.5, 1, 1, 5, 1);
  EXPECT_EQ(one.gain, 0.0);
  EXPECT_EQ(one.offset, 0.0);
  EXPECT_EQ(one.err, 1e30);
}

TEST(Ransac, Failures) {
  const IMGGRY a = noise(8, 8, 10);
  double g, o, e;
  EXPECT_ERRO(RANSAC(IMGGRY(100, 100, 1), IMGGRY(100, 101, 1), g, o, e, 0.5, 10, 10, 5, 1),
              "Erro: Dimensoes diferentes", "");
  EXPECT_ERRO(RANSAC(a, IMGGRY(9, 8, 1), g, o, e, 0.5, 0, 10, 5, 1), "Erro: Dimensoes diferentes",
              "");
  EXPECT_ERRO(RANSAC(a, a, g, o, e, 0.5, 0, 4, 5, 1), "Erro: b.nl<=0", "");
  EXPECT_ERRO(RANSAC(a, a, g, o, e, 0.5, 4, -2, 5, 1), "Erro: b.nc<=0", "");
  EXPECT_ERRO(RANSAC(a, a, g, o, e, 0.5, 4, 4, 0, 1), "Erro VETOR::operator() - Indice invalido",
              "");
  for (double frac : {0.0, 0.005, 1.1, -1.0, 1e300, std::numeric_limits<double>::quiet_NaN()})
    EXPECT_ERRO(RANSAC(a, a, g, o, e, frac, 8, 8, 5, 1), "Erro: deveria ter l<=k<=r", "");
}

}  // namespace
