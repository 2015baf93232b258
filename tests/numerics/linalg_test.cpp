#include <cmath>
#include <limits>

#include "foundation/constants.h"
#include "numerics/linalg.h"
#include "support/test_support.h"

namespace {

const double nan_ = std::numeric_limits<double>::quiet_NaN();
const double inf_ = std::numeric_limits<double>::infinity();

// A symmetric 5 x 5 matrix with well separated eigenvalues and no zero entries.
MATRIZ<double> sym5() {
  MATRIZ<double> a(5, 5);
  for (int i = 0; i < 5; i++)
    for (int j = 0; j <= i; j++)
      a(i, j) = a(j, i) = i == j ? 2.0 * i + 1.0 : 0.3 + 0.1 * (i + 2 * j);
  return a;
}

// A general 4 x 4 matrix whose pivots need row exchanges.
MATRIZ<double> gen4() {
  return MATRIZ<double>(4, 4, 0.0, 2.0, -1.0, 3.0, 1.0, 1.0, 4.0, 0.5, -2.0, 0.5, 1.0, 1.0, 3.0,
                        -1.0, 2.0, 0.0);
}

MATRIZ<double> product(const MATRIZ<double>& a, const MATRIZ<double>& b) {
  MATRIZ<double> r(a.nl, b.nc, 0.0);
  for (int i = 0; i < a.nl(); i++)
    for (int j = 0; j < b.nc(); j++)
      for (int k = 0; k < a.nc(); k++) r(i, j) += a(i, k) * b(k, j);
  return r;
}

void expect_near(const MATRIZ<double>& r, const MATRIZ<double>& want, double tol) {
  ASSERT_EQ(r.nl(), want.nl());
  ASSERT_EQ(r.nc(), want.nc());
  for (int i = 0; i < r.nl(); i++)
    for (int j = 0; j < r.nc(); j++) EXPECT_NEAR(r(i, j), want(i, j), tol) << i << "," << j;
}

MATRIZ<double> identity(int n) {
  MATRIZ<double> r(n, n, 0.0);
  for (int i = 0; i < n; i++) r(i, i) = 1.0;
  return r;
}

// ---- Jacobi ----

TEST(Jacobi, TwoByTwoTakesOneRotation) {
  MATRIZ<double> a(2, 2, 2.0, 1.0, 1.0, 2.0);
  VETOR<double> d;
  MATRIZ<double> v;
  int nrot = -1;
  jacobi(a, d, v, nrot);
  EXPECT_EQ(nrot, 1);
  ASSERT_EQ(d.n(), 2);
  EXPECT_EQ(d(0), 1.0);
  EXPECT_EQ(d(1), 3.0);
  const double r = std::sqrt(0.5);
  expect_near(v, MATRIZ<double>(2, 2, r, r, -r, r), 1e-15);
  // Only the strict upper triangle is destroyed.
  EXPECT_EQ(a(0, 1), 0.0);
  EXPECT_EQ(a(1, 0), 1.0);
  EXPECT_EQ(a(0, 0), 2.0);
  EXPECT_EQ(a(1, 1), 2.0);
}

TEST(Jacobi, EigSortsDescendingWithTheColumns) {
  VETOR<double> d;
  MATRIZ<double> v;
  eig(MATRIZ<double>(2, 2, 2.0, 1.0, 1.0, 2.0), d, v);
  EXPECT_EQ(d(0), 3.0);
  EXPECT_EQ(d(1), 1.0);
  const double r = std::sqrt(0.5);
  expect_near(v, MATRIZ<double>(2, 2, r, r, r, -r), 1e-15);
}

TEST(Jacobi, DiagonalAndTinyMatricesReturnAtOnce) {
  struct Case {
    MATRIZ<double> a;
  };
  Case cases[] = {{MATRIZ<double>(3, 3, 4.0, 0.0, 0.0, 0.0, -1.0, 0.0, 0.0, 0.0, 7.0)},
                  {MATRIZ<double>(1, 1, 5.0)},
                  {MATRIZ<double>(0, 0)}};
  for (Case& c : cases) {
    const int n = c.a.nl();
    MATRIZ<double> a(c.a);
    VETOR<double> d(7, 9.0);
    MATRIZ<double> v(2, 5, 9.0);
    int nrot = -1;
    jacobi(a, d, v, nrot);
    EXPECT_EQ(nrot, 0);
    ASSERT_EQ(d.n(), n);
    for (int i = 0; i < n; i++) EXPECT_EQ(d(i), c.a(i, i));
    expect_near(v, identity(n), 0.0);
  }
}

TEST(Jacobi, DecomposesASymmetricMatrix) {
  MATRIZ<double> a0 = sym5();
  MATRIZ<double> a(a0);
  VETOR<double> d;
  MATRIZ<double> v;
  int nrot = 0;
  jacobi(a, d, v, nrot);
  EXPECT_GT(nrot, 10);
  // A v = v diag(d), and v is orthonormal.
  MATRIZ<double> dd(5, 5, 0.0);
  for (int i = 0; i < 5; i++) dd(i, i) = d(i);
  expect_near(product(a0, v), product(v, dd), 1e-13);
  MATRIZ<double> vt(5, 5);
  for (int i = 0; i < 5; i++)
    for (int j = 0; j < 5; j++) vt(i, j) = v(j, i);
  expect_near(product(vt, v), identity(5), 1e-14);
  for (int i = 0; i < 5; i++)
    for (int j = 0; j < 5; j++) EXPECT_EQ(a(i, j), j > i ? 0.0 : a0(i, j)) << i << "," << j;

  VETOR<double> ds;
  MATRIZ<double> vs;
  eig(a0, ds, vs);
  for (int i = 0; i + 1 < 5; i++) EXPECT_GT(ds(i), ds(i + 1));
  // Each sorted pair is one of the unsorted pairs.
  for (int k = 0; k < 5; k++) {
    int found = -1;
    for (int j = 0; j < 5; j++)
      if (d(j) == ds(k)) found = j;
    ASSERT_GE(found, 0);
    for (int i = 0; i < 5; i++) EXPECT_EQ(vs(i, k), v(i, found));
  }
  EXPECT_EQ(a0(0, 1), sym5()(0, 1));  // eig works on its own copy
}

TEST(Jacobi, EigsrtMovesEqualValuesTooAndTheLastEqualWins) {
  VETOR<double> d(2, 1.0);
  MATRIZ<double> v(2, 2, 1.0, 2.0, 3.0, 4.0);
  eigsrt(d, v);
  EXPECT_EQ(d(0), 1.0);
  EXPECT_EQ(d(1), 1.0);
  expect_near(v, MATRIZ<double>(2, 2, 2.0, 1.0, 4.0, 3.0), 0.0);

  VETOR<double> e(3);
  e(0) = 1;
  e(1) = 5;
  e(2) = 5;
  MATRIZ<double> w(3, 3, 1.0, 2.0, 3.0, 1.0, 2.0, 3.0, 1.0, 2.0, 3.0);
  eigsrt(e, w);
  EXPECT_EQ(e(0), 5.0);
  EXPECT_EQ(e(1), 5.0);
  EXPECT_EQ(e(2), 1.0);
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(w(i, 0), 3.0);
    EXPECT_EQ(w(i, 1), 2.0);
    EXPECT_EQ(w(i, 2), 1.0);
  }
}

