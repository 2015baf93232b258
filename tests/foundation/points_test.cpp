#include <cmath>
#include <limits>
#include <sstream>

#include "support/test_support.h"
#include "vistelmo.h"

namespace {

const char kMsg3[] = "PONTO3 operator*: Matriz deve ser 3x3";
const char kMsg2[] = "PONTO2 operator*: Matriz deve ser 2x2";

TEST(Double2Int, TruncatesAndSaturates) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double x;
    int expected;
  };
  const Case cases[] = {{2.9, 2},
                        {-2.9, -2},
                        {-0.5, 0},
                        {0.0, 0},
                        {-0.0, 0},
                        {2147483647.0, 2147483647},
                        {3e9, 2147483647},
                        {-2147483648.0, -2147483648},
                        {-2147483647.9, -2147483647},
                        {-1e12, -2147483648},
                        {2147483646.7, 2147483646},
                        {inf, 2147483647},
                        {-inf, -2147483648},
                        {std::nan(""), -2147483648}};
  for (const Case& c : cases) EXPECT_EQ(double2int(c.x), c.expected) << c.x;
}

TEST(Points, DoubleToIntInAllThreeForms) {
  PONTO2 d2(1e20, -1e20);
  PONTOI2 a(d2);
  EXPECT_EQ(a.l(), 2147483647);
  EXPECT_EQ(a.c(), -2147483648);
  PONTOI2 b(0, 0);
  PONTOI2& r = (b = PONTO2(-3.7, 8.2));
  EXPECT_EQ(&r, &b);
  EXPECT_EQ(b, PONTOI2(-3, 8));
  b.copia(PONTO2(5.99, -0.1));
  EXPECT_EQ(b, PONTOI2(5, 0));

  PONTOI3 i3(PONTO3(1.5, -2.5, 4e10));
  EXPECT_EQ(i3.x, 1);
  EXPECT_EQ(i3.y, -2);
  EXPECT_EQ(i3.z, 2147483647);
  i3 = PONTO3(-1e10, 0.9, 7.0);
  EXPECT_EQ(i3.x, -2147483648);
  EXPECT_EQ(i3.y, 0);
  EXPECT_EQ(i3.z, 7);
  i3.copia(PONTO3(3.3, 2.2, 1.1));
  EXPECT_EQ(i3.x, 3);
  EXPECT_EQ(i3.z, 1);

  PONTOI4 i4(PONTO4(1.9, -1.9, 1e300, std::nan("")));
  EXPECT_EQ(i4.x, 1);
  EXPECT_EQ(i4.y, -1);
  EXPECT_EQ(i4.z, 2147483647);
  EXPECT_EQ(i4.w, -2147483648);
  PONTOI4& r4 = (i4 = PONTO4(4.5, 3.5, 2.5, 1.5));
  EXPECT_EQ(&r4, &i4);
  EXPECT_EQ(i4.w, 1);
  i4.copia(PONTO4(-4.5, 0, 0, 9.9));
  EXPECT_EQ(i4.x, -4);
  EXPECT_EQ(i4.w, 9);
}

TEST(Points, IntToDoubleIsExact) {
  PONTO3 p(PONTOI3(-7, 0, 2147483647));
  EXPECT_EQ(p.x, -7.0);
  EXPECT_EQ(p.y, 0.0);
  EXPECT_EQ(p.z, 2147483647.0);
  PONTO3& r3 = (p = PONTOI3(-2147483647 - 1, 1, 2));
  EXPECT_EQ(&r3, &p);
  EXPECT_EQ(p.x, -2147483648.0);
  p.copia(PONTOI3(4, 5, 6));
  EXPECT_EQ(p.z, 6.0);

  PONTO2 q(PONTOI2(3, -4));  // row, then column
  EXPECT_EQ(q.x, 3.0);
  EXPECT_EQ(q.y, -4.0);
  q = PONTOI2(-1, 2);
  EXPECT_EQ(q.x, -1.0);
  q.copia(PONTOI2(8, 9));
  EXPECT_EQ(q.y, 9.0);

  PONTO4 w(PONTOI4(1, 2, 3, -2147483647 - 1));
  EXPECT_EQ(w.w, -2147483648.0);
  w = PONTOI4(5, 6, 7, 8);
  EXPECT_EQ(w.x, 5.0);
  w.copia(PONTOI4(0, 0, 0, 1));
  EXPECT_EQ(w.w, 1.0);
}

