// Image pyramid: level count and sizes, subsampling, 3 x 3 smoothing against a plain reference,
// reuse of the caller's levels.
#include "processing/algebra/pyramid.h"

#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "processing/algebra/median.h"
#include "processing/algebra/neighbourhood_fixtures.h"
#include "support/test_support.h"

namespace {

IMGGRY noise(int nl, int nc, unsigned seed) {
  return testutil::noise<IMGGRY>(nl, nc, seed, [](std::mt19937& g) { return g(); });
}

std::vector<int> pixels(const IMGGRY& a) { return std::vector<int>(a.data, a.data + a.n()); }

int round_half_away(double x) { return static_cast<int>(std::floor(x + 0.5)); }

// Mean of the samples inside the image over rows i-1..i+1, then over columns j-1..j+1, each
// pass rounded to a grey value.
IMGGRY smooth3(const IMGGRY& a) {
  IMGGRY t(a.nl, a.nc), out(a.nl, a.nc);
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) {
      int sum = 0, count = 0;
      for (int r = l - 1; r <= l + 1; r++)
        if (r >= 0 && r < a.nl()) sum += a.rows[r][c], count++;
      t.rows[l][c] = static_cast<unsigned char>(round_half_away(static_cast<double>(sum) / count));
    }
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) {
      int sum = 0, count = 0;
      for (int s = c - 1; s <= c + 1; s++)
        if (s >= 0 && s < a.nc()) sum += t.rows[l][s], count++;
      out.rows[l][c] =
          static_cast<unsigned char>(round_half_away(static_cast<double>(sum) / count));
    }
  return out;
}

// Level k+1 from level k: even rows and columns of level k, smoothed first if asked.
void expect_levels_follow(const IMGGRY& a, const VETOR<IMGGRY>& v, bool smooth) {
  for (int l = 0; l < v(0).nl(); l++)
    for (int c = 0; c < v(0).nc(); c++) ASSERT_EQ(v(0).rows[l][c], a.rows[l][c]);
  for (int k = 1; k < v.n(); k++) {
    const IMGGRY src = smooth ? smooth3(v(k - 1)) : v(k - 1);
    ASSERT_EQ(v(k).nl() * 2, v(k - 1).nl());
    ASSERT_EQ(v(k).nc() * 2, v(k - 1).nc());
    for (int l = 0; l < v(k).nl(); l++)
      for (int c = 0; c < v(k).nc(); c++)
        ASSERT_EQ(v(k).rows[l][c], src.rows[2 * l][2 * c]) << "level " << k;
  }
}

struct SizeCase {
  int nl, nc, rmin, cmin;
  std::vector<std::pair<int, int>> sizes;
};

class PyramidSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PyramidSizes, LevelsNestAndFollowEachOther) {
  const SizeCase& s = GetParam();
  const IMGGRY a = noise(s.nl, s.nc, s.nl * 7 + s.nc);
  for (char modo : {'m', 'n', 'x'}) {
    SCOPED_TRACE(modo);
    VETOR<IMGGRY> v;
    piramide(a, v, s.rmin, s.cmin, modo);
    std::vector<std::pair<int, int>> sizes;
    for (int k = 0; k < v.n(); k++) sizes.push_back({v(k).nl(), v(k).nc()});
    EXPECT_EQ(sizes, s.sizes);
    expect_levels_follow(a, v, modo == 'm');
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PyramidSizes,
    ::testing::Values(SizeCase{100, 150, 10, 10, {{96, 144}, {48, 72}, {24, 36}, {12, 18}}},
                      SizeCase{64, 64, 8, 8, {{64, 64}, {32, 32}, {16, 16}, {8, 8}}},
                      SizeCase{64, 64, 8, 32, {{64, 64}, {32, 32}}},
                      SizeCase{15, 19, 10, 10, {{15, 19}}}, SizeCase{7, 9, 7, 9, {{7, 9}}},
                      SizeCase{1, 33, 1, 2, {{1, 33}}},
                      SizeCase{31, 17, 3, 2, {{24, 16}, {12, 8}, {6, 4}, {3, 2}}}));

TEST(Pyramid, SmoothingRoundsEachPassAndKeepsConstants) {
  IMGGRY a(4, 4, 200);
  a.rows[0][0] = 1, a.rows[1][0] = 2, a.rows[0][1] = 4, a.rows[1][1] = 7;
  VETOR<IMGGRY> v;
  piramide(a, v, 2, 2, 'm');
  // Columns: (1+2)/2 -> 2 and (4+7)/2 -> 6 (halves away from zero); then (2+6)/2 = 4.
  ASSERT_EQ(v.n(), 2);
  EXPECT_EQ(v(1).rows[0][0], 4);
  EXPECT_EQ(pixels(v(0)), pixels(a));

  VETOR<IMGGRY> w;
  piramide(IMGGRY(32, 16, 93), w, 4, 2, 'm');
  ASSERT_EQ(w.n(), 4);
  for (int k = 0; k < w.n(); k++) EXPECT_EQ(pixels(w(k)), pixels(IMGGRY(w(k).nl, w(k).nc, 93)));
}

TEST(Pyramid, ReusesLevelsOfTheSameSize) {
  const IMGGRY a = noise(16, 16, 3);
  VETOR<IMGGRY> v(2);
  v(0) = IMGGRY(16, 16, 1);
  v(0).backg = 9;
  v(0).lc = 1;
  v(1) = IMGGRY(5, 5, 1);
  v(1).backg = 9;
  piramide(a, v, 8, 8, 'n');
  ASSERT_EQ(v.n(), 2);
  EXPECT_EQ(v(0).backg, 9);  // same size: kept
  EXPECT_EQ(v(0).lc, 1);
  EXPECT_EQ(v(1).backg, 0);  // other size: a new image
  EXPECT_EQ(v(1).lc, 3);
  expect_levels_follow(a, v, false);

  // Another count: every level is new.
  piramide(a, v, 4, 4, 'n');
  ASSERT_EQ(v.n(), 3);
  EXPECT_EQ(v(0).backg, 0);
  EXPECT_EQ(v(0).lc, 7);
  expect_levels_follow(a, v, false);
}

TEST(Pyramid, SourceMayBeOneOfTheLevels) {
  const IMGGRY a = noise(20, 12, 4);
  VETOR<IMGGRY> v(1);
  v(0) = a;
  piramide(v(0), v, 5, 3, 'm');
  ASSERT_EQ(v.n(), 3);
  expect_levels_follow(a, v, true);
}

// Levels by the plain definition, under the plain tier: level 0 the top-left nl x nc block of
// a, each next level the even rows and columns of the one before, after
// mediamov(3, 3, 's', 'e') when smoothing.
std::vector<IMGGRY> reference_levels(const IMGGRY& a, const VETOR<IMGGRY>& sizes, bool smooth) {
  const vistelmo::ScopedIsa plain(vistelmo::Isa::kPlain);
  std::vector<IMGGRY> r;
  for (int k = 0; k < sizes.n(); k++) {
    IMGGRY g(sizes(k).nl, sizes(k).nc);
    const IMGGRY src = k == 0 ? a : smooth ? mediamov(r.back(), 3, 3, 's', 'e') : r.back();
    const int step = k == 0 ? 1 : 2;
    for (int l = 0; l < g.nl(); l++)
      for (int c = 0; c < g.nc(); c++) g.rows[l][c] = src.rows[step * l][step * c];
    r.push_back(g);
  }
  return r;
}

// Every tier against the plain definition, exactly, on awkward sizes (one level, rows shorter
// than a vector, vectors and a tail), from a and from one of v's own levels.
TEST(Pyramid, EveryTierMatchesThePlainDefinition) {
  struct Case {
    int nl, nc, rmin, cmin;
  };
  const Case cases[] = {{1, 1, 1, 1},    {2, 2, 1, 1},    {3, 5, 1, 1},    {7, 67, 1, 1},
                        {12, 131, 1, 1}, {12, 131, 6, 2}, {1, 257, 1, 1},  {257, 3, 1, 1},
                        {6, 150, 3, 1},  {64, 200, 2, 9}, {33, 1030, 4, 3}};
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.nl << "x" << k.nc << " min " << k.rmin << "x" << k.cmin);
    const IMGGRY a = noise(k.nl, k.nc, k.nl * 31 + k.nc);
    for (char modo : {'m', 'n'}) {
      SCOPED_TRACE(modo);
      VETOR<IMGGRY> sizes;
      piramide(a, sizes, k.rmin, k.cmin, modo);
      const std::vector<IMGGRY> want = reference_levels(a, sizes, modo == 'm');
      testutil::for_each_isa([&] {
        // From a; from another level of v; from level 0 of an earlier pyramid of a.
        for (int from : {0, 1, 2}) {
          VETOR<IMGGRY> v(2);
          v(1) = a;
          if (from == 2) piramide(a, v, k.rmin, k.cmin, modo);
          piramide(from == 0 ? a : from == 1 ? v(1) : v(0), v, k.rmin, k.cmin, modo);
          ASSERT_EQ(v.n(), static_cast<int>(want.size()));
          for (int j = 0; j < v.n(); j++) EXPECT_EQ(pixels(v(j)), pixels(want[j])) << "level " << j;
        }
      });
    }
  }
}

TEST(Pyramid, TooSmallOrBadMinimumsAreFatal) {
  VETOR<IMGGRY> v;
  EXPECT_ERRO(piramide(IMGGRY(9, 40, 0), v, 10, 10, 'm'),
              "Erro MATRIZ::operator(l,c) - Indice invalido", "");
  EXPECT_ERRO(piramide(IMGGRY(40, 9, 0), v, 10, 10, 'n'),
              "Erro MATRIZ::operator(l,c) - Indice invalido", "");
  EXPECT_ERRO(piramide(IMGGRY(), v, 1, 1, 'n'), "Erro MATRIZ::operator(l,c) - Indice invalido", "");
  EXPECT_ERRO(piramide(IMGGRY(8, 8, 0), v, 0, 2, 'n'), "Erro: rmin<=0", "");
  EXPECT_ERRO(piramide(IMGGRY(8, 8, 0), v, 2, -1, 'n'), "Erro: cmin<=0", "");
}

}  // namespace