TEST(JacobiDeath, Failures) {
  VETOR<double> d;
  MATRIZ<double> v;
  int nrot;
  MATRIZ<double> rect(2, 3, 0.0);
  EXPECT_ERRO(jacobi(rect, d, v, nrot), "Erro: Matriz a nao-quadrada", "");
  EXPECT_ERRO(eig(rect, d, v), "Erro: Matriz a nao-quadrada", "");
  MATRIZ<double> asym(2, 2, 1.0, 2.0, 2.0000001, 1.0);
  EXPECT_ERRO(jacobi(asym, d, v, nrot), "Erro: Matriz a nao-simetrica", "");
  MATRIZ<double> withnan(2, 2, 1.0, nan_, nan_, 1.0);
  EXPECT_ERRO(jacobi(withnan, d, v, nrot), "Erro: Matriz a nao-simetrica", "");
  // Infinite diagonal entries leave a not-a-number above the diagonal that never goes away.
  MATRIZ<double> wild(3, 3, inf_, 1.0, 1.0, 1.0, inf_, 1.0, 1.0, 1.0, 0.0);
  EXPECT_ERRO(jacobi(wild, d, v, nrot), "Erro: Too many iterations in routine JACOBI", "");
  VETOR<double> d3(3, 0.0);
  MATRIZ<double> v2(2, 2, 0.0);
  EXPECT_ERRO(eigsrt(d3, v2), "Erro: dimensoes invalidas", "");
}

