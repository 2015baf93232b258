// Pointwise operators: each whole-image result equals the scalar rule at every pixel, with
// the outside value and centre of the stated result form.
#include <climits>
#include <cmath>
#include <complex>
#include <functional>
#include <limits>
#include <string>

#include "processing/algebra/pointwise.h"
#include "processing/algebra/pointwise_fixtures.h"
#include "support/test_support.h"

namespace {

using pwtest::image;
using pwtest::same;
using Complex = std::complex<float>;

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Checks r(l, c) == rule(a(l, c)) at every pixel and for the outside value.
template <class Img, class Rule>
void expect_mapped(const Img& r, const Img& a, Rule rule) {
  ASSERT_EQ(r.nl(), a.nl());
  ASSERT_EQ(r.nc(), a.nc());
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++)
      EXPECT_TRUE(same(r.rows[l][c], rule(a.rows[l][c]))) << "pixel " << l << "," << c;
  EXPECT_TRUE(same(r.backg, rule(a.backg))) << "outside value";
}

template <class Img>
void expect_default_centre(const Img& r) {
  EXPECT_EQ(r.lc, (r.nl() - 1) / 2);
  EXPECT_EQ(r.cc, (r.nc() - 1) / 2);
}

// A 3 x 5 grey image with 0 and 200 among its pixels and a moved centre.
IMGGRY grey_sample() {
  IMGGRY a = image<IMGGRY>(3, 5, [](int l, int c) { return (unsigned char)(l * 97 + c * 23 + 1); });
  a.rows[0][0] = 0;
  a.rows[1][1] = 200;
  a.rows[2][4] = 255;
  a.backg = 30;
  a.lc = 0;
  a.cc = 4;
  return a;
}

// Values that stress the rules: zeros of both signs, a NaN, infinities, tiny and large.
template <class T>
T real_value(int l, int c) {
  const T table[] = {T(0.25), T(0),    -T(0),  T(-3.5),  T(1e-30), T(kInf),   -T(kInf), T(kNaN),
                     T(7.1),  T(1e30), T(0.1), T(-0.75), T(255),   T(2.5e-3), T(1)};
  return table[(l * 5 + c) % 15];
}

template <class Img>
Img real_sample() {
  using T = typename Img::Pixel;
  Img a = image<Img>(3, 5, real_value<T>);
  a.backg = T(0.5);
  a.lc = 2;
  a.cc = 0;
  return a;
}

// ---- complement, negation, reflection

TEST(PointwiseUnary, GreyComplement) {
  const IMGGRY a = grey_sample();
  const auto rule = [](unsigned char p) { return (unsigned char)(255 - p); };
  for (const IMGGRY& r : {-a, !a}) {
    expect_mapped(r, a, rule);
    expect_default_centre(r);
    EXPECT_EQ(r(0, 0), 255);
    EXPECT_EQ(r(1, 1), 55);
    EXPECT_EQ(r.backg, 225);
  }
}

template <class Img>
class RealUnary : public ::testing::Test {};
using RealTypes = ::testing::Types<IMGFLT, IMGDBL>;
TYPED_TEST_SUITE(RealUnary, RealTypes);

TYPED_TEST(RealUnary, NegationAndOneMinus) {
  using T = typename TypeParam::Pixel;
  const TypeParam a = real_sample<TypeParam>();
  const TypeParam neg = -a, inv = !a;
  expect_mapped(neg, a, [](T p) { return -p; });
  expect_mapped(inv, a, [](T p) { return static_cast<T>(1.0 - static_cast<double>(p)); });
  expect_default_centre(neg);
  expect_default_centre(inv);
  EXPECT_TRUE(same(neg(0, 1), -T(0)));  // 0.0 turns into -0.0
  EXPECT_TRUE(same(inv(0, 0), T(0.75)));
  EXPECT_TRUE(same(neg.backg, T(-0.5)));
  EXPECT_TRUE(same(inv.backg, T(0.5)));
}

