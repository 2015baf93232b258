#include <sstream>
#include <string>

#include "numerics/matrizbit.h"
#include "support/test_support.h"

namespace {

const char kIndex[] = "Erro MATRIZBIT::operator() - Indice invalido";

std::string streamed(const MATRIZBIT& m) {
  std::ostringstream os;
  os << m;
  return os.str();
}

// Rows of '0'/'1' read back through the element access.
std::string rows(const MATRIZBIT& m) {
  std::string s;
  for (int l = 0; l < m.nl; l++) {
    for (int c = 0; c < m.nc; c++) s += m(l, c) ? '1' : '0';
    s += '/';
  }
  return s;
}

TEST(MatrizBit, RowsFollowEachOtherInOneBitStream) {
  MATRIZBIT m(3, 11, false);
  EXPECT_EQ(m.n, 33);
  EXPECT_EQ(m.nw, 2);
  m(1, 0) = true;
  EXPECT_EQ(m.words[0], 0x00100000u);
  m(2, 10) = true;
  EXPECT_EQ(m.words[1] & 0x80000000u, 0x80000000u);
  m(0, 0) = true;
  m(0, 10) = true;
  EXPECT_EQ(m.words[0], 0x80300000u);
  EXPECT_EQ(rows(m), "10000000001/10000000000/00000000001/");
}

TEST(MatrizBit, EmptySizes) {
  MATRIZBIT a(3, 0);
  EXPECT_EQ(a.nw, 0);
  EXPECT_EQ(a.words, nullptr);
  MATRIZBIT b(0, 5);
  EXPECT_EQ(b.n, 0);
  EXPECT_EQ(b.nw, 1);
  EXPECT_NE(b.words, nullptr);
  MATRIZBIT c(-2, 5, true);
  EXPECT_EQ(c.nw, 0);
  EXPECT_EQ(c.words, nullptr);
  EXPECT_EQ(streamed(c), "");
}

TEST(MatrizBit, FillingConstructors) {
  EXPECT_EQ(rows(MATRIZBIT(2, 3, true)), "111/111/");
  EXPECT_EQ(rows(MATRIZBIT(2, 3, 1, 0, 1, 0, 1, 1)), "101/011/");
  EXPECT_EQ(rows(MATRIZBIT(1, 2, false, true)), "01/");
  EXPECT_EQ(rows(MATRIZBIT(3, 1, true, false, 5)), "1/0/1/");
  EXPECT_ERRO(MATRIZBIT(2, 2, 1, 0, 1), "Erro MATRIZBIT(nl,nc,b0,b1,...) - faltam valores", "");
}

TEST(MatrizBit, CopiesResizeAndAssignment) {
  MATRIZBIT a(5, 13, false);
  for (int l = 0; l < 5; l++)
    for (int c = 0; c < 13; c++) a(l, c) = (l * 13 + c) % 3 == 0;
  std::string want = rows(a);
  MATRIZBIT b(a);
  EXPECT_EQ(rows(b), want);
  b(0, 0) = false;
  EXPECT_EQ(rows(a), want);

  uint32_t* block = a.words;
  a.resize(5, 13);
  EXPECT_EQ(a.words, block);
  EXPECT_EQ(rows(a), want);

  MATRIZBIT s(2, 3, 1, 0, 1, 0, 1, 1), t(3, 2, false);
  t = s;  // equal n, other shape: reallocated to 2 x 3
  EXPECT_EQ(t.nl, 2);
  EXPECT_EQ(t.nc, 3);
  EXPECT_EQ(rows(t), "101/011/");
  t = *&t;  // assignment to itself
  EXPECT_EQ(rows(t), "101/011/");

  MATRIZBIT u(5, 13, true);
  block = u.words;
  u = a;
  EXPECT_EQ(u.words, block);
  EXPECT_EQ(rows(u), want);
  u.resize(2, 2);
  EXPECT_EQ(u.n, 4);
  EXPECT_EQ(u.nw, 1);
}

TEST(MatrizBit, StreamForm) {
  EXPECT_EQ(streamed(MATRIZBIT(2, 3, 1, 0, 1, 0, 1, 1)), "[1 0 1 ]\n[0 1 1 ]\n");
  EXPECT_EQ(streamed(MATRIZBIT(0, 4)), "");
  EXPECT_EQ(streamed(MATRIZBIT(2, 0)), "[]\n[]\n");
}

TEST(MatrizBit, IndexChecks) {
  MATRIZBIT m(2, 3, false);
  const int bad[][2] = {{-1, 0}, {2, 0}, {0, -1}, {0, 3}};
  for (const auto& b : bad) EXPECT_ERRO(m(b[0], b[1]), kIndex, "");
  MATRIZBIT empty(0, 5);
  EXPECT_ERRO(empty(0, 0), kIndex, "");
}

}  // namespace
