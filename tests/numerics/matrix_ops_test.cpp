#include <cmath>
#include <vector>

#include "foundation/constants.h"
#include "numerics/matrix_ops.h"
#include "support/test_support.h"

namespace {

// A 2 x 3 matrix with distinct entries: 1 2 3 / 4 5 6.
MATRIZ<double> m23() { return MATRIZ<double>(2, 3, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0); }

void expect_matrix(const MATRIZ<double>& r, int nl, int nc, const std::vector<double>& want) {
  ASSERT_EQ(r.nl(), nl);
  ASSERT_EQ(r.nc(), nc);
  ASSERT_EQ(r.n(), static_cast<int>(want.size()));
  for (int k = 0; k < r.n(); k++) EXPECT_EQ(r.data[k], want[k]) << "element " << k;
}

TEST(MatrixOps, TransposeSwapsRowsAndColumns) {
  expect_matrix(trans(m23()), 3, 2, {1, 4, 2, 5, 3, 6});
  expect_matrix(trans(MATRIZ<double>(1, 3, 7.0, 8.0, 9.0)), 3, 1, {7, 8, 9});
  expect_matrix(trans(MATRIZ<double>(0, 0)), 0, 0, {});
}

TEST(MatrixOps, Identity) {
  expect_matrix(ident(3), 3, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1});
  expect_matrix(ident(1), 1, 1, {1});
  expect_matrix(ident(0), 0, 0, {});
}

TEST(MatrixOps, ElementwiseOperationsLeaveOperandsUnchanged) {
  MATRIZ<double> a = m23();
  MATRIZ<double> b(2, 3, 0.5, -1.0, 2.0, 0.25, 10.0, -6.0);
  expect_matrix(2.5 * a, 2, 3, {2.5, 5, 7.5, 10, 12.5, 15});
  expect_matrix(-a, 2, 3, {-1, -2, -3, -4, -5, -6});
  expect_matrix(a + b, 2, 3, {1.5, 1, 5, 4.25, 15, 0});
  expect_matrix(a - b, 2, 3, {0.5, 3, 1, 3.75, -5, 12});
  expect_matrix(a, 2, 3, {1, 2, 3, 4, 5, 6});
  expect_matrix(b, 2, 3, {0.5, -1.0, 2.0, 0.25, 10.0, -6.0});
}

TEST(MatrixOps, NegatingZeroGivesNegativeZero) {
  MATRIZ<double> r = -MATRIZ<double>(1, 2, 0.0, -0.0);
  EXPECT_TRUE(std::signbit(r.data[0]));
  EXPECT_FALSE(std::signbit(r.data[1]));
}

TEST(MatrixOps, MatrixProduct) {
  MATRIZ<double> b(3, 2, 1.0, 0.0, -1.0, 2.0, 0.5, 3.0);
  expect_matrix(m23() * b, 2, 2, {0.5, 13, 2, 28});
  expect_matrix(trans(m23()) * m23(), 3, 3, {17, 22, 27, 22, 29, 36, 27, 36, 45});
}

// The sum runs from the first term on: (1e16 + 1) - 1e16 is 0 in this order, 1 in any other.
TEST(MatrixOps, ProductSumsInAscendingOrder) {
  MATRIZ<double> a(1, 3, 1e16, 1.0, -1e16);
  MATRIZ<double> b(3, 1, 1.0, 1.0, 1.0);
  EXPECT_EQ((a * b).data[0], 0.0);
  VETOR<double> x(3, 1.0);
  EXPECT_EQ((a * x)(0), 0.0);
  EXPECT_EQ((x * b)(0), 3.0);
  EXPECT_EQ((VETOR<double>(1, 1.0) * a)(1), 1.0);
  MATRIZ<double> c(3, 1, 1e16, 1.0, -1e16);
  EXPECT_EQ((x * c)(0), 0.0);
}

TEST(MatrixOps, EmptyInnerDimensionGivesZeros) {
  expect_matrix(MATRIZ<double>(2, 0) * MATRIZ<double>(0, 3), 2, 3, {0, 0, 0, 0, 0, 0});
  VETOR<double> r = MATRIZ<double>(3, 0) * VETOR<double>(0);
  ASSERT_EQ(r.n(), 3);
  for (int i = 0; i < 3; i++) EXPECT_EQ(r(i), 0.0);
  VETOR<double> s = VETOR<double>(0) * MATRIZ<double>(0, 2);
  ASSERT_EQ(s.n(), 2);
  EXPECT_EQ(s(0), 0.0);
  EXPECT_EQ(s(1), 0.0);
}

TEST(MatrixOps, VectorProducts) {
  VETOR<double> x(3);
  x(0) = 1;
  x(1) = -1;
  x(2) = 2;
  VETOR<double> r = m23() * x;
  ASSERT_EQ(r.n(), 2);
  EXPECT_EQ(r(0), 5.0);
  EXPECT_EQ(r(1), 11.0);
  VETOR<double> y(2);
  y(0) = 2;
  y(1) = -1;
  VETOR<double> s = y * m23();
  ASSERT_EQ(s.n(), 3);
  EXPECT_EQ(s(0), -2.0);
  EXPECT_EQ(s(1), -1.0);
  EXPECT_EQ(s(2), 0.0);
}

TEST(MatrixOps, Trace) {
  EXPECT_EQ(trace(MATRIZ<double>(2, 2, 1.5, 9.0, 9.0, 2.25)), 3.75);
  EXPECT_EQ(trace(MATRIZ<double>(0, 0)), 0.0);
}

TEST(MatrixOps, NormsOfEachKind) {
  MATRIZ<double> a(2, 2, 3.0, -4.0, 0.0, 0.0);
  EXPECT_EQ(comprimento(a, 2.0), 5.0);
  EXPECT_EQ(comprimento(a, 1.0), 7.0);
  EXPECT_EQ(comprimento(a, infinito), 4.0);
  EXPECT_EQ(comprimento(a, 3.0), std::pow(91.0, 1.0 / 3.0));
  // Above 1e30 the power formula is used: 4^1e31 overflows.
  EXPECT_EQ(comprimento(a, 1e31), HUGE_VAL);
  MATRIZ<double> empty(0, 0);
  for (double p : {1.0, 2.0, 3.0, infinito}) EXPECT_EQ(comprimento(empty, p), 0.0) << p;
}

TEST(MatrixOpsDeath, SizeMismatches) {
  MATRIZ<double> a = m23();
  MATRIZ<double> b(3, 2, 0.0);
  EXPECT_ERRO(a + b, "operator+: As matrizes nao tem o mesmo tamanho", "");
  EXPECT_ERRO(a - b, "operator-: As matrizes nao tem o mesmo tamanho", "");
  EXPECT_ERRO(a * a, "operator*: Numero de colunas != numero de linhas", "");
  EXPECT_ERRO(a * VETOR<double>(2), "operator*: Numero de colunas != numero de linhas", "");
  EXPECT_ERRO(VETOR<double>(3) * a, "operator*: Numero de elementos != numero de linhas", "");
  EXPECT_ERRO(trace(a), "Erro: Matriz nao-quadrada", "");
}

TEST(MatrixOpsDeath, NormBelowOne) {
  MATRIZ<double> a(1, 1, 1.0);
  EXPECT_ERRO(comprimento(a, 0.5), "Erro: p<1.0", "");
  EXPECT_ERRO(comprimento(a, std::nan("")), "Erro: p<1.0", "");
}

}  // namespace