TEST(PointwiseUnary, BinaryComplementKeepsCentre) {
  for (int nc : pwtest::kBinWidths) {
    SCOPED_TRACE(nc);
    IMGBIN a = pwtest::pattern(3, nc, nc);
    pwtest::soil_spare_bits(a);
    a.lc = 2;
    a.cc = nc - 1;
    a.backg = 1;
    for (const IMGBIN& r : {-a, !a}) {
      ASSERT_EQ(r.nc(), nc);
      for (int l = 0; l < 3; l++)
        for (int c = 0; c < nc; c++) ASSERT_EQ(r(l, c), !a(l, c)) << l << "," << c;
      EXPECT_TRUE(pwtest::spare_bits_clear(r));
      EXPECT_EQ(r.lc, 2);
      EXPECT_EQ(r.cc, nc - 1);
      EXPECT_EQ(r.backg & 1u, 0u);
    }
  }
  IMGBIN empty;
  empty.lc = 3;
  empty.cc = -4;
  empty.backg = 0;
  const IMGBIN r = !empty;
  EXPECT_EQ(r.nl(), 0);
  EXPECT_EQ(r.lc, 3);
  EXPECT_EQ(r.cc, -4);
  EXPECT_EQ(r.backg & 1u, 1u);
}

template <class Img>
class Reflection : public ::testing::Test {};
using ReflectTypes = ::testing::Types<IMGGRY, IMGFLT>;
TYPED_TEST_SUITE(Reflection, ReflectTypes);

TYPED_TEST(Reflection, TurnsByHalfAndMirrorsCentre) {
  using T = typename TypeParam::Pixel;
  const struct {
    int nl, nc, lc, cc;
  } cases[] = {{2, 3, 0, 0}, {3, 4, 1, 3}, {1, 5, 0, 1}, {4, 1, 2, 0}, {2, 2, -3, 7}};
  for (const auto& k : cases) {
    TypeParam a = image<TypeParam>(k.nl, k.nc, [](int l, int c) { return T(l * 10 + c + 1); });
    a.lc = k.lc;
    a.cc = k.cc;
    a.backg = T(9);
    const TypeParam r = ~a;
    ASSERT_EQ(r.nl(), k.nl);
    ASSERT_EQ(r.nc(), k.nc);
    for (int l = 0; l < k.nl; l++)
      for (int c = 0; c < k.nc; c++) EXPECT_EQ(r(l, c), a(k.nl - 1 - l, k.nc - 1 - c));
    EXPECT_EQ(r.lc, k.nl - 1 - k.lc);
    EXPECT_EQ(r.cc, k.nc - 1 - k.cc);
    EXPECT_EQ(r.backg, T(9));
  }
  TypeParam a = image<TypeParam>(2, 3, [](int l, int c) { return T(l * 3 + c); });
  a.lc = a.cc = 0;
  const TypeParam r = ~a;
  EXPECT_EQ(r.lc, 1);
  EXPECT_EQ(r.cc, 2);
  EXPECT_EQ(r(0, 0), a(1, 2));
  const TypeParam e = ~TypeParam(0, 4);
  EXPECT_EQ(e.nl(), 0);
  // Any stored centre mirrors without overflow, wrapping as a 32-bit int.
  TypeParam far(2, 3);
  far.lc = INT_MIN;
  far.cc = INT_MIN + 1;
  const TypeParam rf = ~far;
  EXPECT_EQ(rf.lc, INT_MIN + 1);
  EXPECT_EQ(rf.cc, INT_MIN + 1);
}

// ---- comparisons

struct CompareCase {
  const char* name;
  IMGGRY a, b;
  bool equal, below;
};

