// Bitmap text: the built-in sheet, cell mapping, puttxt on every image type, replacement sheets.
#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "drawing/text.h"
#include "support/test_support.h"

namespace {

constexpr int kSheetRows = 251, kSheetCols = 381;

// Visible glyph of a code with the default margin: 14 rows of 8 characters, '#' for ink.
std::vector<std::string> glyph(int code, int margin = 5) {
  int l0, c0;
  PutTxt::PosicaoInicial(code, l0, c0);
  std::vector<std::string> g;
  for (int r = 0; r < 24 - 2 * margin; r++) {
    std::string row;
    for (int c = 0; c < 18 - 2 * margin; c++)
      row += PutTxt::f(l0 + margin + r, c0 + margin + c) ? '.' : '#';
    g.push_back(row);
  }
  return g;
}

// The block of a grey image as ink ('#' where the pixel equals ink) and other ('.').
std::vector<std::string> read_block(const IMGGRY& g, int l, int c, int rows, int cols,
                                    unsigned char ink) {
  std::vector<std::string> b;
  for (int r = 0; r < rows; r++) {
    std::string row;
    for (int q = 0; q < cols; q++) row += g(l + r, c + q) == ink ? '#' : '.';
    b.push_back(row);
  }
  return b;
}

IMGGRY grey(int nl, int nc, unsigned char v) {
  IMGGRY g(nl, nc);
  g.fill(v);
  return g;
}

int count_not(const IMGGRY& g, unsigned char v) {
  int n = 0;
  for (int i = 0; i < g.n(); i++) n += g.data[i] != v;
  return n;
}

TEST(FontSheet, BuiltAtLoadWithGridBlankSpaceAndLegibleCells) {
  const IMGBIN& f = PutTxt::f;
  ASSERT_EQ(f.nl(), kSheetRows);
  ASSERT_EQ(f.nc(), kSheetCols);
  EXPECT_EQ(PutTxt::borda, 5);
  EXPECT_EQ(f.backg & 1u, 1u);
  EXPECT_EQ(PutTxt::fixedsys[PutTxt::kWords - 1] & 0x1FFFFu, 0u);  // unused tail bits
  for (int l = 0; l < kSheetRows; l++)
    for (int c = 0; c < kSheetCols; c++)
      if (l % 25 == 0 || c % 19 == 0) {
        ASSERT_FALSE(f(l, c)) << l << "," << c;
      }

  std::set<std::vector<std::string>> seen;
  for (int code = 33; code <= 232; code++) {
    int l0, c0;
    PutTxt::PosicaoInicial(code, l0, c0);
    int ink = 0, ink_outside_block = 0;
    for (int r = 0; r < 24; r++)
      for (int c = 0; c < 18; c++)
        if (!f(l0 + r, c0 + c)) {
          ink++;
          ink_outside_block += r < 5 || r >= 19 || c < 5 || c >= 13;
        }
    EXPECT_EQ(ink_outside_block, 0) << code;  // readable with the default margin
    if (code == 160) {
      EXPECT_EQ(ink, 0);
    } else {
      EXPECT_GT(ink, 0) << code;
    }
    if (code <= 126) {
      EXPECT_TRUE(seen.insert(glyph(code)).second) << "glyph repeated: " << code;
    }
  }
}

TEST(FontSheet, CellOrigins) {
  const struct {
    int ch, l, c;
  } cases[] = {{33, 1, 1},      {52, 1, 362},    {53, 26, 1},     {'A', 26, 229},
               {127, 101, 267}, {' ', 151, 134}, {160, 151, 134}, {'\t', 176, 191},
               {0, 176, 191},   {-56, 176, 191}, {183, 176, 191}, {232, 226, 362}};
  for (const auto& k : cases) {
    int l = -1, c = -1;
    PutTxt::PosicaoInicial(k.ch, l, c);
    EXPECT_EQ(l, k.l) << k.ch;
    EXPECT_EQ(c, k.c) << k.ch;
  }
  // Codes far past the sheet still give a position (off the sheet, read as paper).
  int l = 0, c = 0;
  PutTxt::PosicaoInicial(2147483647, l, c);
  EXPECT_EQ(c, 14 * 19 + 1);
}

TEST(Puttxt, CharactersSideBySideFromTheSheet) {
  IMGGRY g = grey(40, 60, 200);
  puttxt(g, 10, 20, "AB", 0, 1, true, 99);
  EXPECT_EQ(read_block(g, 10, 20, 14, 8, 0), glyph('A'));
  EXPECT_EQ(read_block(g, 10, 28, 14, 8, 0), glyph('B'));
  int ink = 0;
  for (const auto& row : glyph('A')) ink += std::count(row.begin(), row.end(), '#');
  for (const auto& row : glyph('B')) ink += std::count(row.begin(), row.end(), '#');
  EXPECT_EQ(count_not(g, 200), ink);  // nothing else changed
  EXPECT_EQ(g.backg, 0);
}

TEST(Puttxt, ScaleDoublesEveryFontPixel) {
  IMGGRY g = grey(40, 60, 200);
  puttxt(g, 3, 4, "gA", 0, 2, false, 100);
  for (int i = 0; i < 2; i++) {
    const auto want = glyph(i == 0 ? 'g' : 'A');
    for (int r = 0; r < 28; r++)
      for (int q = 0; q < 16; q++)
        ASSERT_EQ(g(3 + r, 4 + 16 * i + q), want[r / 2][q / 2] == '#' ? 0 : 100) << r << "," << q;
  }
  EXPECT_EQ(count_not(g, 200), 2 * 28 * 16);
  IMGGRY none = grey(20, 20, 7);
  puttxt(none, 0, 0, "A", 0, 0, false, 1);
  puttxt(none, 0, 10, "A", 0, -2, false, 1);
  EXPECT_EQ(count_not(none, 7), 0);
}

TEST(Puttxt, SpaceIsPaperEitherPaintedOrLeft) {
  IMGGRY g = grey(20, 30, 50);
  puttxt(g, 2, 3, " A", 0, 1, false, 9);
  EXPECT_EQ(read_block(g, 2, 3, 14, 8, 9), std::vector<std::string>(14, "########"));
  EXPECT_EQ(read_block(g, 2, 11, 14, 8, 0), glyph('A'));
  IMGGRY t = grey(20, 30, 50);
  puttxt(t, 2, 3, " A", 0, 1, true, 9);
  EXPECT_EQ(read_block(t, 2, 3, 14, 8, 50), std::vector<std::string>(14, "########"));
  EXPECT_EQ(read_block(t, 2, 11, 14, 8, 0), glyph('A'));
}

TEST(Puttxt, ControlCodesAndHighBytesDrawTheBoxCell) {
  const auto box = glyph(183);
  for (const std::string s : {"\t", "\x01", "\xC8", "\xFF"}) {
    IMGGRY g = grey(20, 20, 255);
    puttxt(g, 0, 0, s, 0, 1, true, 0);
    EXPECT_EQ(read_block(g, 0, 0, 14, 8, 0), box) << int(static_cast<unsigned char>(s[0]));
  }
  IMGGRY z = grey(20, 30, 255);
  puttxt(z, 0, 0, std::string("A\0B", 3), 0, 1, false, 1);  // stops at the zero
  EXPECT_EQ(read_block(z, 0, 8, 14, 8, 255), std::vector<std::string>(14, "########"));
}

TEST(Puttxt, ClippedAtTheEdgeIntoTheOutsideValue) {
  IMGGRY g = grey(20, 30, 255);
  puttxt(g, 1, 25, "A", 0, 1, false, 77);
  const auto a = glyph('A');
  for (int r = 0; r < 14; r++)
    for (int q = 0; q < 5; q++) EXPECT_EQ(g(1 + r, 25 + q), a[r][q] == '#' ? 0 : 77);
  EXPECT_EQ(g.backg, 77);  // the last write, bottom right of the cell, fell outside
}

TEST(Puttxt, EveryImageTypeDrawsTheSameInk) {
  const std::string s = "Ok!";
  IMGGRY g = grey(20, 30, 255);
  puttxt(g, 2, 1, s, 0, 1, true, 0);

  IMGBIN b(20, 30, true);
  puttxt(b, 2, 1, s, false, 1, true, true);
  IMGCOR k(20, 30, COR{1, 1, 1});
  puttxt(k, 2, 1, s, COR{9, 8, 7}, 1, false, COR{4, 5, 6});
  IMGYUV y(20, 30);
  y.fill(COR{0, 0, 0});
  puttxt(y, 2, 1, s, COR{250, 30, 40}, 1, true, COR{0, 0, 0});
  for (int l = 0; l < 20; l++)
    for (int c = 0; c < 30; c++) {
      const bool ink = g(l, c) == 0;
      const bool in_box = l >= 2 && l < 16 && c >= 1 && c < 25;
      EXPECT_EQ(!b(l, c), ink);
      const COR want = ink ? COR{9, 8, 7} : in_box ? COR{4, 5, 6} : COR{1, 1, 1};
      EXPECT_EQ(k(l, c), want);
      EXPECT_EQ(y.img(l, c) == 250, ink);
      if (ink) {
        const int chroma = (l / 2) * y.cw + c / 2;
        EXPECT_EQ(y.img.data[y.uoff + chroma], 30);
        EXPECT_EQ(y.img.data[y.voff + chroma], 40);
      }
    }
}

class Lefont : public testutil::TempDir {
 protected:
  void SetUp() override {
    TempDir::SetUp();
    saved_ = PutTxt::f;
    saved_margin_ = PutTxt::borda;
  }
  void TearDown() override {
    PutTxt::f = saved_;
    PutTxt::borda = saved_margin_;
    TempDir::TearDown();
  }
  IMGBIN saved_;
  int saved_margin_ = 0;
};

// A replacement sheet as a plain PBM (1 is ink): the built-in grid, cell 'A' filled with a
// checkerboard over its whole interior.
TEST_F(Lefont, ReplacesTheSheetAndTheMargin) {
  int l0, c0;
  PutTxt::PosicaoInicial('A', l0, c0);
  std::string pbm = "P1\n381 251\n";
  for (int l = 0; l < kSheetRows; l++) {
    for (int c = 0; c < kSheetCols; c++) {
      bool ink = !PutTxt::f(l, c);
      if (l >= l0 && l < l0 + 24 && c >= c0 && c < c0 + 18) ink = (l + c) % 2 == 0;
      pbm += ink ? "1 " : "0 ";
    }
    pbm += "\n";
  }
  testutil::write_text(path("sheet.pbm"), pbm);
  lefont(path("sheet.pbm"), 3);
  EXPECT_EQ(PutTxt::borda, 3);
  EXPECT_EQ(PutTxt::f.backg & 1u, 1u);

  IMGGRY g = grey(30, 40, 255);
  puttxt(g, 0, 0, "AA", 0, 1, false, 128);  // 18 x 12 glyphs, advance 12
  for (int r = 0; r < 18; r++)
    for (int q = 0; q < 24; q++)
      ASSERT_EQ(g(r, q), (l0 + 3 + r + c0 + 3 + q % 12) % 2 == 0 ? 0 : 128) << r << "," << q;
  EXPECT_EQ(count_not(g, 255), 18 * 24);

  PutTxt::borda = 9;  // the glyph width 18 - 18 is zero: nothing is drawn
  IMGGRY none = grey(30, 40, 255);
  puttxt(none, 0, 0, "AA", 0, 1, false, 128);
  EXPECT_EQ(count_not(none, 255), 0);
}

TEST_F(Lefont, PositionsOffTheSheetReadAsPaper) {
  testutil::write_text(path("small.pbm"), "P1\n2 2\n1 1\n1 1\n");
  lefont(path("small.pbm"), 0);
  IMGGRY g = grey(30, 40, 255);
  puttxt(g, 0, 0, "!", 0, 1, false, 128);  // cell 33 starts at (1, 1): only (0..0) of it exists
  EXPECT_EQ(g(0, 0), 0);
  EXPECT_EQ(g(0, 1), 128);
  EXPECT_EQ(g(1, 0), 128);
  EXPECT_EQ(count_not(g, 255), 24 * 18);
}

TEST(LefontDeath, UnreadableFileIsFatal) {
  EXPECT_EXIT(
      {
        testutil::stdout_to_stderr();
        lefont("/nonexistent/sheet.pbm", 5);
      },
      ::testing::ExitedWithCode(1), ::testing::HasSubstr("/nonexistent/sheet.pbm"));
}

}  // namespace
