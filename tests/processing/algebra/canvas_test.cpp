// Canvas enlargement on grey, float, colour and binary images.
#include "processing/algebra/canvas.h"

#include <cstdint>
#include <random>

#include "support/test_support.h"

namespace {

IMGGRY grid(int nl, int nc) {
  IMGGRY a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a.rows[l][c] = static_cast<unsigned char>(10 * l + c + 1);
  a.backg = 200;
  a.lc = nl - 1;
  a.cc = 0;
  return a;
}

using testutil::same;

TEST(Aumcanvas, OddMarginsGoBelowAndRight) {
  const IMGGRY a = grid(3, 3);
  const IMGGRY r = aumcanvas(a, 6, 6, 99);
  ASSERT_EQ(r.nl(), 6);
  ASSERT_EQ(r.nc(), 6);
  EXPECT_EQ(r.lc, 2);
  EXPECT_EQ(r.cc, 2);
  EXPECT_EQ(r.backg, 0);
  for (int l = 0; l < 6; l++)
    for (int c = 0; c < 6; c++) {
      const bool in = l >= 1 && l <= 3 && c >= 1 && c <= 3;
      EXPECT_EQ(r.rows[l][c], in ? a.rows[l - 1][c - 1] : 99) << l << "," << c;
    }
}

// Every pixel against the placement rule, on shapes with margins of every parity, none, or only
// on one axis; grey, float and colour.
template <class Img, class Px>
void check_placement(Px (*px)(int), Px fill) {
  struct Case {
    int nl, nc, to_nl, to_nc;
  };
  for (const Case& k : {Case{1, 1, 1, 1}, Case{1, 1, 4, 7}, Case{7, 67, 12, 131},
                        Case{1, 257, 1, 260}, Case{12, 131, 12, 131}, Case{5, 3, 9, 3},
                        Case{2, 6, 3, 6}, Case{4, 4, 4, 9}, Case{3, 40, 70, 91}}) {
    Img a(k.nl, k.nc);
    for (int l = 0; l < k.nl; l++)
      for (int c = 0; c < k.nc; c++) a.rows[l][c] = px(l * k.nc + c);
    const Img r = aumcanvas(a, k.to_nl, k.to_nc, fill);
    const int dl = (k.to_nl - k.nl) / 2, dc = (k.to_nc - k.nc) / 2;
    for (int l = 0; l < k.to_nl; l++)
      for (int c = 0; c < k.to_nc; c++) {
        const bool in = l >= dl && l < dl + k.nl && c >= dc && c < dc + k.nc;
        ASSERT_TRUE(same(r.rows[l][c], in ? a.rows[l - dl][c - dc] : fill))
            << k.nl << "x" << k.nc << " at " << l << "," << c;
      }
  }
}

unsigned char grey_px(int k) { return static_cast<unsigned char>(k % 97); }
float float_px(int k) { return 0.5f * k - 3.0f; }
COR colour_px(int k) {
  return COR{static_cast<unsigned char>(k), static_cast<unsigned char>(k >> 3),
             static_cast<unsigned char>(255 - k)};
}

TEST(Aumcanvas, EveryPixelOnAwkwardShapes) {
  check_placement<IMGGRY>(grey_px, static_cast<unsigned char>(99));
  check_placement<IMGFLT>(float_px, -7.5f);
  check_placement<IMGCOR>(colour_px, COR{200, 100, 50});
}

TEST(Aumcanvas, SameSizeCopiesPixelsWithDefaultCentreAndOutsideValue) {
  const IMGGRY a = grid(3, 3);
  const IMGGRY r = aumcanvas(a, 3, 3, 99);
  for (int k = 0; k < 9; k++) EXPECT_EQ(r.data[k], a.data[k]);
  EXPECT_EQ(r.lc, 1);
  EXPECT_EQ(r.cc, 1);
  EXPECT_EQ(r.backg, 0);
}

TEST(Aumcanvas, FloatAndColour) {
  IMGFLT f(1, 2);
  f.rows[0][0] = -1.5f;
  f.rows[0][1] = 2.25f;
  f.backg = 7.0f;
  const IMGFLT rf = aumcanvas(f, 2, 5, 0.5f);
  const float want[10] = {0.5f, -1.5f, 2.25f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
  for (int k = 0; k < 10; k++) EXPECT_EQ(rf.data[k], want[k]) << k;
  EXPECT_EQ(rf.backg, 0.0f);

  IMGCOR c(2, 1);
  c.rows[0][0] = COR{1, 2, 3};
  c.rows[1][0] = COR{4, 5, 6};
  c.backg = COR{9, 9, 9};
  const COR fill{200, 100, 50};
  const IMGCOR rc = aumcanvas(c, 5, 2, fill);
  for (int l = 0; l < 5; l++)
    for (int k = 0; k < 2; k++) {
      COR want_c = fill;
      if (k == 0 && l == 1) want_c = c.rows[0][0];
      if (k == 0 && l == 2) want_c = c.rows[1][0];
      EXPECT_TRUE(same(rc.rows[l][k], want_c)) << l << "," << k;
    }
  EXPECT_TRUE(same(rc.backg, COR{0, 0, 0}));
  EXPECT_EQ(rc.lc, 2);
  EXPECT_EQ(rc.cc, 0);
}

TEST(Aumcanvas, EmptyInputGivesTheFill) {
  const IMGGRY r = aumcanvas(IMGGRY(0, 0), 5, 5, 42);
  ASSERT_EQ(r.n(), 25);
  for (int k = 0; k < 25; k++) EXPECT_EQ(r.data[k], 42);
  const IMGBIN b = aumcanvas(IMGBIN(0, 0), 2, 40, false);
  for (int l = 0; l < 2; l++)
    for (int c = 0; c < 40; c++) EXPECT_FALSE(b(l, c));
}

TEST(AumcanvasDeath, SmallerCanvasIsFatal) {
  EXPECT_ERRO(aumcanvas(grid(4, 4), 4, 3, 0), "Erro: Saida menor que entrada", "");
  EXPECT_ERRO(aumcanvas(grid(4, 4), 3, 10, 0), "Erro: Saida menor que entrada", "");
  EXPECT_ERRO(aumcanvas(IMGFLT(2, 2), 1, 2, 0.0f), "Erro: Saida menor que entrada", "");
  EXPECT_ERRO(aumcanvas(IMGCOR(2, 2), 2, 1, COR{0, 0, 0}), "Erro: Saida menor que entrada", "");
  EXPECT_ERRO(aumcanvas(IMGBIN(2, 33), 2, 32, true), "Erro: Saida menor que entrada", "");
}

TEST(Aumcanvas, BinaryFalseFillKeepsWhitePixelsAndWhiteOutside) {
  IMGBIN a(2, 2, true);
  a(0, 1) = false;
  a.backg = 0u;
  const IMGBIN r = aumcanvas(a, 4, 4, false);
  EXPECT_EQ(r.backg & 1u, 1u);
  EXPECT_EQ(r.lc, 1);
  for (int l = 0; l < 4; l++)
    for (int c = 0; c < 4; c++)
      EXPECT_EQ(r(l, c), l >= 1 && l <= 2 && c >= 1 && c <= 2 && !(l == 1 && c == 2))
          << l << "," << c;
}

// The word copy against the pixel rule, for widths and offsets around word boundaries.
TEST(Aumcanvas, BinaryAcrossWordBoundaries) {
  std::mt19937 gen(5);
  const int widths[] = {1, 31, 32, 33, 63, 64, 65};
  const int extras[] = {0, 1, 2, 31, 32, 33, 62, 65};
  for (int nc : widths)
    for (int extra : extras)
      for (bool fill : {false, true}) {
        SCOPED_TRACE(testing::Message() << nc << " + " << extra << " fill " << fill);
        IMGBIN a(3, nc);
        const IMGBIN& ca = a;
        for (int l = 0; l < 3; l++)
          for (int c = 0; c < nc; c++) a(l, c) = (gen() & 1u) != 0;
        const IMGBIN r = aumcanvas(a, 4, nc + extra, fill);
        const int dc = extra / 2;
        int wrong = 0;
        for (int l = 0; l < 4; l++)
          for (int c = 0; c < nc + extra; c++) {
            const bool in = l < 3 && c >= dc && c < dc + nc;
            if (r(l, c) != (in ? ca(l, c - dc) : fill)) wrong++;
          }
        EXPECT_EQ(wrong, 0);
        if ((nc + extra) % 32 != 0) {  // spare bits stay as the fill left them
          const uint32_t spare = 0xFFFFFFFFu >> ((nc + extra) % 32);
          for (int l = 0; l < 4; l++) EXPECT_EQ(r.rows[l][r.wpr - 1] & spare, 0u);
        }
      }
}

}  // namespace
