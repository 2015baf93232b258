#include <cmath>
#include <cstdio>

#include "numerics/fuzzy.h"
#include "support/test_support.h"

namespace {

double val(CONFID c) { return static_cast<double>(c); }

TEST(Fuzzy, MembershipOfATrapezoid) {
  struct Case {
    FFN f;
    double x, want;
  };
  const Case cases[] = {
      {FFN(0, 1, 2, 3), 0.5, 0.5}, {FFN(0, 1, 2, 3), 1, 1},     {FFN(0, 1, 2, 3), 2, 1},
      {FFN(0, 1, 2, 3), 2.5, 0.5}, {FFN(0, 1, 2, 3), -1, 0},    {FFN(0, 1, 2, 3), 4, 0},
      {FFN(0, 1, 2, 3), 0, 0},     {FFN(0, 1, 2, 3), 3, 0},     {FFN(0, 4, 4, 8), 1, 0.25},
      {FFN(0, 4, 4, 8), 7, 0.25},  {FFN(1, 1, 2, 2), 1, 1},     {FFN(1, 1, 2, 2), 2, 1},
      {FFN(1, 1, 2, 2), 0.999, 0}, {FFN(1, 1, 2, 2), 2.001, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(val(is(c.x, c.f)), c.want) << "x=" << c.x;
    EXPECT_EQ(val(c.x == c.f), c.want) << "x=" << c.x;
  }
  // The rising edge is formed as 1 - (m1 - x) / (m1 - m0).
  EXPECT_EQ(val(is(0.1, FFN(0, 0.3, 1, 2))), 1.0 - (0.3 - 0.1) / 0.3);
  EXPECT_EQ(val(is(1.7, FFN(0, 0.3, 1, 2))), 1.0 - (1.7 - 1.0) / 1.0);
}

TEST(Fuzzy, Connectives) {
  EXPECT_EQ(val(CONFID(0.6) + CONFID(0.7)), 1.0);
  EXPECT_EQ(val(CONFID(0.2) + 0.3), 0.5);
  EXPECT_EQ(val(!CONFID(0.25)), 0.75);
  EXPECT_EQ(val(CONFID(0.3) && CONFID(0.8)), 0.3);
  EXPECT_EQ(val(CONFID(0.8) && CONFID(0.3)), 0.3);
  EXPECT_EQ(val(CONFID(0.3) || CONFID(0.8)), 0.8);
  EXPECT_EQ(val(CONFID(0.8) || CONFID(0.3)), 0.8);
  EXPECT_EQ(val(CONFID(0.5) * CONFID(0.25)), 0.125);
  // Values outside 0..1 pass through unchanged.
  EXPECT_EQ(val(CONFID(-0.5) + CONFID(0.25)), -0.25);
  EXPECT_EQ(val(!CONFID(1.5)), -0.5);
}

TEST(Fuzzy, TruthValuesReadAsNumbersAndMixWithThem) {
  double d = is(0.5, FFN(0, 1, 2, 3));
  EXPECT_EQ(d, 0.5);
  EXPECT_DOUBLE_EQ(0.5 == FFN(0, 1, 2, 3), 0.5);
  EXPECT_EQ(val(0.2 + CONFID(0.3)), 0.5);
  EXPECT_EQ(val(CONFID(0.3) && 0.8), 0.3);
  EXPECT_EQ(val(1 || CONFID(0.3)), 1.0);
  EXPECT_EQ(val(2 * CONFID(0.25)), 0.5);
  EXPECT_TRUE(CONFID(0.3) < 0.5);
  OUTVAR o{4, 2};
  fif(1, 2, o, 8);
  EXPECT_EQ(o.v, 6);
  EXPECT_EQ(o.w, 4);
}

TEST(Fuzzy, Hedges) {
  EXPECT_EQ(val(very(CONFID(0.5), 2)), 0.25);
  EXPECT_EQ(val(moreorless(CONFID(0.25), 2)), 0.5);
  EXPECT_EQ(val(intensified(CONFID(0.5), 2)), 0.5);
  EXPECT_EQ(val(attenuated(CONFID(0.25), 2)), std::pow(2.0, -0.5) * 0.5);
  EXPECT_NEAR(val(attenuated(CONFID(0.25), 2)), 0.35355, 1e-5);
  EXPECT_TRUE(std::isnan(val(very(CONFID(-0.5), 0.5))));
}

TEST(Fuzzy, FuzzyNumberShapes) {
  FFN f(1, 2, 4, 8);
  FFN d = dark(f, 0.5), l = light(f, 0.5), v = very(f);
  EXPECT_EQ(d.m0, 0.5);
  EXPECT_EQ(d.m1, 1.5);
  EXPECT_EQ(d.m2, 3.5);
  EXPECT_EQ(d.m3, 7.5);
  EXPECT_EQ(l.m0, 1.5);
  EXPECT_EQ(l.m1, 2.5);
  EXPECT_EQ(l.m2, 4.5);
  EXPECT_EQ(l.m3, 8.5);
  EXPECT_EQ(v.m0, 1.5);
  EXPECT_EQ(v.m1, 2.0);
  EXPECT_EQ(v.m2, 4.0);
  EXPECT_EQ(v.m3, 6.0);
  EXPECT_EQ(cg(f), 3.0);
}

TEST(Fuzzy, RulesAccumulateAWeightedMean) {
  OUTVAR o;
  o.v = 99;
  o.w = 99;
  reset(o);
  EXPECT_EQ(o.v, 0.0);
  EXPECT_EQ(o.w, 0.0);
  fif(1, 1, o, 10);
  EXPECT_EQ(o.v, 10.0);
  fif(1, 3, o, 20);
  EXPECT_EQ(o.v, 17.5);
  EXPECT_EQ(o.w, 4.0);
  // Weights below 1e-20 are ignored; exactly 1e-20 counts.
  fif(0, 1, o, 5);
  fif(CONFID(0.5), 1.9e-20, o, 5);
  EXPECT_EQ(o.v, 17.5);
  EXPECT_EQ(o.w, 4.0);
  OUTVAR p;
  fif(1, 1e-20, p, 5);
  EXPECT_EQ(p.v, 5.0);
  EXPECT_EQ(p.w, 1e-20);

  OUTVAR q;
  fif(CONFID(0.5), 2, q, FFN(0, 2, 4, 6));
  EXPECT_EQ(q.v, 3.0);
  EXPECT_EQ(q.w, 1.0);
}

TEST(Fuzzy, IfElseInEveryCombination) {
  const FFN zero(-1, 0, 0, 1), eight(6, 7, 9, 10);
  for (int k = 0; k < 4; k++) {
    OUTVAR o;
    reset(o);
    switch (k) {
      case 0:
        fifelse(0.25, 2, o, 0.0, 8.0);
        break;
      case 1:
        fifelse(0.25, 2, o, 0.0, eight);
        break;
      case 2:
        fifelse(0.25, 2, o, zero, 8.0);
        break;
      case 3:
        fifelse(0.25, 2, o, zero, eight);
        break;
    }
    EXPECT_EQ(o.w, 2.0) << k;
    EXPECT_EQ(o.v, 6.0) << k;
  }
  // A certain condition leaves the else branch without weight.
  OUTVAR o;
  fifelse(1, 2, o, 3.0, 100.0);
  EXPECT_EQ(o.v, 3.0);
  EXPECT_EQ(o.w, 2.0);
}

TEST(Fuzzy, ShowPrintsOneLineEach) {
  testing::internal::CaptureStdout();
  show(FFN(0, 1.5, 2, -3));
  show(CONFID(0.25));
  OUTVAR o;
  o.v = 17.5;
  o.w = 4;
  show(o);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "FFN m0= 0.000e+00 m1= 1.500e+00 m2= 2.000e+00 m3=-3.000e+00\n"
            "CONFID 0.250000\n"
            "OUTVAR v= 1.750e+01 w= 4.000e+00\n");
}

}  // namespace
