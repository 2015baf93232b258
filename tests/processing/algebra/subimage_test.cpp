// Cut-outs, gluing and pasting.
#include "processing/algebra/subimage.h"

#include <algorithm>
#include <climits>
#include <string>

#include "support/test_support.h"

namespace {

// Pixel (l, c) of an nl x nc grey image is 10 * l + c + 1; centre and outside value moved.
IMGGRY grid(int nl, int nc, unsigned char backg = 9) {
  IMGGRY a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a.rows[l][c] = static_cast<unsigned char>(10 * l + c + 1);
  a.backg = backg;
  a.lc = nl - 1;
  a.cc = 0;
  return a;
}

COR cor(int k) {
  return COR{static_cast<unsigned char>(k), static_cast<unsigned char>(k + 50),
             static_cast<unsigned char>(255 - k)};
}
using testutil::same;

IMGCOR cgrid(int nl, int nc) {
  IMGCOR a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a.rows[l][c] = cor(10 * l + c + 1);
  a.backg = cor(99);
  return a;
}

IMGFLT fgrid(int nl, int nc) {
  IMGFLT a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a.rows[l][c] = -0.5f * (10 * l + c + 1);
  a.backg = 3.75f;
  return a;
}

// ---- subim ----

struct Window {
  int p1, p2, p3, p4;
  char mode;
  int nl, nc, l0, c0;  // expected size and the source position of r(0, 0)
};

// Windows inside, overlapping and beyond a 3 x 4 image.
const Window kWindows[] = {
    {0, 0, 2, 3, 'i', 3, 4, 0, 0},     {1, 1, 1, 2, 'i', 1, 2, 1, 1},
    {-2, -1, 4, 5, 'i', 7, 7, -2, -1}, {5, 6, 6, 8, 'i', 2, 3, 5, 6},
    {-1, -1, 3, 3, 'u', 3, 3, -1, -1}, {2, 3, 2, 2, 'u', 2, 2, 2, 3},
    {2, 3, 3, 4, 'l', 3, 4, 0, 0},     {0, 0, 2, 2, 'l', 2, 2, -1, -1},
    {4, 1, 1, 5, 'l', 1, 5, 4, -3},
};

template <class Img, class Same>
void check_windows(const Img& a, Same same_px) {
  for (const Window& w : kWindows) {
    SCOPED_TRACE(testing::Message()
                 << w.mode << " " << w.p1 << "," << w.p2 << "," << w.p3 << "," << w.p4);
    const Img r = subim(a, w.p1, w.p2, w.p3, w.p4, w.mode);
    ASSERT_EQ(r.nl(), w.nl);
    ASSERT_EQ(r.nc(), w.nc);
    EXPECT_EQ(r.lc, (w.nl - 1) / 2);
    EXPECT_EQ(r.cc, (w.nc - 1) / 2);
    EXPECT_TRUE(same_px(r.backg, Img(1, 1).backg));
    for (int i = 0; i < w.nl; i++)
      for (int j = 0; j < w.nc; j++)
        EXPECT_TRUE(same_px(r.rows[i][j], a(w.l0 + i, w.c0 + j, 'n'))) << i << "," << j;
  }
}

TEST(Subim, EveryTypeReadsTheWindowWithOutsideValuesBeyond) {
  check_windows(grid(3, 4), [](unsigned char x, unsigned char y) { return x == y; });
  check_windows(fgrid(3, 4), [](float x, float y) { return x == y; });
  check_windows(cgrid(3, 4), [](COR x, COR y) { return same(x, y); });
}

TEST(Subim, WholeImageGetsDefaultCentreAndOutsideValue) {
  const IMGGRY a = grid(3, 4);
  const IMGGRY r = subim(a, 0, 0, 2, 3, 'i');
  EXPECT_EQ(r.lc, 1);
  EXPECT_EQ(r.cc, 1);
  EXPECT_EQ(r.backg, 0);
  for (int k = 0; k < a.n(); k++) EXPECT_EQ(r.data[k], a.data[k]);
  const IMGGRY l = subim(a, 2, 3, 3, 4, 'l');
  for (int k = 0; k < a.n(); k++) EXPECT_EQ(l.data[k], a.data[k]);
}

TEST(Subim, UpperLeftOverhangReadsOutsideValue) {
  const IMGGRY a = grid(2, 2, 9);
  const IMGGRY r = subim(a, -1, -1, 3, 3, 'u');
  const unsigned char want[9] = {9, 9, 9, 9, 1, 2, 9, 11, 12};
  for (int k = 0; k < 9; k++) EXPECT_EQ(r.data[k], want[k]) << k;
}

TEST(Subim, OtherLettersGiveTheEmptyImage) {
  const IMGGRY a = grid(3, 4);
  for (char mode : {'I', 'U', 'L', 'x', '\0'}) {
    const IMGGRY r = subim(a, 0, 0, 1, 1, mode);
    EXPECT_EQ(r.nl(), 0);
    EXPECT_EQ(r.nc(), 0);
    EXPECT_EQ(r.data, nullptr);
  }
  EXPECT_EQ(subim(a, 5, 0, 4, 3, 'q').nl(), 0);  // no size check for an unknown letter
}

TEST(SubimDeath, NonPositiveSizeIsFatal) {
  const IMGGRY a = grid(3, 4);
  EXPECT_ERRO(subim(a, 5, 0, 4, 3, 'i'), "Erro: nl ou nc nao-positivo", "");
  EXPECT_ERRO(subim(a, 0, 3, 2, 2, 'i'), "Erro: nl ou nc nao-positivo", "");
  EXPECT_ERRO(subim(a, 0, 0, 0, 2, 'u'), "Erro: nl ou nc nao-positivo", "");
  EXPECT_ERRO(subim(fgrid(2, 2), 1, 1, 2, -1, 'l'), "Erro: nl ou nc nao-positivo", "");
  EXPECT_ERRO(subim(cgrid(2, 2), 1, 1, -3, 1, 'u'), "Erro: nl ou nc nao-positivo", "");
}

TEST(SubimDeath, SizeBeyondIntRangeIsAnAllocationFailure) {
  const IMGGRY a = grid(3, 4);
  EXPECT_ERRO(subim(a, INT_MIN, 0, INT_MAX, 0, 'i'), "Erro IMGGRY::aloca - Falta memoria", "");
  EXPECT_ERRO(subim(cgrid(1, 1), 0, INT_MIN + 1, 0, INT_MAX, 'i'),
              "Erro IMGCOR::aloca - Falta memoria", "");
}

// ---- grudah, grudav ----

TEST(Grudah, GluesTopAlignedWithGapAndFill) {
  const IMGGRY a = grid(2, 3), b = grid(4, 1);
  const IMGGRY r = grudah(a, b, 2, 7);
  ASSERT_EQ(r.nl(), 4);
  ASSERT_EQ(r.nc(), 6);
  EXPECT_EQ(r.lc, 1);
  EXPECT_EQ(r.cc, 2);
  EXPECT_EQ(r.backg, 0);
  for (int l = 0; l < 4; l++)
    for (int c = 0; c < 6; c++) {
      int want = 7;
      if (c < 3 && l < 2) want = a.rows[l][c];
      if (c == 5) want = b.rows[l][0];
      EXPECT_EQ(r.rows[l][c], want) << l << "," << c;
    }
}

TEST(Grudav, GluesLeftAlignedWithGapAndFill) {
  const IMGCOR a = cgrid(1, 2), b = cgrid(2, 3);
  const COR fill = cor(200);
  const IMGCOR r = grudav(a, b, 1, fill);
  ASSERT_EQ(r.nl(), 4);
  ASSERT_EQ(r.nc(), 3);
  EXPECT_TRUE(same(r.backg, COR{0, 0, 0}));
  EXPECT_EQ(r.lc, 1);
  EXPECT_EQ(r.cc, 1);
  const COR want[4][3] = {{a.rows[0][0], a.rows[0][1], fill},
                          {fill, fill, fill},
                          {b.rows[0][0], b.rows[0][1], b.rows[0][2]},
                          {b.rows[1][0], b.rows[1][1], b.rows[1][2]}};
  for (int l = 0; l < 4; l++)
    for (int c = 0; c < 3; c++) EXPECT_TRUE(same(r.rows[l][c], want[l][c])) << l << "," << c;
}

TEST(Grudav, GapZeroStacksEqualWidths) {
  const IMGGRY a = grid(2, 3), b = grid(1, 3);
  const IMGGRY r = grudav(a, b, 0, 7);
  ASSERT_EQ(r.nl(), 3);
  const unsigned char want[9] = {1, 2, 3, 11, 12, 13, 1, 2, 3};
  for (int k = 0; k < 9; k++) EXPECT_EQ(r.data[k], want[k]);
}

TEST(Grudah, ColourImagesBeside) {
  const IMGCOR a = cgrid(1, 1), b = cgrid(2, 2);
  const IMGCOR r = grudah(a, b, 0, cor(5));
  ASSERT_EQ(r.nl(), 2);
  ASSERT_EQ(r.nc(), 3);
  EXPECT_TRUE(same(r.rows[0][0], a.rows[0][0]));
  EXPECT_TRUE(same(r.rows[1][0], cor(5)));
  EXPECT_TRUE(same(r.rows[1][2], b.rows[1][1]));
}

// Every pixel of both glues against the placement rule: shapes of unequal sizes, one side empty,
// single pixels and very wide rows, grey and colour.
template <class Img, class Make, class Px, class Glue>
void check_glue(Make make, Px fill, Glue glue, bool beside) {
  struct Pair {
    int anl, anc, bnl, bnc;
  };
  const Pair kPairs[] = {{1, 1, 1, 1},   {7, 67, 12, 131}, {12, 131, 7, 67},
                         {1, 257, 3, 5}, {3, 5, 1, 257},   {0, 0, 4, 9},
                         {4, 9, 0, 0},   {2, 0, 3, 3},     {5, 3, 5, 3}};
  for (const Pair& p : kPairs)
    for (int gap : {0, 1, 5}) {
      SCOPED_TRACE(testing::Message() << p.anl << "x" << p.anc << " + " << p.bnl << "x" << p.bnc
                                      << " gap " << gap << (beside ? " beside" : " below"));
      const Img a = make(p.anl, p.anc), b = make(p.bnl, p.bnc);
      const Img r = glue(a, b, gap, fill);
      const int bl = beside ? 0 : p.anl + gap, bc = beside ? p.anc + gap : 0;
      ASSERT_EQ(r.nl(), beside ? std::max(p.anl, p.bnl) : bl + p.bnl);
      ASSERT_EQ(r.nc(), beside ? bc + p.bnc : std::max(p.anc, p.bnc));
      int wrong = 0;
      for (int l = 0; l < r.nl(); l++)
        for (int c = 0; c < r.nc(); c++) {
          Px want = fill;
          if (l < p.anl && c < p.anc) want = a.rows[l][c];
          if (l >= bl && l < bl + p.bnl && c >= bc && c < bc + p.bnc) want = b.rows[l - bl][c - bc];
          if (!same(r.rows[l][c], want)) wrong++;
        }
      EXPECT_EQ(wrong, 0);
    }
}

TEST(Glue, EveryPixelOnAwkwardShapes) {
  const auto h = [](const auto& a, const auto& b, int gap, auto fill) {
    return grudah(a, b, gap, fill);
  };
  const auto v = [](const auto& a, const auto& b, int gap, auto fill) {
    return grudav(a, b, gap, fill);
  };
  const auto grey = [](int nl, int nc) { return grid(nl, nc); };
  const unsigned char gfill = 250;
  check_glue<IMGGRY>(grey, gfill, h, true);
  check_glue<IMGGRY>(grey, gfill, v, false);
  check_glue<IMGCOR>(cgrid, cor(77), h, true);
  check_glue<IMGCOR>(cgrid, cor(77), v, false);
}

// A negative gap overlaps: the second image overwrites the first; what falls off the result
// lands in its outside value.
TEST(Grudah, NegativeGapOverlapsAndOverhangGoesOutside) {
  const IMGGRY a = grid(1, 3), b = grid(1, 2, 0);
  IMGGRY r = grudah(a, b, -1, 7);
  ASSERT_EQ(r.nc(), 4);
  const unsigned char want[4] = {1, 2, 1, 2};
  for (int k = 0; k < 4; k++) EXPECT_EQ(r.data[k], want[k]);
  EXPECT_EQ(r.backg, 0);

  IMGGRY v = grudav(grid(2, 1), grid(1, 1), -4, 7);  // -1 rows: b lands above the result
  EXPECT_EQ(v.data, nullptr);
  EXPECT_EQ(v.backg, 1);
}

// ---- copia ----

TEST(Copia, PastesInsideAndLeavesTheRest) {
  IMGGRY dst(3, 4, 0);
  dst.lc = 2;
  dst.backg = 5;
  copia(dst, 1, 2, grid(2, 2));
  const unsigned char want[12] = {0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 11, 12};
  for (int k = 0; k < 12; k++) EXPECT_EQ(dst.data[k], want[k]) << k;
  EXPECT_EQ(dst.backg, 5);
  EXPECT_EQ(dst.lc, 2);
  EXPECT_EQ(dst.nl(), 3);
}

TEST(Copia, OverhangLeavesTheLastOverhangingPixelOutside) {
  IMGGRY dst(3, 3, 0);
  copia(dst, -1, 0, grid(2, 2));
  EXPECT_EQ(dst.rows[0][0], 11);
  EXPECT_EQ(dst.rows[0][1], 12);
  EXPECT_EQ(dst.rows[1][0], 0);
  EXPECT_EQ(dst.backg, 2);  // source pixel (0, 1)

  struct Case {
    int l0, c0;
    unsigned char backg;
  };
  // Source 2 x 3 (1 2 3 / 11 12 13) into a 3 x 3 destination.
  const Case cases[] = {{0, -1, 11}, {0, 1, 13}, {2, 0, 13}, {1, 2, 13}, {-5, -5, 13}, {0, 0, 99}};
  for (const Case& k : cases) {
    IMGGRY d(3, 3, 0);
    d.backg = 99;
    copia(d, k.l0, k.c0, grid(2, 3));
    EXPECT_EQ(d.backg, k.backg) << k.l0 << "," << k.c0;
    for (int i = 0; i < 2; i++)
      for (int j = 0; j < 3; j++) {
        const int l = k.l0 + i, c = k.c0 + j;
        if (l >= 0 && l < 3 && c >= 0 && c < 3) {
          EXPECT_EQ(d.rows[l][c], 10 * i + j + 1);
        }
      }
  }
}

TEST(Copia, ColourAndIntoAnEmptyImage) {
  IMGCOR dst(2, 2, cor(0));
  copia(dst, 1, 1, cgrid(2, 2));
  EXPECT_TRUE(same(dst.rows[1][1], cor(1)));
  EXPECT_TRUE(same(dst.rows[0][0], cor(0)));
  EXPECT_TRUE(same(dst.backg, cor(12)));

  IMGGRY empty;
  copia(empty, 0, 0, grid(2, 2));
  EXPECT_EQ(empty.backg, 12);
  EXPECT_EQ(empty.data, nullptr);
}

// Pasting an image into itself reads its pixels as they were before the paste.
TEST(Copia, IntoItselfReadsTheOriginal) {
  IMGGRY a = grid(2, 3);
  copia(a, 0, 1, a);
  const unsigned char want[6] = {1, 1, 2, 11, 11, 12};
  for (int k = 0; k < 6; k++) EXPECT_EQ(a.data[k], want[k]) << k;
  EXPECT_EQ(a.backg, 13);
}

}  // namespace