TEST(PointwiseCompare, GreyTable) {
  const auto g = [](int nl, int nc, int base) {
    return image<IMGGRY>(nl, nc,
                         [base](int l, int c) { return (unsigned char)(base + l * 4 + c); });
  };
  IMGGRY moved = g(2, 3, 10);
  moved.backg = 99;
  moved.lc = 0;
  moved.cc = 0;
  IMGGRY last_equal = g(2, 3, 20);
  last_equal.rows[1][2] = g(2, 3, 10).rows[1][2];
  IMGGRY first_above = g(2, 3, 20);
  first_above.rows[0][0] = 0;
  const CompareCase cases[] = {
      {"same pixels, other outside value and centre", g(2, 3, 10), moved, true, false},
      {"transposed sizes", g(2, 3, 10), g(3, 2, 10), false, false},
      {"no rows, same columns", IMGGRY(0, 3), IMGGRY(0, 3), true, true},
      {"no rows, other columns", IMGGRY(0, 3), IMGGRY(0, 4), false, false},
      {"strictly below everywhere", g(2, 3, 10), g(2, 3, 20), false, true},
      {"below except an equal last pixel", g(2, 3, 10), last_equal, false, false},
      {"below except a first pixel above", g(2, 3, 10), first_above, false, false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    EXPECT_EQ(k.a == k.b, k.equal);
    EXPECT_EQ(k.a != k.b, !k.equal);
    EXPECT_EQ(k.a < k.b, k.below);
  }
}

TEST(PointwiseCompare, FloatEqualityIsPerPixel) {
  const IMGFLT a = image<IMGFLT>(2, 2, [](int l, int c) { return float(l - c) * 0.5f; });
  IMGFLT b = a;
  b.backg = 3;
  b.lc = b.cc = 0;
  EXPECT_TRUE(a == b);
  b.rows[1][1] = -0.0f;  // equal to 0.0
  EXPECT_TRUE(a == b);
  b.rows[1][0] = 0.5001f;
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a != b);
  IMGFLT n = a;
  n.rows[0][1] = kNaN;
  EXPECT_FALSE(n == n);
  EXPECT_TRUE(n != n);
  EXPECT_FALSE(IMGFLT(2, 2, 1.0f) == IMGFLT(1, 4, 1.0f));
}

// Wide rows are tested a block at a time: one differing pixel anywhere (first, inside a block,
// on a block edge, in the tail after the last whole block) decides, in every row.
TEST(PointwiseCompare, WideRowsFindEveryDifference) {
  for (int nc : {1, 63, 64, 65, 130, 257}) {
    const IMGFLT a = image<IMGFLT>(3, nc, [](int l, int c) { return float(l * 1000 + c) * 0.25f; });
    const IMGGRY g = image<IMGGRY>(3, nc, [](int l, int c) { return (unsigned char)(l + c % 7); });
    IMGGRY above = g;
    for (int l = 0; l < 3; l++)
      for (int c = 0; c < nc; c++) above.rows[l][c]++;
    for (int l = 0; l < 3; l++)
      for (int c : {0, nc / 2, 63, 64, nc - 1}) {
        if (c >= nc) continue;
        SCOPED_TRACE(std::to_string(nc) + " columns, pixel (" + std::to_string(l) + ", " +
                     std::to_string(c) + ")");
        IMGFLT b = a;
        b.rows[l][c] = kNaN;
        EXPECT_FALSE(a == b);
        EXPECT_TRUE(a != b);
        b.rows[l][c] = a.rows[l][c] == 0 ? -0.0f : a.rows[l][c];
        EXPECT_TRUE(a == b);
        IMGGRY h = g;
        h.rows[l][c] ^= 1;
        EXPECT_FALSE(g == h);
        IMGGRY e = above;
        e.rows[l][c] = g.rows[l][c];
        EXPECT_FALSE(g < e);
        EXPECT_TRUE(g < above);
      }
  }
}

