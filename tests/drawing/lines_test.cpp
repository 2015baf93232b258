// Lines, pens and figures: exact pixel sets on small images, outside writes, every image type.
#include <algorithm>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "drawing/lines.h"
#include "support/test_support.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

constexpr int kN = 16;  // test images are kN x kN, centre (7, 7)

IMGGRY blank_gry(int n = kN) {
  IMGGRY g(n, n);
  g.fill(0);
  return g;
}

// The pixels that are not 0; the outside value must still be 0 unless said otherwise.
Pixels inked(const IMGGRY& g) {
  Pixels s;
  for (int l = 0; l < g.nl(); l++)
    for (int c = 0; c < g.nc(); c++)
      if (g.rows[l][c] != 0) s.insert({l, c});
  return s;
}

Pixels offset(Pixels p, int dl, int dc) {
  Pixels s;
  for (auto [l, c] : p) s.insert({l + dl, c + dc});
  return s;
}

Pixels block(int l0, int c0, int rows, int cols) {
  Pixels s;
  for (int l = l0; l < l0 + rows; l++)
    for (int c = c0; c < c0 + cols; c++) s.insert({l, c});
  return s;
}

// Pixels of a line drawn on each image type; they must agree.
Pixels line_gry(int l1, int c1, int l2, int c2, int t = 1) {
  IMGGRY g = blank_gry();
  reta(g, l1, c1, l2, c2, 9, t);
  EXPECT_EQ(g.backg, 0);
  return inked(g);
}
Pixels line_bin(int l1, int c1, int l2, int c2, int t = 1) {
  IMGBIN b(kN, kN, true);
  reta(b, l1, c1, l2, c2, false, t);
  Pixels s;
  for (int l = 0; l < kN; l++)
    for (int c = 0; c < kN; c++)
      if (!b(l, c)) s.insert({l, c});
  return s;
}
Pixels line_cor(int l1, int c1, int l2, int c2, int t = 1) {
  IMGCOR k(kN, kN, COR{0, 0, 0});
  reta(k, l1, c1, l2, c2, COR{1, 2, 3}, t);
  Pixels s;
  for (int l = 0; l < kN; l++)
    for (int c = 0; c < kN; c++) {
      const COR p = k.rows[l][c];
      if (p != COR{0, 0, 0}) {
        EXPECT_EQ(p, (COR{1, 2, 3}));
        s.insert({l, c});
      }
    }
  return s;
}
Pixels line_yuv(int l1, int c1, int l2, int c2, int t = 1) {
  IMGYUV y(kN, kN);
  y.fill(COR{0, 0, 0});
  reta(y, l1, c1, l2, c2, COR{7, 8, 9}, t);
  Pixels s;
  for (int l = 0; l < kN; l++)  // the luma plane
    for (int c = 0; c < kN; c++)
      if (y.img.rows[l][c] != 0) s.insert({l, c});
  return s;
}

struct LineCase {
  int l1, c1, l2, c2;
  Pixels want;
};

TEST(Reta, WalksLikeTheIntegerLineOnEveryImageType) {
  const LineCase cases[] = {
      {0, 0, 2, 1, {{0, 0}, {1, 1}, {2, 1}}},                  // rows lead, tie steps
      {0, 0, 1, 4, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}}},  // columns lead
      {4, 1, 0, 3, {{0, 3}, {1, 2}, {2, 2}, {3, 1}, {4, 1}}},  // rows lead, leftward
      {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},          // |dl| = |dc|: exact diagonal
      {3, 0, 0, 3, {{3, 0}, {2, 1}, {1, 2}, {0, 3}}},
      {2, 2, 2, 2, {{2, 2}}},  // a point
      {5, 1, 5, 4, {{5, 1}, {5, 2}, {5, 3}, {5, 4}}},
      {1, 6, 4, 6, {{1, 6}, {2, 6}, {3, 6}, {4, 6}}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(testing::Message() << k.l1 << "," << k.c1 << " -> " << k.l2 << "," << k.c2);
    EXPECT_EQ(line_gry(k.l1, k.c1, k.l2, k.c2), k.want);
    EXPECT_EQ(line_gry(k.l2, k.c2, k.l1, k.c1), k.want);  // a line and its reverse agree
    EXPECT_EQ(line_bin(k.l1, k.c1, k.l2, k.c2), k.want);
    EXPECT_EQ(line_cor(k.l1, k.c1, k.l2, k.c2), k.want);
    EXPECT_EQ(line_yuv(k.l1, k.c1, k.l2, k.c2), k.want);
  }
}

