// Zoom passes about the centre, two-factor zoom, rotation with zoom, and their messages.
#include "processing/algebra/zoom.h"

#include <cmath>
#include <vector>

#include "processing/algebra/planes.h"
#include "processing/algebra/rotation.h"
#include "support/test_support.h"

namespace {

template <class Img>
Img make(int nl, int nc, std::vector<double> v, int lc, int cc, double backg = 0) {
  Img a(nl, nc);
  for (int k = 0; k < nl * nc; k++) a.data[k] = static_cast<typename Img::Pixel>(v[k]);
  a.lc = lc;
  a.cc = cc;
  a.backg = static_cast<typename Img::Pixel>(backg);
  return a;
}

// A destination frame with its centre.
template <class Img>
Img frame(int nl, int nc, int lc, int cc) {
  Img b(nl, nc);
  b.lc = lc;
  b.cc = cc;
  return b;
}

template <class Img>
std::vector<double> values(const Img& a) {
  return std::vector<double>(a.data, a.data + (a.data ? a.n() : 0));
}

TEST(ZoomPass, HalfFactorAveragesSymmetrically) {
  // Offsets -4..4; destination offsets -2..2 take {-4,-3}, {-2,-1}, {0}, {1,2}, {3,4}.
  const IMGFLT f = make<IMGFLT>(1, 9, {1, 2, 4, 8, 16, 32, 64, 128, 256}, 0, 4);
  IMGFLT bf = frame<IMGFLT>(1, 5, 0, 2);
  ZoomF::zoomx(f, bf, 0.5, 'C');
  EXPECT_EQ(values(bf), (std::vector<double>{1.5, 6, 16, 48, 192}));

  const IMGGRY g = make<IMGGRY>(1, 9, {10, 11, 20, 21, 50, 60, 61, 100, 103}, 0, 4);
  IMGGRY bg = frame<IMGGRY>(1, 5, 0, 2);
  ZoomG::zoomx(g, bg, 0.5, 'X');
  EXPECT_EQ(values(bg), (std::vector<double>{11, 21, 50, 61, 102}));  // halves away from zero

  // The same along a column: offsets upward, row 0 at the top.
  const IMGFLT fc = make<IMGFLT>(9, 1, {256, 128, 64, 32, 16, 8, 4, 2, 1}, 4, 0);
  IMGFLT bc = frame<IMGFLT>(5, 1, 2, 0);
  ZoomF::zoomy(fc, bc, 0.5, 'C');
  EXPECT_EQ(values(bc), (std::vector<double>{192, 48, 16, 6, 1.5}));
}

TEST(ZoomPass, DoubleFactorInterpolates) {
  const IMGFLT f = make<IMGFLT>(1, 3, {10, 20, 40}, 0, 1);
  IMGFLT b = frame<IMGFLT>(1, 5, 0, 2);
  ZoomF::zoomx(f, b, 2, 'X');
  EXPECT_EQ(values(b), (std::vector<double>{10, 15, 20, 30, 40}));

  // Rows: the destination row just above the centre is the mean of the centre row and the one
  // above it.
  const IMGGRY g = make<IMGGRY>(3, 1, {30, 20, 10}, 1, 0);
  IMGGRY c = frame<IMGGRY>(5, 1, 2, 0);
  ZoomG::zoomy(g, c, 2, 'X');
  EXPECT_EQ(values(c), (std::vector<double>{30, 25, 20, 15, 10}));
}

TEST(ZoomPass, FactorOneCopies) {
  const IMGFLT f = make<IMGFLT>(2, 3, {1.25, -2, 3, 4, 5e7, 6}, 1, 0, 9);
  for (bool horizontal : {true, false}) {
    IMGFLT b = frame<IMGFLT>(2, 3, 1, 0);
    horizontal ? ZoomF::zoomx(f, b, 1, 'C') : ZoomF::zoomy(f, b, 1, 'C');
    EXPECT_EQ(values(b), values(f));
  }
}

TEST(ZoomPass, UnreachedPixelsTakeTheNearestSample) {
  // Source offsets -1..1 land on -1..1; destination offsets +-2 and +-3 read s(+-4), s(+-6).
  const IMGGRY g = make<IMGGRY>(1, 3, {5, 6, 7}, 0, 1, 99);
  IMGGRY c = frame<IMGGRY>(1, 7, 0, 3), x = c;
  ZoomG::zoomx(g, c, 0.5, 'C');
  ZoomG::zoomx(g, x, 0.5, 'X');
  EXPECT_EQ(values(c), (std::vector<double>{99, 99, 5, 6, 7, 99, 99}));
  EXPECT_EQ(values(x), (std::vector<double>{5, 5, 5, 6, 7, 7, 7}));
  const IMGFLT f = make<IMGFLT>(3, 1, {7, 6, 5}, 1, 0, 0.5);
  IMGFLT y = frame<IMGFLT>(7, 1, 3, 0);
  ZoomF::zoomy(f, y, 0.5, 'C');
  EXPECT_EQ(values(y), (std::vector<double>{0.5, 0.5, 7, 6, 5, 0.5, 0.5}));
}

TEST(ZoomPass, OtherAxisReadsTheSameOffset) {
  // zoomx: destination row offset y reads source row offset y; rows beyond read the border.
  const IMGGRY g = make<IMGGRY>(2, 2, {1, 2, 3, 4}, 0, 0, 50);
  IMGGRY b = frame<IMGGRY>(3, 2, 1, 0);  // row offsets 1, 0, -1
  ZoomG::zoomx(g, b, 1, 'C');
  EXPECT_EQ(values(b), (std::vector<double>{50, 50, 1, 2, 3, 4}));
  ZoomG::zoomx(g, b, 1, 'X');
  EXPECT_EQ(values(b), (std::vector<double>{1, 2, 1, 2, 3, 4}));
  // zoomy: destination column offset x reads source column offset x.
  IMGGRY c = frame<IMGGRY>(2, 3, 0, 1);  // column offsets -1, 0, 1
  ZoomG::zoomy(g, c, 0.5, 'C');
  // Row offsets 0, -1 of the source land on 0 and round(-0.5) = -1.
  EXPECT_EQ(values(c), (std::vector<double>{50, 1, 2, 50, 3, 4}));
}

TEST(ZoomPass, FloatLetterGoesToTheAccess) {
  // 'n' reads (x, y) as (row, column): at factor 1, b(x, y) = a(row x, column y).
  const IMGFLT f = make<IMGFLT>(2, 2, {1, 2, 3, 4}, 0, 0, -1);
  IMGFLT b = frame<IMGFLT>(2, 2, 1, 0);  // pixel (l, c) has x = c, y = 1 - l
  ZoomF::zoomx(f, b, 1, 'n');
  EXPECT_EQ(values(b), (std::vector<double>{2, 4, 1, 3}));
  ZoomF::zoomx(f, b, 1, 14);
  IMGFLT c = frame<IMGFLT>(2, 2, 1, 0);
  ZoomF::zoomx(f, c, 1, 'C');
  EXPECT_EQ(values(b), values(c));
}

TEST(ZoomPass, EmptySourceReadsTheOutsideValue) {
  IMGGRY empty;
  empty.backg = 4;
  IMGGRY b = frame<IMGGRY>(1, 3, 0, 1);
  ZoomG::zoomx(empty, b, 0.5, 'X');
  EXPECT_EQ(values(b), (std::vector<double>{4, 4, 4}));
  IMGFLT ef;
  ef.backg = 2;
  IMGFLT c = frame<IMGFLT>(2, 1, 0, 0);
  ZoomF::zoomy(ef, c, 3, 'X');
  EXPECT_EQ(values(c), (std::vector<double>{2, 2}));
}

TEST(ZoomPass, SourceMayBeTheDestination) {
  IMGFLT f = make<IMGFLT>(1, 3, {10, 20, 40}, 0, 1);
  ZoomF::zoomx(f, f, 2, 'X');  // offsets -1..1 read -0.5, 0, 0.5
  EXPECT_EQ(values(f), (std::vector<double>{15, 20, 30}));
}

TEST(ZoomFat, LargerFactorPassRunsFirst) {
  IMGGRY a(4, 5);
  for (int k = 0; k < 20; k++) a.data[k] = static_cast<unsigned char>((k * 37) % 251);
  a.backg = 200;
  struct Case {
    double fx, fy;
    bool horizontal_first;
  };
  for (const Case t : {Case{0.5, 2, false}, Case{2, 0.5, true}, Case{1.5, 2, false},
                       Case{1.5, 1.5, true}, Case{0.7, 0.6, true}, Case{0.6, 0.7, false}}) {
    SCOPED_TRACE(t.fx * 10 + t.fy);
    for (char border : {'C', 'X'}) {
      IMGGRY b = frame<IMGGRY>(6, 7, 3, 2);
      zoomfat(a, b, t.fx, t.fy, border);
      IMGGRY h = frame<IMGGRY>(a.nl, 7, a.lc, 2), v = frame<IMGGRY>(6, a.nc, 3, a.cc);
      h.backg = v.backg = a.backg;
      IMGGRY bh = frame<IMGGRY>(6, 7, 3, 2), bv = bh;
      ZoomG::zoomx(a, h, t.fx, border);
      ZoomG::zoomy(h, bh, t.fy, border);
      ZoomG::zoomy(a, v, t.fy, border);
      ZoomG::zoomx(v, bv, t.fx, border);
      EXPECT_EQ(values(b), values(t.horizontal_first ? bh : bv));
      EXPECT_EQ(b.lc, 3);
      EXPECT_EQ(b.cc, 2);
    }
  }
  // The order shows: the two compositions differ on this fixture (intermediate rounding).
  IMGGRY h = frame<IMGGRY>(a.nl, 7, a.lc, 2), v = frame<IMGGRY>(6, a.nc, 3, a.cc);
  h.backg = v.backg = a.backg;
  IMGGRY bh = frame<IMGGRY>(6, 7, 3, 2), bv = bh;
  ZoomG::zoomx(a, h, 1.5, 'C');
  ZoomG::zoomy(h, bh, 2, 'C');
  ZoomG::zoomy(a, v, 2, 'C');
  ZoomG::zoomx(v, bv, 1.5, 'C');
  EXPECT_NE(values(bh), values(bv));
}

TEST(ZoomFat, EmptyDestinationIsLeftAlone) {
  const IMGGRY a = make<IMGGRY>(2, 2, {1, 2, 3, 4}, 0, 0);
  IMGGRY b;
  zoomfat(a, b, 2, 3);
  EXPECT_EQ(b.nl(), 0);
  EXPECT_EQ(b.nc(), 0);
}

TEST(ZoomFat, ColourRunsOnEachPlane) {
  IMGCOR a(3, 4);
  for (int k = 0; k < 12; k++)
    a.data[k] = COR{static_cast<unsigned char>(20 * k), static_cast<unsigned char>(255 - 7 * k),
                    static_cast<unsigned char>((k * 91) % 256)};
  a.backg = COR{255, 0, 0};
  IMGCOR b(5, 7);
  b.lc = 1;
  b.cc = 4;
  b.backg = COR{1, 2, 3};
  zoomfat(a, b, 1.5, 0.8, 'C');
  EXPECT_EQ(b.lc, 1);
  EXPECT_EQ(b.cc, 4);
  EXPECT_EQ(b.backg, (COR{0, 0, 0}));
  IMGGRY r, g, bl;
  prisma(a, r, g, bl);
  const IMGGRY* planes[3] = {&r, &g, &bl};
  for (int ch = 0; ch < 3; ch++) {
    IMGGRY want = frame<IMGGRY>(5, 7, 1, 4);
    zoomfat(*planes[ch], want, 1.5, 0.8, 'C');
    for (int k = 0; k < 35; k++) {
      const COR p = b.data[k];
      EXPECT_EQ(ch == 0 ? p.r : ch == 1 ? p.g : p.b, want.data[k]) << ch << "," << k;
    }
  }
  // Outside the source with 'C' reads black, not a's red outside colour: column offset -4.
  EXPECT_EQ(b.rows[1][0], (COR{0, 0, 0}));
}

TEST(RotZoom, IdentityAtAngleZeroFactorOne) {
  const IMGGRY g = make<IMGGRY>(3, 4, {0, 1, 2, 3, 250, 251, 252, 253, 9, 8, 7, 6}, 1, 2, 100);
  for (char border : {'C', 'X'}) {
    IMGGRY b = frame<IMGGRY>(3, 4, 1, 2);
    rotzoom(g, b, 0, 1, border);
    EXPECT_EQ(values(b), values(g));
  }
  const IMGFLT f = make<IMGFLT>(2, 3, {0.1, -2.5, 3e-8, 4, 5, 6}, 0, 1);
  IMGFLT b = frame<IMGFLT>(2, 3, 0, 1);
  rotzoom(f, b, 0, 1, 'C');
  EXPECT_EQ(values(b), values(f));
}

TEST(RotZoom, EnlargingInterpolatesAndRoundsHalfAway) {
  const IMGGRY g = make<IMGGRY>(1, 2, {0, 255}, 0, 0);
  IMGGRY b = frame<IMGGRY>(1, 3, 0, 0);
  rotzoom(g, b, 0, 2, 'X');
  EXPECT_EQ(values(b), (std::vector<double>{0, 128, 255}));  // 127.5 stored as 128
  const IMGFLT f = make<IMGFLT>(1, 2, {1, 2}, 0, 0, 10);
  IMGFLT c = frame<IMGFLT>(1, 4, 0, 1);
  rotzoom(f, c, 0, 2, 'C');
  EXPECT_EQ(values(c), (std::vector<double>{5.5, 1, 1.5, 2}));  // offset -1 blends the outside
}

TEST(RotZoom, QuarterTurnMatchesRotation) {
  IMGGRY g(3, 5);
  for (int k = 0; k < 15; k++) g.data[k] = static_cast<unsigned char>(10 + 13 * k);
  const IMGGRY want = rotacao(g, 90, 'b', 'a', 'C');
  IMGGRY b = frame<IMGGRY>(want.nl, want.nc, want.lc, want.cc);
  rotzoom(g, b, 90, 1, 'C');
  EXPECT_EQ(values(b), values(want));
  // At 30 degrees with factor 1 both use the same bilinear rule.
  const IMGGRY w30 = rotacao(g, 30, 'b', 'a', 'X');
  IMGGRY b30 = frame<IMGGRY>(w30.nl, w30.nc, w30.lc, w30.cc);
  rotzoom(g, b30, 30, 1, 'X');
  EXPECT_EQ(values(b30), values(w30));
}

// A factor below 1 shrinks first (ceil sizes and the caller's letter for grey, rounded sizes
// and 'X' for float), then rotates at factor 1.
TEST(RotZoom, ShrinksBeforeRotating) {
  IMGGRY g(10, 10);
  for (int k = 0; k < 100; k++) g.data[k] = static_cast<unsigned char>((k * 53) % 256);
  g.backg = 77;
  const IMGFLT f = IMGFLT(g);
  struct Case {
    double f;
    int grey_size, float_size;
  };
  for (const Case t : {Case{0.5, 5, 5}, Case{0.52, 6, 5}}) {
    SCOPED_TRACE(t.f);
    for (char border : {'C', 'X'}) {
      IMGGRY mid = frame<IMGGRY>(t.grey_size, 10, 2, 4),
             small = frame<IMGGRY>(t.grey_size, t.grey_size, 2, 2);
      ZoomG::zoomy(g, mid, t.f, border);
      mid.backg = 77;
      small.backg = 77;
      ZoomG::zoomx(mid, small, t.f, border);
      IMGGRY want = frame<IMGGRY>(7, 6, 3, 2), got = want;
      rotzoom(small, want, 25, 1, border);
      rotzoom(g, got, 25, t.f, border);
      EXPECT_EQ(values(got), values(want));
    }
    IMGFLT fmid = frame<IMGFLT>(t.float_size, 10, 2, 4),
           fsmall = frame<IMGFLT>(t.float_size, t.float_size, 2, 2);
    ZoomF::zoomy(f, fmid, t.f, 'X');
    ZoomF::zoomx(fmid, fsmall, t.f, 'X');
    IMGFLT want = frame<IMGFLT>(7, 6, 3, 2), got = want;
    rotzoom(fsmall, want, -40, 1, 'C');  // outside value 0: the shrunk source is freshly sized
    rotzoom(f, got, -40, t.f, 'C');
    EXPECT_EQ(values(got), values(want));
  }
}

TEST(RotZoom, SourceMayBeTheDestination) {
  IMGGRY g = make<IMGGRY>(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 1, 1);
  const IMGGRY want = rotacao(g, 90, 'b', 'm', 'X');
  rotzoom(g, g, 90, 1, 'X');
  EXPECT_EQ(values(g), values(want));
}

TEST(RotZoom, ColourRunsOnEachPlane) {
  IMGCOR a(4, 4);
  for (int k = 0; k < 16; k++)
    a.data[k] = COR{static_cast<unsigned char>(15 * k), static_cast<unsigned char>(200 - 9 * k),
                    static_cast<unsigned char>((k * 71) % 256)};
  a.backg = COR{9, 9, 9};
  IMGCOR b(6, 5);
  b.lc = 2;
  b.cc = 3;
  b.backg = COR{50, 60, 70};
  rotzoom(a, b, 35, 0.75, 'X');
  EXPECT_EQ(b.backg, (COR{0, 0, 0}));
  EXPECT_EQ(b.lc, 2);
  EXPECT_EQ(b.cc, 3);
  const IMGGRY planes[3] = {red(a), green(a), blue(a)};
  for (int ch = 0; ch < 3; ch++) {
    IMGGRY p = planes[ch];
    p.lc = a.lc;
    p.cc = a.cc;
    p.backg = 0;
    IMGGRY want = frame<IMGGRY>(6, 5, 2, 3);
    rotzoom(p, want, 35, 0.75, 'X');
    for (int k = 0; k < 30; k++) {
      const COR q = b.data[k];
      EXPECT_EQ(ch == 0 ? q.r : ch == 1 ? q.g : q.b, want.data[k]) << ch << "," << k;
    }
  }
}

TEST(ZoomDeath, Messages) {
  const IMGGRY g = make<IMGGRY>(2, 2, {1, 2, 3, 4}, 0, 0);
  const IMGFLT f = IMGFLT(g);
  const IMGCOR c(2, 2, COR{1, 2, 3});
  IMGGRY bg(2, 2);
  IMGFLT bf(2, 2);
  IMGCOR bc(2, 2);
  const char* border = "Erro: Borda deve ser C ou X (default)";
  EXPECT_ERRO(ZoomG::zoomx(g, bg, 1, 'x'), border, "");
  EXPECT_ERRO(ZoomG::zoomy(g, bg, 1, 'c'), border, "");
  EXPECT_ERRO(zoomfat(g, bg, 0, -1, 'n'), border, "");  // the letter is checked first
  EXPECT_ERRO(zoomfat(c, bc, 1, 1, 14), border, "");
  EXPECT_ERRO(rotzoom(g, bg, 0, 0, 'Z'), border, "");
  EXPECT_ERRO(rotzoom(c, bc, 0, 1, 'x'), border, "");
  EXPECT_ERRO(zoomfat(g, bg, 0, -1), "Erro: fatx<=0", "");
  EXPECT_ERRO(zoomfat(c, bc, 1, 0, 'C'), "Erro: faty<=0", "");
  EXPECT_ERRO(rotzoom(g, bg, 0, 0), "Erro: Fator<=0.0", "");
  EXPECT_ERRO(rotzoom(f, bf, 0, -2, 'q'), "Erro: Fator<=0.0", "");
  EXPECT_ERRO(rotzoom(c, bc, 0, -0.5), "Erro: Fator<=0.0", "");
  EXPECT_ERRO(rotzoom(f, bf, 0, 1, 'q'), "Erro: Modo de acesso invalido", "");
  EXPECT_ERRO(ZoomF::zoomx(f, bf, 0.5, 'q'), "Erro: Modo de acesso invalido", "");
  EXPECT_ERRO(ZoomF::zoomy(f, bf, 3, 'e'), "Indice invalido", "");
}

TEST(ZoomPass, FloatLetterDefaultsToX) {
  const IMGFLT f = make<IMGFLT>(1, 3, {10, 20, 40}, 0, 1, -5);
  IMGFLT b = frame<IMGFLT>(2, 7, 0, 3), x = b;
  ZoomF::zoomx(f, b, 0.5);
  ZoomF::zoomx(f, x, 0.5, 'X');
  EXPECT_EQ(values(b), values(x));
  ZoomF::zoomy(f, b, 2);
  ZoomF::zoomy(f, x, 2, 'X');
  EXPECT_EQ(values(b), values(x));
  rotzoom(f, b, 30, 0.5);
  rotzoom(f, x, 30, 0.5, 'X');
  EXPECT_EQ(values(b), values(x));
}

TEST(ZoomPass, UnknownFloatLetterIsQuietWithoutPixels) {
  const IMGFLT f = make<IMGFLT>(1, 1, {1}, 0, 0);
  IMGFLT b;
  ZoomF::zoomx(f, b, 2, 'q');
  rotzoom(f, b, 10, 1, 'q');
  EXPECT_EQ(b.nl(), 0);
}

}  // namespace