TEST(PointwiseCompare, BinaryIgnoresSpareBits) {
  for (int nc : pwtest::kBinWidths) {
    SCOPED_TRACE(nc);
    const IMGBIN a = pwtest::pattern(3, nc, 7);
    IMGBIN b = a;
    pwtest::soil_spare_bits(b);
    b.backg = 0;
    b.lc = b.cc = 0;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    b(2, nc - 1) = !a(2, nc - 1);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a != b);

    IMGBIN black(3, nc, false), white(3, nc, true);
    pwtest::soil_spare_bits(white);
    pwtest::soil_spare_bits(black);  // spare bits white in the lower image too
    EXPECT_TRUE(black < white);
    EXPECT_FALSE(white < black);
    EXPECT_FALSE(black < black);
    white(1, nc / 2) = false;
    EXPECT_FALSE(black < white);
    EXPECT_FALSE(a < b);
  }
  EXPECT_TRUE(IMGBIN(0, 5) < IMGBIN(0, 5));
  EXPECT_FALSE(IMGBIN(1, 40) == IMGBIN(1, 41));
}

// ---- a scalar with every pixel

unsigned char saturate(long long s) { return (unsigned char)(s < 0 ? 0 : s > 255 ? 255 : s); }

TEST(PointwiseScalar, GreySumSaturates) {
  const IMGGRY a = grey_sample();
  for (int k : {-300, -5, 0, 7, 300, INT_MAX, INT_MIN}) {
    SCOPED_TRACE(k);
    const IMGGRY r = k + a;
    expect_mapped(r, a, [k](unsigned char p) { return saturate((long long)p + k); });
    expect_default_centre(r);
  }
  const IMGGRY low = -300 + a, high = 300 + a;
  EXPECT_EQ(low.backg, 0);
  for (int i = 0; i < a.n(); i++) {
    EXPECT_EQ(low.data[i], 0);
    EXPECT_EQ(high.data[i], 255);
  }
}

TEST(PointwiseScalar, GreyProductClampsThenRounds) {
  const IMGGRY a = grey_sample();
  for (double k : {0.5, -1.0, 10.0, 1.0 / 3.0, 2.5, 0.0, 1.0}) {
    SCOPED_TRACE(k);
    const IMGGRY r = k * a;
    expect_mapped(r, a, [k](unsigned char p) {
      double x = k * p;
      x = x < 0.0 ? 0.0 : x > 255.0 ? 255.0 : x;
      return (unsigned char)std::floor(x + 0.5);
    });
    expect_default_centre(r);
  }
  const struct {
    double k;
    unsigned char p, want;
  } cases[] = {{0.5, 3, 2},       {0.5, 5, 3},      {-1.0, 200, 0}, {10.0, 30, 255},
               {1.002, 255, 255}, {-0.002, 200, 0}, {0.5, 1, 1},    {0.49, 1, 0}};
  for (const auto& k : cases) {
    IMGGRY one(1, 1, k.p);
    one.backg = k.p;
    const IMGGRY r = k.k * one;
    EXPECT_EQ(r(0, 0), k.want) << k.k << " * " << int(k.p);
    EXPECT_EQ(r.backg, k.want);
  }
  // A factor that is not a number gives black rather than an undefined conversion.
  const IMGGRY r = std::nan("") * a;
  for (int i = 0; i < r.n(); i++) EXPECT_EQ(r.data[i], 0);
}

template <class Img>
class RealScalar : public ::testing::Test {};
TYPED_TEST_SUITE(RealScalar, RealTypes);

TYPED_TEST(RealScalar, FormedInDoubleAndStoredOnce) {
  using T = typename TypeParam::Pixel;
  const TypeParam a = real_sample<TypeParam>();
  for (double k : {0.1, -2.5, 1e30, 0.0, 1.0 / 3.0}) {
    SCOPED_TRACE(k);
    const TypeParam p = k * a, s = k + a;
    expect_mapped(p, a, [k](T x) { return static_cast<T>(k * static_cast<double>(x)); });
    expect_mapped(s, a, [k](T x) { return static_cast<T>(k + static_cast<double>(x)); });
    expect_default_centre(p);
    expect_default_centre(s);
  }
}

IMGCPX complex_sample() {
  IMGCPX a = image<IMGCPX>(2, 3, [](int l, int c) { return Complex(l * 1.5f - c, c * 0.25f + l); });
  a.rows[1][2] = Complex(kInf, 1.0f);
  a.backg = Complex(2.0f, -3.0f);
  a.lc = 0;
  a.cc = 0;
  return a;
}

