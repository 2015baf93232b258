#include "drawing/geometry.h"

#include <cmath>

#include "support/test_support.h"

namespace {

const double pi = 3.141592653589793;

TEST(Tsh, IntegerTurns) {
  const PONTOI2 a(0, 0), b(1, 0), c(0, 1);
  EXPECT_EQ(tsh(a, b, c), 1);
  EXPECT_EQ(tsh(a, c, b), -1);
  EXPECT_EQ(tsh(a, b, PONTOI2(3, 0)), 0);
  // Products beyond 32 bits keep their sign.
  EXPECT_EQ(tsh(PONTOI2(-60000, -60000), PONTOI2(60000, -60000), PONTOI2(-60000, 60000)), 1);
}

TEST(Tsh, FloatingDeadBand) {
  const PONTO2 a(0, 0), b(1, 0);
  EXPECT_EQ(tsh(a, b, PONTO2(0, 1)), 1);
  EXPECT_EQ(tsh(a, PONTO2(0, 1), b), -1);
  EXPECT_EQ(tsh(a, b, PONTO2(5, 1e-21)), 0);
  EXPECT_EQ(tsh(a, b, PONTO2(5, -1e-21)), 0);
  EXPECT_EQ(tsh(a, b, PONTO2(5, 1e-19)), 1);
  EXPECT_EQ(tsh(a, b, PONTO2(5, -1e-19)), -1);
}

TEST(Cruza, Cases) {
  struct Case {
    PONTOI2 p1, p2, p3, p4;
    int want;
  };
  const Case cases[] = {
      {{0, 0}, {4, 4}, {0, 4}, {4, 0}, 1},   // X
      {{0, 0}, {4, 0}, {0, 2}, {4, 2}, 0},   // parallel, apart
      {{0, 0}, {1, 1}, {5, 0}, {0, 5}, 0},   // apart, not parallel
      {{0, 0}, {4, 0}, {2, 0}, {2, 3}, -1},  // T-junction
      {{0, 0}, {4, 0}, {4, 0}, {4, 3}, -1},  // shared endpoint
      {{0, 0}, {4, 0}, {2, 0}, {6, 0}, -1},  // collinear overlap
      {{0, 0}, {4, 0}, {6, 0}, {6, 3}, -1},  // endpoint on the extension
  };
  for (const Case& k : cases) {
    EXPECT_EQ(cruza(k.p1, k.p2, k.p3, k.p4), k.want) << k.p1 << k.p2 << " x " << k.p3 << k.p4;
    EXPECT_EQ(cruza(k.p3, k.p4, k.p1, k.p2), k.want);
  }
}

TEST(PseudoAngles, Table) {
  struct Case {
    double x, y, l1, oct;
  };
  const Case cases[] = {
      {1, 0, 0, 0},         {1, 1, 0.5, 1},
      {0, 1, 1, 2},         {-1, 1, 1.5, 3},
      {-1, 0, 2, 4},        {-1, -1, 2.5, 5},
      {0, -1, 3, 6},        {1, -1, 3.5, 7},
      {0.5, -0.5, 3.5, 7},  {1, -0.5, 3 + 2.0 / 3, 7.5},
      {2, 1, 1.0 / 3, 0.5},
  };
  for (const Case& k : cases) {
    EXPECT_DOUBLE_EQ(pseudoangl1(PONTO2(k.x, k.y)), k.l1) << k.x << " " << k.y;
    EXPECT_DOUBLE_EQ(pseudoangulo(PONTO2(k.x, k.y)), k.oct) << k.x << " " << k.y;
  }
  EXPECT_EQ(pseudoangl1(PONTO2(0, 0)), 0);
  EXPECT_DOUBLE_EQ(pseudoangulo(PONTO2(1e-21, 1e-19)), 2 - 0.01);
}

TEST(PseudoAngles, MonotoneWithTheAngle) {
  double prev1 = -1, prev8 = -1;
  for (int k = 0; k < 360; k++) {
    const double a = k * pi / 180 + 0.001;
    const PONTO2 p(std::cos(a), std::sin(a));
    const double v1 = pseudoangl1(p), v8 = pseudoangulo(p);
    EXPECT_GT(v1, prev1) << k;
    EXPECT_GT(v8, prev8) << k;
    EXPECT_LT(v1, 4);
    EXPECT_LT(v8, 8);
    prev1 = v1;
    prev8 = v8;
  }
}

TEST(PseudoAnglesDeath, NullVector) {
  EXPECT_ERRO(pseudoangulo(PONTO2(0, 0)), "Erro: Vetor nulo", "");
  EXPECT_ERRO(pseudoangulo(PONTO2(1e-21, -1e-21)), "Erro: Vetor nulo", "");
}

TEST(Arg, Quadrants) {
  EXPECT_EQ(arg(1, 0), 0);
  EXPECT_DOUBLE_EQ(arg(0, 1), pi / 2);
  EXPECT_DOUBLE_EQ(arg(-1, 0), pi);
  EXPECT_DOUBLE_EQ(arg(-1, -0.0), pi);
  EXPECT_DOUBLE_EQ(arg(0, -1), 3 * pi / 2);
  EXPECT_DOUBLE_EQ(arg(1, -1), 7 * pi / 4);
}

void expect_near(PONTO3 a, PONTO3 b) {
  EXPECT_NEAR(a.x, b.x, 1e-12);
  EXPECT_NEAR(a.y, b.y, 1e-12);
  EXPECT_NEAR(a.z, b.z, 1e-12);
}

TEST(Spherical, PolarAxisPoints) {
  expect_near(ret2esf(PONTO3(0, 0, 5)), PONTO3(5, 0, 0));
  expect_near(ret2esf(PONTO3(0, 0, -2)), PONTO3(2, 0, pi));
  expect_near(ret2esf(PONTO3(0, 0, 0)), PONTO3(0, 0, 0));
  expect_near(ret2esfx(PONTO3(3, 0, 0)), PONTO3(3, 0, 0));
  expect_near(ret2esfy(PONTO3(0, -3, 0)), PONTO3(3, 0, pi));
  // Azimuth origin and direction of each axis: (r, pi/2, pi/2).
  expect_near(esf2ret(PONTO3(2, pi / 2, pi / 2)), PONTO3(0, 2, 0));
  expect_near(esfx2ret(PONTO3(2, pi / 2, pi / 2)), PONTO3(0, 0, 2));
  expect_near(esfy2ret(PONTO3(2, pi / 2, pi / 2)), PONTO3(2, 0, 0));
  expect_near(esfx2ret(PONTO3(2, 0, pi / 2)), PONTO3(0, 2, 0));
  expect_near(esfy2ret(PONTO3(2, 0, pi / 2)), PONTO3(0, 0, 2));
}

TEST(Spherical, RoundTrips) {
  const PONTO3 pts[] = {{1, 2, 3}, {-1, 0.5, -2}, {0.3, -4, 0.1}, {-2, -2, 7}};
  for (const PONTO3& p : pts) {
    expect_near(esf2ret(ret2esf(p)), p);
    expect_near(esfz2ret(ret2esfz(p)), p);
    expect_near(esfx2ret(ret2esfx(p)), p);
    expect_near(esfy2ret(ret2esfy(p)), p);
    const PONTO3 s = ret2esf(p);
    EXPECT_GE(s.y, 0);
    EXPECT_LT(s.y, 2 * pi);
    EXPECT_GE(s.z, 0);
    EXPECT_LE(s.z, pi);
  }
}

TEST(Spherical, FourDimensions) {
  const PONTO4 a = ret2esf(PONTO4(1, 1, 1, 1));
  EXPECT_DOUBLE_EQ(a.x, 2);
  EXPECT_DOUBLE_EQ(a.y, pi / 4);
  EXPECT_DOUBLE_EQ(a.z, std::acos(0.5));
  EXPECT_DOUBLE_EQ(a.w, std::acos(0.5));
  const PONTO4 z = ret2esf(PONTO4(0, 0, 0, 0));
  EXPECT_EQ(z.x, 0);
  EXPECT_EQ(z.w, 0);

  const PONTO4 b = ret2esfl1(PONTO4(1, 1, 1, 1));
  EXPECT_DOUBLE_EQ(b.x, 4);
  EXPECT_DOUBLE_EQ(b.y, 0.5);
  EXPECT_DOUBLE_EQ(b.z, 0.75);
  EXPECT_DOUBLE_EQ(b.w, 0.75);
  const PONTO4 c = ret2esfl1(PONTO4(0, 0, 3, 0));
  EXPECT_EQ(c.x, 3);
  EXPECT_EQ(c.y, 0);
  EXPECT_EQ(c.z, 0);
  EXPECT_EQ(c.w, 1);
  const PONTO4 d = ret2esfl1(PONTO4(0, 0, 0, 0));
  EXPECT_EQ(d.x, 0);
  EXPECT_EQ(d.z, 0);
}

}  // namespace