TEST(Points, CheckedCoordinateAccess) {
  PONTO2 p(1, 2);
  p(1) = 5;
  EXPECT_EQ(p.y, 5.0);
  EXPECT_EQ(p(0), 1.0);
  PONTO3 q(1, 2, 3);
  q(2) = -3;
  EXPECT_EQ(q.z, -3.0);
  const PONTO3& cq = q;
  EXPECT_EQ(cq(1), 2.0);
  for (int i : {-1, 2, 100}) EXPECT_ERRO(p(i), "Indice invalida PONTO2", "");
  for (int i : {-1, 3, -100}) EXPECT_ERRO(q(i), "Indice invalida PONTO3", "");
}

void expect_point(const PONTO3& p, double x, double y, double z) {
  EXPECT_EQ(p.x, x);
  EXPECT_EQ(p.y, y);
  EXPECT_EQ(p.z, z);
}

TEST(Points, MatrixProducts3) {
  MATRIZ<double> m(3, 3, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0);
  expect_point(m * PONTO3(1, 0, 0), 1, 4, 7);
  expect_point(PONTO3(1, 0, 0) * m, 1, 2, 3);
  expect_point(m * PONTO3(1, 2, 3), 14, 32, 50);
  expect_point(PONTO3(1, 2, 3) * m, 30, 36, 42);
  MATRIZ<double> id(3, 3, 1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0);
  expect_point(id * PONTO3(0.1, -2.5, 1e10), 0.1, -2.5, 1e10);
  expect_point(PONTO3(0.1, -2.5, 1e10) * id, 0.1, -2.5, 1e10);
  // Sums run in index order: (1e16 + 1) - 1e16 is 0 in doubles, 1 in any other order.
  MATRIZ<double> big(3, 3, 1e16, 1.0, -1e16, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0);
  expect_point(big * PONTO3(1, 1, 1), 0, 0, 0);
  MATRIZ<double> bigt(3, 3, 1e16, 0.0, 0.0, 1.0, 0.0, 0.0, -1e16, 0.0, 0.0);
  expect_point(PONTO3(1, 1, 1) * bigt, 0, 0, 0);
}

TEST(Points, MatrixProducts2) {
  MATRIZ<double> m(2, 2, 1.0, 2.0, 3.0, 4.0);
  PONTO2 a = m * PONTO2(1, 10);
  EXPECT_EQ(a.x, 21.0);
  EXPECT_EQ(a.y, 43.0);
  PONTO2 b = PONTO2(1, 10) * m;
  EXPECT_EQ(b.x, 31.0);
  EXPECT_EQ(b.y, 42.0);
}

TEST(Points, ProductsNeedSquareMatrices) {
  for (auto [l, c] : {std::pair{3, 2}, {2, 3}, {2, 2}, {4, 4}, {0, 0}}) {
    MATRIZ<double> m(l, c, 1.0);
    EXPECT_ERRO(m * PONTO3(1, 2, 3), kMsg3, "");
    EXPECT_ERRO(PONTO3(1, 2, 3) * m, kMsg3, "");
  }
  for (auto [l, c] : {std::pair{2, 1}, {1, 2}, {3, 3}}) {
    MATRIZ<double> m(l, c, 1.0);
    EXPECT_ERRO(m * PONTO2(1, 2), kMsg2, "");
    EXPECT_ERRO(PONTO2(1, 2) * m, kMsg2, "");
  }
}

TEST(Points, ToComplex) {
  std::complex<double> z = toCPXD(PONTO2(3, -1));
  EXPECT_EQ(z.real(), 3.0);
  EXPECT_EQ(z.imag(), -1.0);
}

template <class P>
std::string show(const P& p, std::ios_base& (*manip)(std::ios_base&) = nullptr, int prec = 0) {
  std::ostringstream os;
  if (manip) os << manip;
  if (prec) os.precision(prec);
  std::ostream& r = os << p;
  EXPECT_EQ(&r, &os);
  return os.str();
}

TEST(Points, StreamOutput) {
  EXPECT_EQ(show(PONTOI2(3, -4)), "[3 -4]");
  EXPECT_EQ(show(PONTO2(0.5, 2)), "[0.5 2]");
  EXPECT_EQ(show(PONTO3(1, -2.25, 1e30)), "[1 -2.25 1e+30]");
  EXPECT_EQ(show(PONTO4(1, 2, 3, 4)), "[1 2 3 4]");
  EXPECT_EQ(show(PONTOI3(0, 1, -1)), "[0 1 -1]");
  EXPECT_EQ(show(PONTOI4(7, 8, 9, 10)), "[7 8 9 10]");
  // The stream's own settings apply.
  EXPECT_EQ(show(PONTOI2(255, 16), std::hex), "[ff 10]");
  EXPECT_EQ(show(PONTO2(1.0 / 3, 2), nullptr, 3), "[0.333 2]");
  EXPECT_EQ(show(PONTO3(0.5, 1, 2), std::fixed, 2), "[0.50 1.00 2.00]");
}

}  // namespace