TEST(PointwiseScalar, ComplexTimesImaginaryUnitTurnsEveryElement) {
  const IMGCPX a = complex_sample();
  const IMGCPX r = Complex(0.0f, 1.0f) * a;
  for (int l = 0; l < 2; l++)
    for (int c = 0; c < 3; c++) {
      if (std::isinf(a(l, c).real())) continue;
      EXPECT_EQ(r(l, c), Complex(-a(l, c).imag(), a(l, c).real()));
    }
  EXPECT_TRUE(same(r.backg, Complex(3.0f, 2.0f)));
  EXPECT_EQ(r.lc, 0);
  EXPECT_EQ(r.cc, 0);
  EXPECT_TRUE(same(a(0, 1), Complex(-1.0f, 0.25f)));  // the caller's image is unchanged
}

TEST(PointwiseScalar, ComplexScalarRules) {
  const IMGCPX a = complex_sample();
  const float k = 0.3f;
  const IMGCPX scaled = k * a;
  expect_mapped(scaled, a, [k](Complex z) {
    return Complex(static_cast<float>(double(z.real()) * k - double(z.imag()) * 0.0),
                   static_cast<float>(double(z.imag()) * k + double(z.real()) * 0.0));
  });
  // The zero imaginary part of the factor still multiplies: inf * 0 is not a number.
  EXPECT_TRUE(std::isinf(scaled(1, 2).real()));
  EXPECT_TRUE(std::isnan(scaled(1, 2).imag()));
  const Complex q(0.5f, -2.0f);
  const IMGCPX turned = q * a;
  expect_mapped(turned, a, [q](Complex z) {
    return Complex(q.real() * z.real() - q.imag() * z.imag(),
                   q.imag() * z.real() + z.imag() * q.real());
  });
  const IMGCPX shifted = 1.25f + a;
  expect_mapped(shifted, a, [](Complex z) { return Complex(z.real() + 1.25f, z.imag()); });
  for (const IMGCPX& r : {scaled, turned, shifted}) {
    EXPECT_EQ(r.lc, 0);
    EXPECT_EQ(r.cc, 0);
  }
}

// ---- two images of one size

struct RealOp {
  const char* name;
  std::function<IMGFLT(const IMGFLT&, const IMGFLT&)> flt;
  std::function<IMGDBL(const IMGDBL&, const IMGDBL&)> dbl;
  std::function<double(double, double)> rule;
};

const RealOp kRealOps[] = {
    {"quotient", [](auto& a, auto& b) { return a / b; }, [](auto& a, auto& b) { return a / b; },
     [](double x, double y) { return x / y; }},
    {"product", [](auto& a, auto& b) { return a * b; }, [](auto& a, auto& b) { return a * b; },
     [](double x, double y) { return x * y; }},
    {"difference", [](auto& a, auto& b) { return a - b; }, [](auto& a, auto& b) { return a - b; },
     [](double x, double y) { return x - y; }},
    {"sum", [](auto& a, auto& b) { return a + b; }, [](auto& a, auto& b) { return a + b; },
     [](double x, double y) { return x + y; }},
};

template <class Img>
Img second_operand() {
  using T = typename Img::Pixel;
  Img b = image<Img>(3, 5, [](int l, int c) { return T(l * 1.75 - c * 0.5); });  // (0, 0) is 0
  b.rows[2][2] = T(1e-30);
  b.backg = T(-4);
  b.lc = 0;
  b.cc = 4;
  return b;
}