// ---- LU ----

TEST(Lu, PermutationMatrix) {
  MATRIZ<double> a(2, 2, 0.0, 1.0, 1.0, 0.0);
  VETOR<int> indx;
  double par = 0;
  ludcmp(a, indx, par);
  ASSERT_EQ(indx.n(), 2);
  EXPECT_EQ(indx(0), 1);
  EXPECT_EQ(indx(1), 1);
  EXPECT_EQ(par, -1.0);
  EXPECT_EQ(det(MATRIZ<double>(2, 2, 0.0, 1.0, 1.0, 0.0)), -1.0);
}

TEST(Lu, FactorsRebuildThePermutedMatrix) {
  MATRIZ<double> a0 = gen4();
  MATRIZ<double> a(a0);
  VETOR<int> indx;
  double par = 0;
  ludcmp(a, indx, par);
  MATRIZ<double> l(4, 4, 0.0), u(4, 4, 0.0);
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) {
      if (j < i) l(i, j) = a(i, j);
      if (j >= i) u(i, j) = a(i, j);
    }
  for (int i = 0; i < 4; i++) l(i, i) = 1.0;
  MATRIZ<double> pa(a0);
  int swaps = 0;
  for (int j = 0; j < 4; j++) {
    if (indx(j) == j) continue;
    swaps++;
    for (int c = 0; c < 4; c++) std::swap(pa(j, c), pa(indx(j), c));
  }
  EXPECT_GT(swaps, 0);
  EXPECT_EQ(par, swaps % 2 ? -1.0 : 1.0);
  expect_near(product(l, u), pa, 1e-14);
}

TEST(Lu, SingularMatricesGiveEpsilonPivots) {
  EXPECT_EQ(det(MATRIZ<double>(2, 2, 1.0, 2.0, 2.0, 4.0)), -2e-20);
  EXPECT_EQ(det(MATRIZ<double>(0, 0)), 1.0);
  EXPECT_EQ(det(MATRIZ<double>(3, 3, 2.0, 0.0, 0.0, 0.0, 3.0, 0.0, 0.0, 0.0, 4.0)), 24.0);
  EXPECT_NEAR(det(MATRIZ<double>(3, 3, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 10.0)), -3.0, 1e-14);
}

TEST(Lu, SolvesSystems) {
  MATRIZ<double> a = gen4();
  VETOR<double> x(4);
  for (int i = 0; i < 4; i++) x(i) = i + 1.0;
  VETOR<double> b(4, 0.0);
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) b(i) += a(i, j) * x(j);
  VETOR<double> r = lineq(a, b);
  ASSERT_EQ(r.n(), 4);
  for (int i = 0; i < 4; i++) EXPECT_NEAR(r(i), x(i), 1e-13);
  EXPECT_EQ(b(0), 13.0);  // the caller's right-hand side is kept

  MATRIZ<double> bm(4, 2);
  for (int i = 0; i < 4; i++) {
    bm(i, 0) = b(i);
    bm(i, 1) = i == 3 ? 1.0 : 0.0;
  }
  MATRIZ<double> rm = lineq(a, bm);
  ASSERT_EQ(rm.nl(), 4);
  ASSERT_EQ(rm.nc(), 2);
  MATRIZ<double> ai = inv(a);
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(rm(i, 0), r(i));
    EXPECT_EQ(rm(i, 1), ai(i, 3));
  }
  expect_near(product(a, ai), identity(4), 1e-14);
  expect_near(product(ai, a), identity(4), 1e-14);
  EXPECT_EQ(inv(MATRIZ<double>(0, 0)).n(), 0);
}

