// Function plots: value-to-row scaling, the three modes on both image types, the pen, failures.
#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "drawing/lines.h"
#include "drawing/plots.h"
#include "foundation/constants.h"
#include "support/test_support.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

VETOR<double> vec(std::vector<double> x) {
  VETOR<double> v(static_cast<int>(x.size()));
  for (int i = 0; i < v.n(); i++) v(i) = x[i];
  return v;
}

Pixels black(const IMGBIN& img) {
  Pixels p;
  for (int l = 0; l < img.nl(); l++)
    for (int c = 0; c < img.nc(); c++)
      if (!img(l, c)) p.insert({l, c});
  return p;
}

// Pixels of colour ink; every other pixel must be white.
Pixels inked(const IMGCOR& img, COR ink) {
  Pixels p;
  for (int l = 0; l < img.nl(); l++)
    for (int c = 0; c < img.nc(); c++) {
      if (img(l, c) == ink)
        p.insert({l, c});
      else
        EXPECT_EQ(img(l, c), (COR{255, 255, 255})) << l << "," << c;
    }
  return p;
}

const COR kInk{10, 20, 30};

TEST(FuncaoMinMax, FindsTheRange) {
  double mn = 0, mx = 0;
  FuncaoMinMax(vec({3, -1.5, 7, 2}), mn, mx);
  EXPECT_EQ(mn, -1.5);
  EXPECT_EQ(mx, 7);
}

TEST(FuncaoMinMaxDeath, EmptyOrConstantIsFatal) {
  double mn, mx;
  EXPECT_ERRO(FuncaoMinMax(vec({}), mn, mx), "Erro inesperado FuncaoMinMax", "");
  EXPECT_ERRO(FuncaoMinMax(vec({4}), mn, mx), "Erro inesperado FuncaoMinMax", "");
  EXPECT_ERRO(FuncaoMinMax(vec({2, 2, 2}), mn, mx), "Erro inesperado FuncaoMinMax", "");
}

struct ModeCase {
  char mode;
  Pixels pixels;
  bool moves_pen;
};

class PlotModes : public ::testing::TestWithParam<ModeCase> {};

// v = (0, 1, 2) on 3 rows: scale 1, rows 2, 1, 0.
TEST_P(PlotModes, RampOnThreeRows) {
  const ModeCase& m = GetParam();
  moveto(7, 9);
  IMGBIN b = simplefuncao2imgbin(vec({0, 1, 2}), 3, m.mode);
  ASSERT_EQ(b.nl(), 3);
  ASSERT_EQ(b.nc(), 3);
  EXPECT_EQ(black(b), m.pixels);
  EXPECT_EQ(lcaneta, m.moves_pen ? 0 : 7);
  EXPECT_EQ(ccaneta, m.moves_pen ? 2 : 9);

  moveto(7, 9);
  IMGCOR c = simplefuncao2imgcor(vec({0, 1, 2}), 3, m.mode, kInk);
  EXPECT_EQ(inked(c, kInk), m.pixels);
  EXPECT_EQ(lcaneta, m.moves_pen ? 0 : 7);
  EXPECT_EQ(ccaneta, m.moves_pen ? 2 : 9);
}

INSTANTIATE_TEST_SUITE_P(
    All, PlotModes,
    ::testing::Values(ModeCase{'.', {{2, 0}, {1, 1}, {0, 2}}, false},
                      ModeCase{':', {{2, 0}, {1, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}}, true},
                      ModeCase{'-', {{2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, true}));

TEST(Plots, OneRowPutsEveryValueOnRowZero) {
  IMGBIN b = simplefuncao2imgbin(vec({0, 5, 10, -3}), 1, '.');
  EXPECT_EQ(black(b), (Pixels{{0, 0}, {0, 1}, {0, 2}, {0, 3}}));
}

TEST(Plots, HalfwayRoundsAwayFromTheMinimum) {
  // Two rows: scale 0.5, the middle value is exactly halfway and goes up to row 0.
  IMGBIN b = simplefuncao2imgbin(vec({-2, -1, 0}), 2, '.');
  EXPECT_EQ(black(b), (Pixels{{1, 0}, {0, 1}, {0, 2}}));
  // 11 rows, values 0..4: h = round(2.5 * v) = 0, 3, 5, 8, 10.
  IMGCOR c = simplefuncao2imgcor(vec({0, 1, 2, 3, 4}), 11, '.', kInk);
  EXPECT_EQ(inked(c, kInk), (Pixels{{10, 0}, {7, 1}, {5, 2}, {2, 3}, {0, 4}}));
}

TEST(Plots, StaircaseFallsAndRises) {
  moveto(0, 0);
  IMGBIN b = simplefuncao2imgbin(vec({4, 0, 2}), 5, '-');
  // Rows 0, 4, 2: (0,0); (0,1) then down to (4,1); (4,2) then up to (2,2).
  EXPECT_EQ(black(b),
            (Pixels{{0, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 2}, {3, 2}, {2, 2}}));
  EXPECT_EQ(lcaneta, 2);
  EXPECT_EQ(ccaneta, 2);
}

TEST(Plots, NoRowsDrawsIntoTheOutsideValue) {
  IMGCOR c = simplefuncao2imgcor(vec({0, 1}), 0, '.', kInk);
  EXPECT_EQ(c.n(), 0);
  EXPECT_EQ(c.backg, kInk);
  IMGBIN b = simplefuncao2imgbin(vec({0, 1}), 0, ':');
  EXPECT_EQ(b.n(), 0);
  EXPECT_EQ(b.backg & 1u, 0u);
}

TEST(PlotsDeath, Failures) {
  EXPECT_ERRO(simplefuncao2imgbin(vec({0, 1}), 3, 'x'), "Erro: modo invalido", "");
  EXPECT_ERRO(simplefuncao2imgcor(vec({0, 1}), 3, '+', kInk), "Erro: modo invalido", "");
  // The range is checked before the mode.
  EXPECT_ERRO(simplefuncao2imgbin(vec({1, 1}), 3, 'x'), "Erro inesperado FuncaoMinMax", "");
  EXPECT_ERRO(simplefuncao2imgcor(vec({}), 3, '.', kInk), "Erro inesperado FuncaoMinMax", "");
  // A value that is not a number, or a range wider than a double holds, has no row.
  EXPECT_ERRO(simplefuncao2imgbin(vec({0, NAN, 1}), 3, '.'), "Erro simplefuncao - valor nao finito",
              "");
  EXPECT_ERRO(simplefuncao2imgcor(vec({-1e308, 1e308}), 3, '.', kInk),
              "Erro simplefuncao - valor nao finito", "");
}

}  // namespace