TEST(Reta, ThicknessIsASquareBrushFromLessHalf) {
  EXPECT_EQ(line_gry(5, 5, 5, 5, 2), block(4, 4, 2, 2));
  EXPECT_EQ(line_gry(5, 5, 5, 5, 3), block(4, 4, 3, 3));
  EXPECT_EQ(line_gry(5, 5, 5, 5, 4), block(3, 3, 4, 4));
  EXPECT_EQ(line_gry(5, 2, 5, 4, 3), block(4, 1, 3, 5));
  EXPECT_EQ(line_bin(5, 2, 5, 4, 2), block(4, 1, 2, 4));
  EXPECT_EQ(line_gry(1, 1, 9, 9, 0), Pixels{});
  EXPECT_EQ(line_gry(1, 1, 9, 9, -3), Pixels{});
}

TEST(Reta, OutsidePixelsWriteTheOutsideValue) {
  IMGGRY g = blank_gry(4);
  reta(g, 1, 1, 2, 2, 50, 1);
  EXPECT_EQ(g.backg, 0);  // wholly inside
  reta(g, 1, 2, 1, 6, 60, 1);
  EXPECT_EQ(g.backg, 60);
  EXPECT_EQ(inked(g), (Pixels{{1, 1}, {2, 2}, {1, 2}, {1, 3}}));
  reta(g, -1, -1, -1, -1, 70, 3);  // the brush reaches in at (0, 0) only
  EXPECT_EQ(g.rows[0][0], 70);
  EXPECT_EQ(g.backg, 70);

  IMGBIN b(4, 40, true);
  b.backg = 0xFFFFFFFFu;
  reta(b, 0, 38, 0, 41, false, 1);
  EXPECT_EQ(b.backg, 0xFFFFFFFEu);  // only the outside bit changes
  EXPECT_FALSE(b(0, 39));
  reta(b, -2, 0, -2, 3, true, 1);
  EXPECT_EQ(b.backg, 0xFFFFFFFFu);

  IMGCOR k(3, 3, COR{0, 0, 0});
  reta(k, 5, 5, 6, 6, COR{4, 5, 6}, 1);
  EXPECT_EQ(k.backg, (COR{4, 5, 6}));
}

TEST(Reta, YuvWritesLumaAndTheChromaOfTheBlock) {
  IMGYUV y(8, 10);
  y.fill(COR{0, 0, 0});
  reta(y, 3, 5, 3, 5, COR{200, 100, 50}, 1);
  for (int l = 0; l < 12; l++)
    for (int c = 0; c < 10; c++) {
      const int i = l * 10 + c;
      int want = 0;
      if (l == 3 && c == 5) want = 200;
      if (i == y.uoff + 1 * y.cw + 2) want = 100;
      if (i == y.voff + 1 * y.cw + 2) want = 50;
      EXPECT_EQ(y.img.data[i], want) << l << "," << c;
    }
  EXPECT_EQ(y.backg, (COR{128, 128, 128}));
  // Rows past the luma plane are outside, never the chroma bytes stored there.
  reta(y, 8, 0, 9, 9, COR{1, 2, 3}, 1);
  EXPECT_EQ(y.backg, (COR{1, 2, 3}));
  EXPECT_EQ(std::count(y.img.data, y.img.data + y.img.n(), 1), 0);
}

TEST(Reta, PointsAreCentredCartesianAndWalkUpward) {
  IMGGRY g = blank_gry();
  ASSERT_EQ(g.lc, 7);
  ASSERT_EQ(g.cc, 7);
  reta(g, PONTOI2(0, 0), PONTOI2(1, 2), 1);
  EXPECT_EQ(inked(g), (Pixels{{7, 7}, {6, 8}, {5, 8}}));
  IMGGRY h = blank_gry();
  reta(h, 7, 7, 5, 8, 1, 1);  // the integer walk between the same pixels ties the other way
  EXPECT_EQ(inked(h), (Pixels{{7, 7}, {6, 7}, {5, 8}}));

  IMGCOR k(kN, kN, COR{0, 0, 0});
  k.lc = 3;
  k.cc = 4;
  reta(k, PONTOI2(-2, 1), PONTOI2(2, 1), COR{9, 9, 9});  // x from -2 to 2 at y = 1
  for (int c = 2; c <= 6; c++) EXPECT_EQ(k.rows[2][c], (COR{9, 9, 9}));
  IMGBIN b(kN, kN, true);
  reta(b, PONTOI2(0, 0), PONTOI2(1, 2), false);
  EXPECT_FALSE(b(5, 8));
  EXPECT_TRUE(b(5, 7));
}

