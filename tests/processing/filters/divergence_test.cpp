#include "processing/filters/divergence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "foundation/normal.h"
#include "support/conv_fixtures.h"
#include "support/test_support.h"

using namespace convtest;

namespace {

const double kLobe = 0.39894228;

TEST(DivergenceKernel, TapsSizeAndLobe) {
  const struct {
    double sigma;
    int n;
  } cases[] = {{0.3335, 3}, {0.39, 3}, {0.5, 5}, {0.6, 7}, {1.0, 11}, {2.0, 21}};
  for (const auto& t : cases) {
    SCOPED_TRACE(t.sigma);
    const VETOR<double> d = DivergenteD::normal1(t.sigma), f = DivergenteF::normal1(t.sigma);
    ASSERT_EQ(d.n(), t.n);
    ASSERT_EQ(f.n(), t.n);
    const int r = t.n / 2;
    const double scale = d.data[0] / dxnormal(-r, t.sigma);
    double left = 0;
    for (int i = 0; i < t.n; i++) {
      EXPECT_EQ(d.data[i], f.data[i]);
      EXPECT_EQ(d.data[i], -d.data[t.n - 1 - i]);
      EXPECT_NEAR(d.data[i], scale * dxnormal(i - r, t.sigma), 1e-15);
      if (i < r) {
        EXPECT_GT(d.data[i], 0);
        left += d.data[i];
      }
    }
    EXPECT_EQ(d.data[r], 0.0);
    EXPECT_NEAR(left, kLobe, 1e-15);
  }
  const VETOR<double> three = DivergenteD::normal1(0.35);
  EXPECT_NEAR(three.data[0], kLobe, 1e-16);
  EXPECT_NEAR(three.data[2], -kLobe, 1e-16);
}

TEST(DivergenceKernel, Rescaling) {
  VETOR<double> v(5);
  for (int i = 0; i < 5; i++) v.data[i] = i + 1;
  VETOR<double> w = v;
  DivergenteD::normalize1(v);
  DivergenteF::normalize1(w);
  for (int i = 0; i < 5; i++) {
    EXPECT_EQ(v.data[i], (i + 1) * (kLobe / 3.0));
    EXPECT_EQ(w.data[i], v.data[i]);
  }
  // Fewer than two elements: no left half, nothing to scale by.
  VETOR<double> one(1, 2.5), none(0);
  DivergenteD::normalize1(one);
  DivergenteF::normalize1(none);
  EXPECT_EQ(one.data[0], 2.5);
  EXPECT_EQ(none.n(), 0);
}

TEST(DivergenceKernel, SigmaTooSmallIsFatal) {
  for (double s : {0.3334, 0.0, -1.0, double(NAN)}) {
    EXPECT_ERRO(DivergenteD::normal1(s), "Erro normal1: desvio muito pequeno", "");
    EXPECT_ERRO(DivergenteF::normal1(s), "Erro normal1: desvio muito pequeno", "");
  }
  EXPECT_ERRO(divergente(IMGFLT(2, 2), IMGFLT(2, 2), 0.2), "Erro normal1: desvio muito pequeno",
              "");
  EXPECT_ERRO(DivergenteD::normal1(1e300), "Erro VETOR::aloca - Falta memoria", "");
}

TEST(Divergence, SizeMismatchComesFirst) {
  const char msg[] = "Erro Divergente: entx e enty tem dimensoes diferentes";
  EXPECT_ERRO(divergente(IMGDBL(2, 3), IMGDBL(3, 2), 0.1), msg, "");
  EXPECT_ERRO(divergente(IMGFLT(2, 3), IMGFLT(2, 4), 1.0), msg, "");
}

// dx - dy from the clamped, mirrored 1-D passes, each summed in tap order and stored in the
// pixel type.
template <class Img>
Img naive(const Img& ex, const Img& ey, double sigma) {
  using P = typename Img::Pixel;
  const VETOR<double> k = DivergenteD::normal1(sigma);
  const int r = k.n() / 2, nl = ex.nl(), nc = ex.nc();
  Img out(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) {
      double sx = 0, sy = 0;
      for (int i = 0; i < k.n(); i++)
        sx += k.data[i] * ex.rows[l][std::clamp(c + r - i, 0, nc - 1)];
      for (int i = 0; i < k.n(); i++)
        sy += k.data[i] * ey.rows[std::clamp(l + r - i, 0, nl - 1)][c];
      out.rows[l][c] = static_cast<P>(double(static_cast<P>(sx)) - double(static_cast<P>(sy)));
    }
  return out;
}

template <class Img>
void check_against_naive() {
  for (const Size& z : sizes())
    for (double sigma : {0.4, 1.0}) {
      SCOPED_TRACE(testing::Message() << z.nl << "x" << z.nc << " sigma " << sigma);
      const Img ex = sample<Img>(z.nl, z.nc, 1, 3.0, 0, 0), ey = sample<Img>(z.nl, z.nc, 2, 5.0);
      const Img d = divergente(ex, ey, sigma);
      expect_fresh(d);
      EXPECT_TRUE(same_pixels(d, naive(ex, ey, sigma)));
    }
}

TEST(Divergence, DoubleMatchesNaiveClampedPasses) { check_against_naive<IMGDBL>(); }
TEST(Divergence, FloatMatchesNaiveClampedPasses) { check_against_naive<IMGFLT>(); }

TEST(Divergence, RampsAndConstantFields) {
  const struct { double sigma, want; } cases[] = {{0.35, 2 * kLobe}, {1.0, 1.0966}, {2.0, 2.0431}};
  for (const auto& t : cases) {
    SCOPED_TRACE(t.sigma);
    const int r = int(5 * t.sigma), n = 2 * r + 5;
    const IMGDBL zero(n, n, 0.0);
    const IMGDBL across = image<IMGDBL>(n, n, [](int, int c) { return c; });
    const IMGDBL down = image<IMGDBL>(n, n, [](int l, int) { return l; });
    const IMGFLT across_f = image<IMGFLT>(n, n, [](int, int c) { return c; });
    const IMGDBL dx = divergente(across, zero, t.sigma), dy = divergente(zero, down, t.sigma);
    const IMGFLT fx = divergente(across_f, IMGFLT(n, n, 0.0f), t.sigma);
    for (int i = 0; i < n; i++)
      for (int j = r; j < n - r; j++) {
        EXPECT_NEAR(dx.rows[i][j], t.want, 5e-5);
        EXPECT_NEAR(fx.rows[i][j], t.want, 5e-5);
        EXPECT_NEAR(dy.rows[j][i], -t.want, 5e-5);  // y counts upward
      }
    const IMGDBL k = divergente(IMGDBL(n, n, 2.5), IMGDBL(n, n, -4.0), t.sigma);
    for (int i = 0; i < k.n(); i++) EXPECT_NEAR(k.data[i], 0, 1e-12);
  }
}

TEST(Divergence, EmptyFields) {
  EXPECT_EQ(divergente(IMGDBL(), IMGDBL(), 1.0).n(), 0);
  EXPECT_EQ(divergente(IMGFLT(), IMGFLT(), 1.0).n(), 0);
}

}  // namespace
