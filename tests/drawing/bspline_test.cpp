#include "drawing/bspline.h"

#include <initializer_list>

#include "support/test_support.h"

namespace {

VETOR<PONTO2> pontos(std::initializer_list<PONTO2> l) {
  VETOR<PONTO2> v(static_cast<int>(l.size()));
  int i = 0;
  for (const PONTO2& p : l) v(i++) = p;
  return v;
}

void expect_pt(PONTO2 got, double x, double y) {
  EXPECT_NEAR(got.x, x, 1e-12);
  EXPECT_NEAR(got.y, y, 1e-12);
}

TEST(Kernels, Values) {
  struct Case {
    double x, l, l1, l2;
  };
  const Case cases[] = {
      {0, 2.0 / 3, 0, -2},
      {1, 1.0 / 6, -0.5, 1},
      {-1, 1.0 / 6, 0.5, 1},
      {2, 0, 0, 0},
      {-2, 0, 0, 0},
      {0.5, 23.0 / 48, -0.625, -0.5},
      {-0.5, 23.0 / 48, 0.625, -0.5},
      {1.5, 1.0 / 48, -0.125, 0.5},
      {-1.5, 1.0 / 48, 0.125, 0.5},
      {3, 0, 0, 0},
      {-7, 0, 0, 0},
  };
  for (const Case& k : cases) {
    EXPECT_DOUBLE_EQ(L(k.x), k.l) << k.x;
    EXPECT_DOUBLE_EQ(L1(k.x), k.l1) << k.x;
    EXPECT_DOUBLE_EQ(L2(k.x), k.l2) << k.x;
    EXPECT_EQ(Lg(k.x, 3), L(k.x));
  }
  EXPECT_DOUBLE_EQ(Lg(0.5, 2), 0.5);
  EXPECT_DOUBLE_EQ(Lg(-0.5, 2), 0.5);
  EXPECT_DOUBLE_EQ(Lg(0, 2), 0.75);
  EXPECT_DOUBLE_EQ(Lg(1, 2), 0.125);
  EXPECT_EQ(Lg(1.5, 2), 0);
  EXPECT_DOUBLE_EQ(Lg(0.25, 1), 0.75);
  EXPECT_EQ(Lg(1, 1), 0);
  EXPECT_EQ(Lg(0, 1), 1);
}

TEST(Kernels, PartitionOfUnity) {
  for (double f = 0; f < 1; f += 0.125)
    for (int grau = 1; grau <= 3; grau++) {
      double s = 0;
      for (int i = -3; i <= 3; i++) s += Lg(f - i, grau);
      EXPECT_NEAR(s, 1, 1e-15) << f << " " << grau;
    }
}

TEST(BSpline, CollinearEquallySpaced) {
  const VETOR<PONTO2> v = pontos({{0, 0}, {1, 0}, {2, 0}, {3, 0}});
  const double ts[] = {0, 0.5, 1};
  const double xs[] = {1, 1.5, 2};
  for (int k = 0; k < 3; k++) {
    expect_pt(bspline(v, ts[k], 'n'), xs[k], 0);
    expect_pt(bspline1(v, ts[k], 'n'), 1, 0);
    expect_pt(bspline2(v, ts[k], 'n'), 0, 0);
    expect_pt(bsplineg(v, ts[k], 3, 'n'), xs[k], 0);
  }
}

TEST(BSpline, EndsAndModes) {
  const VETOR<PONTO2> v = pontos({{0, 0}, {2, 5}, {3, -1}, {7, 2}, {4, 4}, {1, 9}});
  const int n = 6;
  const PONTO2 a = v(n - 3), b = v(n - 2), c = v(n - 1);
  const double ex = (a.x + 4 * b.x + c.x) / 6, ey = (a.y + 4 * b.y + c.y) / 6;
  expect_pt(bspline(v, 1, 'n'), ex, ey);
  expect_pt(bspline(v, 7.3, 'n'), ex, ey);
  expect_pt(bspline(v, 0, 'n'), (v(0).x + 4 * v(1).x + v(2).x) / 6,
            (v(0).y + 4 * v(1).y + v(2).y) / 6);
  expect_pt(bspline(v, -2, 'n'), (v(0).x + 4 * v(1).x + v(2).x) / 6,
            (v(0).y + 4 * v(1).y + v(2).y) / 6);
  expect_pt(bspline1(v, 1, 'n'), 3 * (c.x - a.x) / 2, 3 * (c.y - a.y) / 2);
  expect_pt(bspline2(v, 1, 'n'), 9 * (a.x - 2 * b.x + c.x), 9 * (a.y - 2 * b.y + c.y));
  // Degree 2 ends.
  expect_pt(bsplineg(v, 0, 2, 'n'), (v(0).x + 6 * v(1).x + v(2).x) / 8,
            (v(0).y + 6 * v(1).y + v(2).y) / 8);
  expect_pt(bsplineg(v, 1, 2, 'n'), (a.x + 6 * b.x + c.x) / 8, (a.y + 6 * b.y + c.y) / 8);

  const PONTO2 p = bspline(v, 0.25, 'n');
  expect_pt(bspline(v, 1.25, 'r'), p.x, p.y);
  const PONTO2 q = bspline(v, 0.75, 'n');
  expect_pt(bspline(v, -0.25, 'r'), q.x, q.y);
  const PONTO2 s = bspline(v, 0, 'n');
  expect_pt(bspline(v, 1, 'r'), s.x, s.y);
  const PONTO2 d = bspline1(v, 0.75, 'n');
  expect_pt(bspline1(v, -0.25, 'r'), d.x, d.y);
}

TEST(BSpline, DerivativesMatchDifferences) {
  const VETOR<PONTO2> v = pontos({{0, 0}, {2, 5}, {3, -1}, {7, 2}, {4, 4}, {1, 9}});
  const double h = 1e-5;
  for (double t = 0.1; t < 0.95; t += 0.2) {
    const PONTO2 p0 = bspline(v, t - h, 'n'), p1 = bspline(v, t + h, 'n');
    const PONTO2 d = bspline1(v, t, 'n');
    EXPECT_NEAR(d.x, (p1.x - p0.x) / (2 * h), 1e-5) << t;
    EXPECT_NEAR(d.y, (p1.y - p0.y) / (2 * h), 1e-5) << t;
    const PONTO2 e0 = bspline1(v, t - h, 'n'), e1 = bspline1(v, t + h, 'n');
    const PONTO2 d2 = bspline2(v, t, 'n');
    EXPECT_NEAR(d2.x, (e1.x - e0.x) / (2 * h), 1e-4) << t;
    EXPECT_NEAR(d2.y, (e1.y - e0.y) / (2 * h), 1e-4) << t;
  }
}

TEST(BSpline, DegreeOnePolyline) {
  const VETOR<PONTO2> v = pontos({{0, 0}, {4, 2}, {6, -2}});
  expect_pt(bsplineg(v, 1, 1, 'n'), 6, -2);
  expect_pt(bsplineg(v, 0, 1, 'n'), 0, 0);
  expect_pt(bsplineg(v, 0.5, 1, 'n'), 4, 2);
  expect_pt(bsplineg(v, 0.25, 1, 'n'), 2, 1);
  expect_pt(bsplineg(pontos({{1, 1}, {3, 5}}), 0.75, 1, 'n'), 2.5, 4);
}

TEST(BSplineDeath, Errors) {
  const VETOR<PONTO2> v4 = pontos({{0, 0}, {1, 0}, {2, 0}, {3, 0}});
  const VETOR<PONTO2> v3 = pontos({{0, 0}, {1, 0}, {2, 0}});
  const VETOR<PONTO2> vazio;
  EXPECT_ERRO(Lg(0.5, 4), "Erro: bs grau deve ser 1, 2 ou 3", "");
  EXPECT_ERRO(bsplineg(v4, 0.5, 0, 'n'), "Erro: bs grau deve ser 1, 2 ou 3", "");
  EXPECT_ERRO(bspline(vazio, 0.5, 'x'), "Erro: modo invalido", "");
  EXPECT_ERRO(bspline1(v4, 0.5, 'N'), "Erro: modo invalido", "");
  EXPECT_ERRO(bspline2(v4, 0.5, 'c'), "Erro: modo invalido", "");
  // The mode is checked before the degree.
  EXPECT_ERRO(bsplineg(v4, 0.5, 7, 'x'), "Erro: modo invalido", "");
  EXPECT_ERRO(bspline(v3, 0.5, 'n'), "Erro VETOR::operator() - Indice invalido", "");
  EXPECT_ERRO(bsplineg(v3, 0.2, 2, 'n'), "Erro VETOR::operator() - Indice invalido", "");
  EXPECT_ERRO(bsplineg(pontos({{1, 1}}), 0.5, 1, 'n'), "Erro VETOR::operator() - Indice invalido",
              "");
}

TEST(Derivadas, ClosedSquare) {
  const VETOR<PONTO2> q = pontos({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  const VETOR<PONTO2> d1 = derivada1(q), d2 = derivada2(q);
  ASSERT_EQ(d1.n(), 4);
  ASSERT_EQ(d2.n(), 4);
  const double w1[4][2] = {{0.5, -0.5}, {0.5, 0.5}, {-0.5, 0.5}, {-0.5, -0.5}};
  const double w2[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
  for (int i = 0; i < 4; i++) {
    expect_pt(d1(i), w1[i][0], w1[i][1]);
    expect_pt(d2(i), w2[i][0], w2[i][1]);
  }
  EXPECT_EQ(q(2).x, 1);  // the input is untouched

  const VETOR<PONTO2> um = pontos({{3, 4}});
  expect_pt(derivada1(um)(0), 0, 0);
  expect_pt(derivada2(um)(0), 0, 0);
  EXPECT_EQ(derivada1(VETOR<PONTO2>()).n(), 0);
  EXPECT_EQ(derivada2(VETOR<PONTO2>()).n(), 0);
}

}  // namespace