// A right-hand side that starts with zeros skips those rows on the way down.
TEST(Lu, LeadingZerosOfTheRightHandSide) {
  MATRIZ<double> a(3, 3, 4.0, 1.0, 2.0, 1.0, 3.0, 0.0, 2.0, 0.0, 5.0);
  VETOR<double> b(3, 0.0);
  b(2) = 1.0;
  VETOR<double> x = lineq(a, b);
  for (int i = 0; i < 3; i++) {
    double s = 0;
    for (int j = 0; j < 3; j++) s += a(i, j) * x(j);
    EXPECT_NEAR(s, b(i), 1e-15);
  }
  MATRIZ<double> lu(a);
  VETOR<int> indx;
  double par;
  ludcmp(lu, indx, par);
  VETOR<double> zero(3, 0.0);
  lubksb(lu, indx, zero);
  for (int i = 0; i < 3; i++) EXPECT_EQ(zero(i), 0.0);
}

TEST(LuDeath, Failures) {
  MATRIZ<double> rect(2, 3, 1.0);
  VETOR<int> indx;
  double par;
  VETOR<double> b2(2, 1.0), b3(3, 1.0);
  EXPECT_ERRO(ludcmp(rect, indx, par), "Erro: Matriz a nao-quadrada em LUDCMP", "");
  EXPECT_ERRO(lubksb(rect, indx, b2), "Erro: Matriz a nao-quadrada em LUDCMP", "");
  EXPECT_ERRO(lineq(rect, b2), "Erro: Matriz a nao-quadrada em lineq", "");
  EXPECT_ERRO(lineq(rect, MATRIZ<double>(2, 1)), "Erro: Matriz a nao-quadrada em lineq", "");
  EXPECT_ERRO(det(rect), "Erro: Matriz a nao-quadrada em det", "");
  EXPECT_ERRO(inv(rect), "Erro: Matriz a nao-quadrada em inv", "");

  MATRIZ<double> zrow(2, 2, 1.0, 2.0, 0.0, 0.0);
  EXPECT_ERRO(det(zrow), "Erro: Singular matrix in routine LUDCMP", "");
  EXPECT_ERRO(inv(zrow), "Erro: Singular matrix in routine LUDCMP", "");
  EXPECT_ERRO(lineq(zrow, b2), "Erro: Singular matrix in routine LUDCMP", "");
  // Sizes are checked before any arithmetic.
  EXPECT_ERRO(lineq(zrow, b3), "Erro: Dimensao do vetor b", "");
  EXPECT_ERRO(lineq(zrow, MATRIZ<double>(3, 1, 1.0)), "Erro: Dimensao do matriz b", "");

  // lubksb trusts the lengths: a short vector fails in its own access.
  MATRIZ<double> a(3, 3, 4.0, 1.0, 2.0, 1.0, 3.0, 0.0, 2.0, 0.0, 5.0);
  ludcmp(a, indx, par);
  EXPECT_ERRO(lubksb(a, indx, b2), "Erro VETOR::operator() - Indice invalido", "");
  VETOR<int> short_indx(2, 0);
  EXPECT_ERRO(lubksb(a, short_indx, b3), "Erro VETOR::operator() - Indice invalido", "");
}

// ---- Gauss-Jordan ----

