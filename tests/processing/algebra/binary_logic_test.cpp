// Binary logic and the interval operator, against pixel-by-pixel references, over widths
// around the word size.
#include <cstring>
#include <functional>
#include <string>

#include "processing/algebra/binary_logic.h"
#include "processing/algebra/pointwise_fixtures.h"
#include "support/test_support.h"

namespace {

using pwtest::kBinWidths;
using pwtest::pattern;

struct LogicOp {
  const char* name;
  std::function<IMGBIN(const IMGBIN&, const IMGBIN&)> op;
  std::function<bool(bool, bool)> rule;
  const char* mismatch;
};

const LogicOp kOps[] = {
    {"xor", [](auto& a, auto& b) { return a ^ b; }, [](bool x, bool y) { return x != y; },
     "Erro IMGBIN::operator^ - As imagens nao tem o mesmo tamanho"},
    {"and", [](auto& a, auto& b) { return a && b; }, [](bool x, bool y) { return x && y; },
     "Erro IMGBIN::operator&& - As imagens nao tem o mesmo tamanho"},
    {"or", [](auto& a, auto& b) { return a || b; }, [](bool x, bool y) { return x || y; },
     "Erro IMGBIN::operator|| - As imagens nao tem o mesmo tamanho"},
};

class BinaryLogic : public ::testing::TestWithParam<LogicOp> {};

TEST_P(BinaryLogic, EveryPixelFollowsTheRule) {
  const LogicOp& op = GetParam();
  for (int nc : kBinWidths) {
    SCOPED_TRACE(nc);
    IMGBIN a = pattern(4, nc, 1), b = pattern(4, nc, 2);
    pwtest::soil_spare_bits(a);
    pwtest::soil_spare_bits(b);
    a.lc = b.lc = 0;
    a.cc = b.cc = 0;
    const IMGBIN r = op.op(a, b);
    ASSERT_EQ(r.nl(), 4);
    ASSERT_EQ(r.nc(), nc);
    for (int l = 0; l < 4; l++)
      for (int c = 0; c < nc; c++) ASSERT_EQ(r(l, c), op.rule(a(l, c), b(l, c))) << l << "," << c;
    EXPECT_TRUE(pwtest::spare_bits_clear(r));
    EXPECT_EQ(r.lc, 1);
    EXPECT_EQ(r.cc, (nc - 1) / 2);
  }
}

TEST_P(BinaryLogic, OutsideValues) {
  const LogicOp& op = GetParam();
  for (bool x : {false, true})
    for (bool y : {false, true}) {
      IMGBIN a(2, 2, true), b(2, 2, true);
      a.backg = x;
      b.backg = y;
      EXPECT_EQ((op.op(a, b).backg & 1u) != 0, op.rule(x, y)) << x << " " << y;
    }
}

TEST_P(BinaryLogic, SameWordsButOtherWidthIsFatal) {
  EXPECT_ERRO(GetParam().op(IMGBIN(3, 40), IMGBIN(3, 41)), GetParam().mismatch, "");
  EXPECT_ERRO(GetParam().op(IMGBIN(3, 40), IMGBIN(2, 40)), GetParam().mismatch, "");
}

INSTANTIATE_TEST_SUITE_P(All, BinaryLogic, ::testing::ValuesIn(kOps),
                         [](const ::testing::TestParamInfo<LogicOp>& info) {
                           return std::string(info.param.name);
                         });

TEST(BinaryLogicSelf, WithItself) {
  for (int nc : kBinWidths) {
    IMGBIN a = pattern(3, nc, 5);
    a.backg = 1;
    const IMGBIN x = a ^ a, both = a && a, either = a || a;
    for (int l = 0; l < 3; l++)
      for (int c = 0; c < nc; c++) {
        EXPECT_FALSE(x(l, c));
        EXPECT_EQ(both(l, c), a(l, c));
        EXPECT_EQ(either(l, c), a(l, c));
      }
    EXPECT_EQ(x.backg & 1u, 0u);
  }
  EXPECT_EQ((IMGBIN(0, 3) ^ IMGBIN(0, 3)).nl(), 0);
}

// ---- interval operator

// The window walk as described: white unless some element has a < e1 or a > e2.
IMGBIN primint_reference(const IMGBIN& a, const IMGBIN& e1, const IMGBIN& e2) {
  IMGBIN r(a.nl, a.nc);
  for (int l = 0; l < a.nl; l++)
    for (int c = 0; c < a.nc; c++) {
      bool verdict = true;
      for (int i = 0; i < e1.nl && verdict; i++)
        for (int j = 0; j < e1.nc && verdict; j++) {
          const bool x = a(l + i - e1.lc, c + j - e1.cc, 'n');
          if (x < e1(i, j) || x > e2(i, j)) verdict = false;
        }
      r(l, c) = verdict;
    }
  return r;
}

// Structuring pairs: e1 white asks for white, e2 black for black.
struct Window {
  const char* name;
  int nl, nc, lc, cc;
  const char* cells;  // per element: 'w' needs white, 'b' needs black, '.' any, 'x' both
};

const Window kWindows[] = {
    {"cross", 3, 3, 1, 1, ".w.wbw.w."},
    {"corner", 2, 2, 0, 0, "wb.b"},
    {"row to the left", 1, 5, 0, 4, "bbw.w"},
    {"column below", 4, 1, 0, 0, "wbbw"},
    {"wide, centre off", 2, 40, 1, 3,
     "w......................................b"
     "..b...................................w."},
    {"beyond the window", 1, 3, 0, -34, "w.b"},
    {"reaches far", 3, 1, -3, 0, "b.w"},
};

void build(const Window& w, IMGBIN& e1, IMGBIN& e2) {
  ASSERT_EQ(std::strlen(w.cells), static_cast<size_t>(w.nl * w.nc)) << w.name;
  e1.resize(w.nl, w.nc);
  e2.resize(w.nl, w.nc);
  for (int i = 0; i < w.nl; i++)
    for (int j = 0; j < w.nc; j++) {
      const char k = w.cells[i * w.nc + j];
      e1(i, j) = k == 'w' || k == 'x';
      e2(i, j) = !(k == 'b' || k == 'x');
    }
  e1.lc = e2.lc = w.lc;
  e1.cc = e2.cc = w.cc;
}

TEST(Primint, MatchesTheWindowWalk) {
  for (const Window& w : kWindows) {
    IMGBIN e1, e2;
    build(w, e1, e2);
    int whites = 0;  // the windows must also be met somewhere
    for (int nc : kBinWidths)
      for (bool outside : {false, true}) {
        SCOPED_TRACE(std::string(w.name) + " width " + std::to_string(nc) +
                     (outside ? " white outside" : " black outside"));
        IMGBIN a = pattern(5, nc, nc * 3 + 1);
        pwtest::soil_spare_bits(a);
        a.backg = outside;
        const IMGBIN r = primint(a, e1, e2);
        EXPECT_TRUE(testutil::same_pixels(r, primint_reference(a, e1, e2)));
        EXPECT_TRUE(pwtest::spare_bits_clear(r));
        EXPECT_EQ(r.backg & 1u, 1u);
        EXPECT_EQ(r.lc, 2);
        EXPECT_EQ(r.cc, (nc - 1) / 2);
        for (int l = 0; l < r.nl; l++)
          for (int c = 0; c < r.nc; c++) whites += r(l, c);
      }
    EXPECT_GT(whites, 0) << w.name;
  }
}

TEST(Primint, SpecialWindows) {
  const IMGBIN a = pattern(4, 33, 9);
  const auto run = [&a](int nl, int nc, bool v1, bool v2) {
    return primint(a, IMGBIN(nl, nc, v1), IMGBIN(nl, nc, v2));
  };
  const IMGBIN any = run(3, 5, false, true), copy = run(1, 1, true, true),
               complement = run(1, 1, false, false), never = run(1, 1, true, false),
               none = run(0, 3, true, false);
  for (int l = 0; l < 4; l++)
    for (int c = 0; c < 33; c++) {
      EXPECT_TRUE(any(l, c));
      EXPECT_EQ(copy(l, c), a(l, c));
      EXPECT_EQ(complement(l, c), !a(l, c));
      EXPECT_FALSE(never(l, c));
      EXPECT_TRUE(none(l, c));
    }
}

TEST(Primint, ReadsTheOutsideValueNearTheBorder) {
  // Requires black one column to the right: the last column reads the white outside value.
  IMGBIN a(2, 33, false);
  a.backg = 1;
  IMGBIN e1(1, 2, false), e2(1, 2, true);
  e2(0, 1) = false;
  e1.cc = e2.cc = 0;
  const IMGBIN r = primint(a, e1, e2);
  for (int l = 0; l < 2; l++) {
    for (int c = 0; c < 32; c++) EXPECT_TRUE(r(l, c));
    EXPECT_FALSE(r(l, 32));
  }
  EXPECT_EQ(primint(IMGBIN(0, 0), e1, e2).nl(), 0);
}

TEST(Primint, StructuringImagesMustAgree) {
  const IMGBIN a(4, 4, true);
  IMGBIN e1(3, 3, false), e2(3, 3, true);
  e2.lc = 0;
  EXPECT_ERRO(primint(a, e1, e2), "Erro primint: e1 e e2 devem mesmos centros", "");
  e2.lc = 1;
  e2.cc = 2;
  EXPECT_ERRO(primint(a, e1, e2), "Erro primint: e1 e e2 devem mesmos centros", "");
  const IMGBIN wide(3, 5, true);  // other width and another centre: the size is checked first
  EXPECT_ERRO(primint(a, e1, wide), "Erro primint: e1 e e2 devem ter mesmas dimensoes", "");
  EXPECT_ERRO(primint(a, e1, IMGBIN(2, 3, true)),
              "Erro primint: e1 e e2 devem ter mesmas dimensoes", "");
}

}  // namespace
