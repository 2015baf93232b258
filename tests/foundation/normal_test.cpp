#include <cmath>
#include <complex>

#include "foundation/normal.h"
#include "support/test_support.h"

namespace {

const double pi = 3.141592653589793;

struct XS {
  double x, y, s;
};
const XS samples[] = {{0.0, 0.0, 1.0}, {0.5, -0.25, 1.0}, {-1.5, 2.0, 0.7},
                      {3.0, 1.0, 2.5}, {-0.2, 0.1, 0.3},  {4.0, -3.0, 1.8}};

// Independent long-double forms of the densities.
long double ref_normal(long double x, long double s) {
  return std::exp(-x * x / (2 * s * s)) / (s * std::sqrt(2 * static_cast<long double>(pi)));
}
long double ref_binormal(long double r, long double s) {
  return std::exp(-r * r / (2 * s * s)) / (2 * static_cast<long double>(pi) * s * s);
}

TEST(Normal, KnownValues) {
  EXPECT_DOUBLE_EQ(normal(0, 1), 0.3989422804014327);
  EXPECT_DOUBLE_EQ(binormal(0, 1), 1 / (2 * pi));
  EXPECT_DOUBLE_EQ(dxnormal(0, 1), 0.0);
  EXPECT_DOUBLE_EQ(dxxnormal(0, 1), -0.3989422804014327);
  EXPECT_DOUBLE_EQ(lapnormal(0, 1), -1 / pi);
}

TEST(Normal, DensitiesMatchTheirFormulas) {
  for (const XS& c : samples) {
    SCOPED_TRACE(testing::Message() << "x=" << c.x << " s=" << c.s);
    EXPECT_NEAR(normal(c.x, c.s), static_cast<double>(ref_normal(c.x, c.s)), 1e-15);
    EXPECT_NEAR(binormal(c.x, c.s), static_cast<double>(ref_binormal(c.x, c.s)), 1e-15);
  }
}

// Each derivative against central differences of the function it derives.
TEST(Normal, DerivativesMatchDifferences) {
  const double h = 1e-5;
  for (const XS& c : samples) {
    SCOPED_TRACE(testing::Message() << "x=" << c.x << " y=" << c.y << " s=" << c.s);
    double x = c.x, y = c.y, s = c.s;
    EXPECT_NEAR(dxnormal(x, s), (normal(x + h, s) - normal(x - h, s)) / (2 * h), 1e-8);
    EXPECT_NEAR(dxxnormal(x, s), (dxnormal(x + h, s) - dxnormal(x - h, s)) / (2 * h), 1e-7);
    auto b = [s](double u, double v) { return binormal(std::hypot(u, v), s); };
    EXPECT_NEAR(grxbinormal(x, y, s), (b(x + h, y) - b(x - h, y)) / (2 * h), 1e-8);
    EXPECT_NEAR(grybinormal(x, y, s), (b(x, y + h) - b(x, y - h)) / (2 * h), 1e-8);
    double g = 1e-3;
    double lap = (b(x + g, y) + b(x - g, y) + b(x, y + g) + b(x, y - g) - 4 * b(x, y)) / (g * g);
    EXPECT_NEAR(lapnormal(std::hypot(x, y), s), lap, 1e-4 * (1 + std::fabs(lap)));
  }
}

TEST(Normal, SquaredFormsAgreeExactly) {
  for (const XS& c : samples) {
    double q = c.x * c.x;
    EXPECT_EQ(normalsqr(q, c.s), normal(c.x, c.s));
    EXPECT_EQ(binormalsqr(q, c.s), binormal(c.x, c.s));
    EXPECT_EQ(lapbinormalsqr(q, c.s), lapnormal(c.x, c.s));
  }
}

struct PolarCase {
  std::complex<double> z, polar;
};

TEST(Polar, RectangularToPolar) {
  const PolarCase cases[] = {
      {{0, 0}, {0, 0}},
      {{-1, 0}, {1, pi}},
      {{3, 4}, {5, std::atan2(4.0, 3.0)}},
      {{0, -2}, {2, -pi / 2}},
      {{-1, -1}, {std::sqrt(2.0), -3 * pi / 4}},
      {{1e300, 1e300}, {std::sqrt(2.0) * 1e300, pi / 4}},
  };
  for (const PolarCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.z);
    std::complex<double> p = ret2pol(c.z);
    EXPECT_DOUBLE_EQ(p.real(), c.polar.real());
    EXPECT_DOUBLE_EQ(p.imag(), c.polar.imag());
  }
}

TEST(Polar, PolarToRectangularAndBack) {
  std::complex<double> p = pol2ret({2, pi / 2});
  EXPECT_NEAR(p.real(), 0, 1e-15);
  EXPECT_DOUBLE_EQ(p.imag(), 2);
  p = pol2ret({-1, 0});  // a negative modulus is taken as it is
  EXPECT_DOUBLE_EQ(p.real(), -1);
  EXPECT_DOUBLE_EQ(p.imag(), 0);
  for (std::complex<double> z : {std::complex<double>(0.3, -7), {-2.5, 0.1}, {1, 1}}) {
    std::complex<double> back = pol2ret(ret2pol(z));
    EXPECT_NEAR(back.real(), z.real(), 1e-14);
    EXPECT_NEAR(back.imag(), z.imag(), 1e-14);
  }
}

}  // namespace