TEST(Pens, MovetoAndLinetoKeepTheTwoPensApart) {
  moveto(PONTOI2(-1, -1));
  moveto(2, 3);
  IMGGRY g = blank_gry();
  lineto(g, 2, 6, 1);
  EXPECT_EQ(lcaneta, 2);
  EXPECT_EQ(ccaneta, 6);
  lineto(g, 4, 6, 1);
  EXPECT_EQ(inked(g), (Pixels{{2, 3}, {2, 4}, {2, 5}, {2, 6}, {3, 6}, {4, 6}}));
  EXPECT_EQ(caneta, PONTOI2(-1, -1));

  IMGGRY h = blank_gry();
  lineto(h, PONTOI2(1, -1), 1);  // from centred (-1, -1) to (1, -1): row 8, columns 6..8
  EXPECT_EQ(inked(h), (Pixels{{8, 6}, {8, 7}, {8, 8}}));
  EXPECT_EQ(caneta, PONTOI2(1, -1));
  EXPECT_EQ(lcaneta, 4);
  EXPECT_EQ(ccaneta, 6);
  IMGBIN b(kN, kN, true);
  lineto(b, 4, 8, false);
  EXPECT_FALSE(b(4, 7));
  IMGCOR k(kN, kN, COR{0, 0, 0});
  lineto(k, PONTOI2(1, 0), COR{1, 1, 1});
  EXPECT_EQ(k.rows[7][8], (COR{1, 1, 1}));
}

Pixels ring(int r) {
  IMGGRY g = blank_gry();
  circulo(g, 7, 7, r, 1, 1);
  return offset(inked(g), -7, -7);
}

TEST(Circulo, RingsOfSmallRadii) {
  EXPECT_EQ(ring(0), (Pixels{{0, 0}}));
  EXPECT_EQ(ring(1), (Pixels{{0, 1}, {0, -1}, {1, 0}, {-1, 0}}));  // no diagonal neighbour
  EXPECT_EQ(ring(2), (Pixels{{2, 0},
                             {-2, 0},
                             {0, 2},
                             {0, -2},
                             {1, 2},
                             {1, -2},
                             {-1, 2},
                             {-1, -2},
                             {2, 1},
                             {2, -1},
                             {-2, 1},
                             {-2, -1}}));
  Pixels r3 = {{0, 3}, {0, -3}, {3, 0}, {-3, 0}, {2, 2}, {2, -2}, {-2, 2}, {-2, -2}};
  for (int a : {1, -1})
    for (int b : {3, -3}) {
      r3.insert({a, b});
      r3.insert({b, a});
    }
  EXPECT_EQ(ring(3), r3);

  IMGGRY g = blank_gry();
  circulo(g, PONTOI2(2, 1), 2, 1);  // centre pixel (6, 9)
  EXPECT_EQ(inked(g), offset(ring(2), 6, 9));
  IMGGRY t = blank_gry();
  circulo(t, 7, 7, 0, 1, 3);
  EXPECT_EQ(inked(t), block(6, 6, 3, 3));
  IMGGRY z = blank_gry();
  circulo(z, 7, 7, 3, 1, 0);
  EXPECT_EQ(inked(z), Pixels{});
}

TEST(Marks, XisAndCruz) {
  IMGGRY x = blank_gry(), p = blank_gry(), one = blank_gry();
  xis(x, 5, 5, 2, 1);
  cruz(p, 5, 5, 2, 1);
  xis(one, 5, 5, -1, 1);
  cruz(one, 9, 9, 0, 1);
  EXPECT_EQ(inked(x),
            (Pixels{{5, 5}, {4, 4}, {4, 6}, {6, 4}, {6, 6}, {3, 3}, {3, 7}, {7, 3}, {7, 7}}));
  EXPECT_EQ(inked(p),
            (Pixels{{5, 5}, {5, 4}, {5, 6}, {4, 5}, {6, 5}, {5, 3}, {5, 7}, {3, 5}, {7, 5}}));
  EXPECT_EQ(inked(one), (Pixels{{5, 5}, {9, 9}}));
  IMGBIN b(kN, kN, true);
  xis(b, 0, 0, 1, false);
  EXPECT_FALSE(b(1, 1));
  EXPECT_EQ(b.backg & 1u, 0u);  // three arms fell outside
}