TEST(GaussJordan, InvertsAndSolves) {
  MATRIZ<double> a0 = gen4();
  MATRIZ<double> a(a0);
  MATRIZ<double> b(4, 2);
  for (int i = 0; i < 4; i++) {
    b(i, 0) = i + 1.0;
    b(i, 1) = 2.0 - i;
  }
  MATRIZ<double> b0(b);
  EXPECT_EQ(basicgaussjordan(a, b), 0);
  expect_near(product(a0, a), identity(4), 1e-14);
  expect_near(product(a0, b), b0, 1e-13);
  expect_near(b, lineq(a0, b0), 1e-13);

  MATRIZ<double> c(a0);
  MATRIZ<double> none(7, 0);
  gaussj(c, none);
  expect_near(c, a, 1e-15);
}

// The full pivot is off the diagonal: rows are exchanged, then the columns put back.
TEST(GaussJordan, ColumnsPutBackAfterRowExchanges) {
  MATRIZ<double> a(2, 2, 0.0, 2.0, 4.0, 0.0);
  MATRIZ<double> b(2, 1, 6.0, 8.0);
  EXPECT_EQ(basicgaussjordan(a, b), 0);
  expect_near(a, MATRIZ<double>(2, 2, 0.0, 0.25, 0.5, 0.0), 0.0);
  expect_near(b, MATRIZ<double>(2, 1, 2.0, 3.0), 0.0);
  // A right-hand side with a negative column count has no block and nothing to exchange.
  MATRIZ<double> c(2, 2, 0.0, 2.0, 4.0, 0.0), none(2, -1);
  EXPECT_EQ(basicgaussjordan(c, none), 0);
  expect_near(c, MATRIZ<double>(2, 2, 0.0, 0.25, 0.5, 0.0), 0.0);
}

TEST(GaussJordan, StatusCodes) {
  MATRIZ<double> rect(2, 3, 1.0), b(2, 1, 1.0);
  EXPECT_EQ(basicgaussjordan(rect, b), 1);
  expect_near(rect, MATRIZ<double>(2, 3, 1.0), 0.0);

  MATRIZ<double> a(2, 2, 1.0, 2.0, 3.0, 4.0), b3(3, 1, 5.0);
  EXPECT_EQ(basicgaussjordan(a, b3), 2);
  expect_near(a, MATRIZ<double>(2, 2, 1.0, 2.0, 3.0, 4.0), 0.0);
  expect_near(b3, MATRIZ<double>(3, 1, 5.0), 0.0);

  MATRIZ<double> sing(2, 2, 1.0, 2.0, 2.0, 4.0), bs(2, 1, 1.0);
  EXPECT_EQ(basicgaussjordan(sing, bs), 4);
}

TEST(GaussJordanDeath, Failures) {
  MATRIZ<double> sing(2, 2, 1.0, 2.0, 2.0, 4.0), b(2, 1, 1.0);
  EXPECT_ERRO(gaussj(sing, b), "Error in gaussj", "");
  MATRIZ<double> rect(2, 3, 1.0);
  EXPECT_ERRO(gaussj(rect, b), "Error in gaussj", "");
  MATRIZ<double> n1(1, 1, nan_), b1(1, 1, 1.0);
  EXPECT_ERRO(basicgaussjordan(n1, b1), "Erro inesperado", "");
  // No candidate in a later step: the step fails, it does not pivot an earlier step's column
  // again (which returned success with diag(2, NaN) left as a(0, 0) = 2).
  MATRIZ<double> d2(2, 2, 2.0, 0.0, 0.0, nan_), bd(2, 1, 1.0);
  EXPECT_ERRO(basicgaussjordan(d2, bd), "Erro inesperado", "");
  MATRIZ<double> n3(3, 3, 1.0, 0.0, 0.0, 0.0, nan_, nan_, 0.0, nan_, nan_), bn(3, 0);
  EXPECT_ERRO(basicgaussjordan(n3, bn), "Erro inesperado", "");
  EXPECT_ERRO(gaussj(d2, bd), "Erro inesperado", "");
}

}  // namespace