TEST(PointwiseTwoImages, RealArithmeticEqualsRule) {
  const IMGFLT fa = real_sample<IMGFLT>(), fb = second_operand<IMGFLT>();
  const IMGDBL da = real_sample<IMGDBL>(), db = second_operand<IMGDBL>();
  for (const RealOp& op : kRealOps) {
    SCOPED_TRACE(op.name);
    const IMGFLT fr = op.flt(fa, fb);
    const IMGDBL dr = op.dbl(da, db);
    for (int l = 0; l < 3; l++)
      for (int c = 0; c < 5; c++) {
        EXPECT_TRUE(same(fr(l, c), static_cast<float>(op.rule(fa(l, c), fb(l, c)))))
            << l << "," << c;
        EXPECT_TRUE(same(dr(l, c), op.rule(da(l, c), db(l, c)))) << l << "," << c;
      }
    EXPECT_TRUE(same(fr.backg, static_cast<float>(op.rule(fa.backg, fb.backg))));
    EXPECT_TRUE(same(dr.backg, op.rule(da.backg, db.backg)));
    expect_default_centre(fr);
    expect_default_centre(dr);
  }
  // Division by a zero pixel is not guarded.
  const IMGFLT q = fa / fb;
  EXPECT_EQ(q(0, 0), kInf);  // 0.25 / 0
  EXPECT_TRUE(std::isnan((fb / fb)(0, 0)));
}

TEST(PointwiseTwoImages, ComplexArithmetic) {
  IMGCPX a = complex_sample();
  a.rows[1][2] = Complex(4.0f, 2.0f);
  IMGCPX b = image<IMGCPX>(2, 3, [](int l, int c) { return Complex(c - 1.0f, l + 0.5f); });
  b.rows[1][2] = Complex(0.0f, 2.0f);
  b.backg = Complex(1.0f, 1.0f);
  const IMGCPX sum = a + b, diff = a - b, prod = a * b, quot = a / b;
  for (int l = 0; l < 2; l++)
    for (int c = 0; c < 3; c++) {
      const Complex x = a(l, c), y = b(l, c);
      EXPECT_TRUE(same(sum(l, c), Complex(x.real() + y.real(), x.imag() + y.imag())));
      EXPECT_TRUE(same(diff(l, c), Complex(x.real() - y.real(), x.imag() - y.imag())));
      const std::complex<double> p = std::complex<double>(x) * std::complex<double>(y);
      const std::complex<double> d = std::complex<double>(x) / std::complex<double>(y);
      EXPECT_NEAR(prod(l, c).real(), p.real(), 1e-5);
      EXPECT_NEAR(prod(l, c).imag(), p.imag(), 1e-5);
      EXPECT_NEAR(quot(l, c).real(), d.real(), 1e-5);
      EXPECT_NEAR(quot(l, c).imag(), d.imag(), 1e-5);
    }
  EXPECT_TRUE(same(quot(1, 2), Complex(1.0f, -2.0f)));
  EXPECT_TRUE(same(sum.backg, Complex(3.0f, -2.0f)));
  EXPECT_TRUE(same(prod.backg, Complex(5.0f, -1.0f)));
  EXPECT_TRUE(same(quot.backg, Complex(-0.5f, -2.5f)));
  expect_default_centre(quot);
  // The textbook quotient by zero: 0/0 in both parts.
  const IMGCPX z = IMGCPX(1, 1) / IMGCPX(1, 1);
  EXPECT_TRUE(std::isnan(z(0, 0).real()));
  EXPECT_TRUE(std::isnan(z(0, 0).imag()));
}