TEST(Retang, OutlineFromCornersInAnyOrder) {
  IMGGRY a = blank_gry(), b = blank_gry();
  retang(a, 1, 2, 4, 6, 1, 1);
  retang(b, 4, 6, 1, 2, 1, 1);
  Pixels want = block(1, 2, 4, 5);
  for (auto q : block(2, 3, 2, 3)) want.erase(q);
  EXPECT_EQ(inked(a), want);
  EXPECT_EQ(inked(b), want);
  IMGCOR k(kN, kN, COR{0, 0, 0});
  retang(k, 2, 2, 8, 8, COR{1, 0, 0}, 3);
  EXPECT_EQ(k.rows[1][1], (COR{1, 0, 0}));
  EXPECT_EQ(k.rows[3][3], (COR{1, 0, 0}));
  EXPECT_EQ(k.rows[4][4], (COR{0, 0, 0}));
}

TEST(Dials, HandsPointCounterClockwiseFromUp) {
  const struct {
    double ang;
    Pixels hand;
  } cases[] = {
      {0, {{4, 7}, {5, 7}, {6, 7}, {7, 7}}},
      {90, {{7, 4}, {7, 5}, {7, 6}, {7, 7}}},
      {180, {{7, 7}, {8, 7}, {9, 7}, {10, 7}}},
      {270, {{7, 7}, {7, 8}, {7, 9}, {7, 10}}},
  };
  for (const auto& k : cases) {
    IMGGRY g = blank_gry();
    relogiocircular(g, 7, 7, 3, k.ang, 1, 1);
    Pixels want = offset(ring(3), 7, 7);
    want.insert(k.hand.begin(), k.hand.end());
    EXPECT_EQ(inked(g), want) << k.ang;
  }
}

TEST(Dials, RectangleTurnsWithItsHand) {
  IMGGRY g = blank_gry();
  relogioretangular(g, 7, 7, 4, 4, 0, 1, 1);
  Pixels want = block(6, 6, 4, 4);
  for (auto q : block(7, 7, 2, 2)) want.erase(q);
  want.insert({7, 7});  // hand (7, 7) -> (6, 7)
  EXPECT_EQ(inked(g), want);

  IMGGRY h = blank_gry();
  relogioretangular(h, 7, 7, 4, 4, 90, 1, 1);  // a quarter turn: the hand points left
  Pixels turned = block(5, 6, 4, 4);
  for (auto q : block(6, 7, 2, 2)) turned.erase(q);
  turned.insert({7, 7});
  EXPECT_EQ(inked(h), turned);

  IMGBIN b(kN, kN, true);
  relogioretangular(b, 7, 7, 5, 3, 0, false, 1);  // odd sizes: rows 5..9, columns 6..8
  EXPECT_FALSE(b(5, 6));
  EXPECT_FALSE(b(9, 8));
  EXPECT_FALSE(b(6, 7));  // hand of length 2
  EXPECT_TRUE(b(4, 7));
}

// A turn that is no number gives offsets of 0: the hand and the rectangle shrink to the centre.
TEST(Dials, AngleThatIsNoNumberShrinksToTheCentre) {
  const double nan = std::nan(""), inf = INFINITY;
  IMGGRY g = blank_gry();
  relogiocircular(g, 7, 7, 3, nan, 1, 1);
  Pixels want = offset(ring(3), 7, 7);
  want.insert({7, 7});
  EXPECT_EQ(inked(g), want);
  IMGGRY h = blank_gry();
  relogioretangular(h, 7, 7, 4, 4, inf, 1, 1);
  EXPECT_EQ(inked(h), (Pixels{{7, 7}}));
}

TEST(Flecha, FixedHeadAtTheTip) {
  IMGGRY g = blank_gry();
  flecha(g, 10, 0, 10, 10, 1);
  Pixels want = block(10, 0, 1, 11);
  want.insert({{9, 9}, {8, 8}, {11, 9}, {12, 8}});
  EXPECT_EQ(inked(g), want);

  IMGGRY up = blank_gry();
  flecha(up, 10, 5, 4, 5, 1);  // pointing up: barbs below the tip
  Pixels w = block(4, 5, 7, 1);
  w.insert({{5, 4}, {6, 3}, {5, 6}, {6, 7}});
  EXPECT_EQ(inked(up), w);

  IMGGRY dot = blank_gry();
  flecha(dot, 3, 3, 3, 3, 1);
  EXPECT_EQ(inked(dot), (Pixels{{3, 3}}));
  IMGCOR k(kN, kN, COR{0, 0, 0});
  flecha(k, 0, 0, 0, 1, COR{5, 5, 5});  // length 1 still has barbs, one of them off the image
  EXPECT_EQ(k.rows[1][0], (COR{5, 5, 5}));
  EXPECT_EQ(k.backg, (COR{5, 5, 5}));
}

}  // namespace