TEST(PointwiseTwoImages, FloatMinimumAndMaximum) {
  IMGFLT a(1, 5), b(1, 5);
  const float av[] = {0.2f, 0.7f, kNaN, 1.0f, 0.0f};
  const float bv[] = {0.7f, 0.2f, 1.0f, kNaN, -0.0f};
  for (int c = 0; c < 5; c++) {
    a.rows[0][c] = av[c];
    b.rows[0][c] = bv[c];
  }
  a.backg = 0.2f;
  b.backg = 0.7f;
  const IMGFLT lo = a && b, hi = a || b;
  const float lo_want[] = {0.2f, 0.2f, 1.0f, kNaN, -0.0f};  // ties and NaN pairs take b
  const float hi_want[] = {0.7f, 0.7f, 1.0f, kNaN, -0.0f};
  for (int c = 0; c < 5; c++) {
    EXPECT_TRUE(same(lo(0, c), lo_want[c])) << c;
    EXPECT_TRUE(same(hi(0, c), hi_want[c])) << c;
  }
  EXPECT_EQ(lo.backg, 0.2f);
  EXPECT_EQ(hi.backg, 0.7f);
  // The outside value keeps a's on ties and NaN pairs.
  const struct {
    float a, b, lo, hi;
  } bg[] = {{kNaN, 1.0f, kNaN, kNaN},
            {1.0f, kNaN, 1.0f, 1.0f},
            {0.0f, -0.0f, 0.0f, 0.0f},
            {0.9f, 0.3f, 0.3f, 0.9f}};
  for (const auto& k : bg) {
    a.backg = k.a;
    b.backg = k.b;
    EXPECT_TRUE(same((a && b).backg, k.lo)) << k.a << " " << k.b;
    EXPECT_TRUE(same((a || b).backg, k.hi)) << k.a << " " << k.b;
  }
}

TEST(PointwiseTwoImages, EmptyOperands) {
  EXPECT_EQ((IMGDBL(0, 3) + IMGDBL(0, 3)).nl(), 0);
  EXPECT_EQ((IMGCPX(4, 0) / IMGCPX(4, 0)).nc(), 0);
  EXPECT_EQ((IMGFLT() && IMGFLT()).n(), 0);
}

struct Mismatch {
  const char* name;
  std::function<void()> call;
  const char* message;
};

class PointwiseMismatch : public ::testing::TestWithParam<Mismatch> {};

TEST_P(PointwiseMismatch, IsFatalWithItsMessage) {
  EXPECT_ERRO(GetParam().call(), GetParam().message, "");
}

#define MISMATCH_CASE(name, Img, expr, msg) \
  Mismatch {                                \
    name,                                   \
        [] {                                \
          const Img a(3, 4), b(3, 5);       \
          (void)(expr);                     \
        },                                  \
        msg                                 \
  }

INSTANTIATE_TEST_SUITE_P(
    AllOperators, PointwiseMismatch,
    ::testing::Values(MISMATCH_CASE("FltQuot", IMGFLT, a / b,
                                    "Erro IMGFLT::operator/ - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("FltProd", IMGFLT, a* b,
                                    "Erro IMGFLT::operator* - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("FltDiff", IMGFLT, a - b,
                                    "Erro IMGFLT::operator- - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("FltSum", IMGFLT, a + b,
                                    "Erro IMGFLT::operator+ - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("FltMin", IMGFLT, a&& b,
                                    "Erro IMGFLT::operator&& - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("FltMax", IMGFLT, a || b,
                                    "Erro IMGFLT::operator|| - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("DblQuot", IMGDBL, a / b,
                                    "Erro IMGDBL::operator/ - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("DblProd", IMGDBL, a* b,
                                    "Erro IMGDBL::operator* - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("DblDiff", IMGDBL, a - b,
                                    "Erro IMGDBL::operator- - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("DblSum", IMGDBL, a + b,
                                    "Erro IMGDBL::operator+ - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("CpxQuot", IMGCPX, a / b,
                                    "Erro IMGCPX::operator/ - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("CpxProd", IMGCPX, a* b,
                                    "Erro IMGCPX::operator* - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("CpxDiff", IMGCPX, a - b,
                                    "Erro IMGCPX::operator- - As imagens nao tem o mesmo tamanho"),
                      MISMATCH_CASE("CpxSum", IMGCPX, a + b,
                                    "Erro IMGCPX::operator+ - As imagens nao tem o mesmo tamanho")),
    [](const ::testing::TestParamInfo<Mismatch>& info) { return std::string(info.param.name); });

TEST(PointwiseMismatchRows, TransposedSizesFail) {
  EXPECT_ERRO(IMGDBL(3, 4) - IMGDBL(4, 3),
              "Erro IMGDBL::operator- - As imagens nao tem o mesmo tamanho", "");
}

}  // namespace
