// The planar 4:2:0 frame: layout, storage rules, conversions and messages.
#include <string>
#include <vector>

#include "support/test_support.h"
#include "vistelmo.h"

namespace {

COR rgb(int r, int g, int b) {
  return COR{static_cast<unsigned char>(r), static_cast<unsigned char>(g),
             static_cast<unsigned char>(b)};
}

void expect_cor(COR got, COR want) {
  EXPECT_EQ(got.r, want.r);
  EXPECT_EQ(got.g, want.g);
  EXPECT_EQ(got.b, want.b);
}

std::vector<int> block_of(const IMGYUV& y) {
  return std::vector<int>(y.img.data, y.img.data + y.img.n());
}

TEST(Yuv, LayoutFields) {
  struct Case {
    int nl, nc, rows, uoff, voff, cw;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 0, 0}, {2, 2, 3, 4, 5, 1}, {4, 6, 6, 24, 30, 3}, {0, 4, 0, 0, 0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nl * 100 + c.nc);
    const IMGYUV y(c.nl, c.nc);
    EXPECT_EQ(y.nl(), c.nl);
    EXPECT_EQ(y.nc(), c.nc);
    EXPECT_EQ(y.img.nl(), c.rows);
    EXPECT_EQ(y.img.nc(), c.rows > 0 ? c.nc : 0);
    EXPECT_EQ(y.uoff, c.uoff);
    EXPECT_EQ(y.voff, c.voff);
    EXPECT_EQ(y.cw, c.cw);
    expect_cor(y.backg, rgb(128, 128, 128));
  }
}

TEST(Yuv, ColourTwoByTwoTo420) {
  // One red pixel and three black: the chroma comes from the mean colour (63, 0, 0).
  const IMGCOR c(2, 2, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const IMGYUV y(c);
  EXPECT_EQ(block_of(y), (std::vector<int>{81, 16, 16, 16, 119, 156}));
  expect_cor(y.backg, rgb(16, 128, 128));
}

TEST(Yuv, ColourBlocksAndBack) {
  // Two 2 x 2 blocks side by side, each of one colour: chroma per block, colour back per block.
  const COR a = rgb(200, 40, 10), b = rgb(0, 90, 250);
  IMGCOR c(2, 4);
  for (int l = 0; l < 2; l++)
    for (int k = 0; k < 4; k++) c(l, k) = k < 2 ? a : b;
  c.backg = rgb(255, 255, 255);
  const IMGYUV y(c);
  ASSERT_EQ(y.img.n(), 12);
  for (int i = 0; i < 8; i++) EXPECT_EQ(y.img.data[i], RGB2Y(i % 4 < 2 ? a : b));
  EXPECT_EQ(y.img.data[8], RGB2U(a));
  EXPECT_EQ(y.img.data[9], RGB2U(b));
  EXPECT_EQ(y.img.data[10], RGB2V(a));
  EXPECT_EQ(y.img.data[11], RGB2V(b));
  expect_cor(y.backg, RGB2YUV(c.backg));

  const IMGCOR back(y);
  for (int l = 0; l < 2; l++)
    for (int k = 0; k < 4; k++) expect_cor(back(l, k), YUV2RGB(RGB2YUV(k < 2 ? a : b)));
  expect_cor(back.backg, rgb(255, 255, 255));
}

TEST(Yuv, ChromaServesItsBlockWithoutInterpolation) {
  IMGYUV y(2, 4);
  const unsigned char bytes[12] = {16, 100, 150, 235, 50, 60, 70, 80, 90, 200, 170, 40};
  std::copy(bytes, bytes + 12, y.img.data);
  y.backg = rgb(235, 128, 128);
  const IMGCOR c(y);
  for (int l = 0; l < 2; l++)
    for (int k = 0; k < 4; k++)
      expect_cor(c(l, k), YUV2RGB(rgb(bytes[l * 4 + k], bytes[8 + k / 2], bytes[10 + k / 2])));
  expect_cor(c.backg, rgb(255, 255, 255));
}

TEST(Yuv, GreyRoundTrips) {
  IMGGRY g(2, 4, 0, 1, 127, 128, 200, 254, 255, 16);
  g.backg = 77;
  const IMGYUV y(g);
  expect_cor(y.backg, rgb(77, 128, 128));
  for (int i = 8; i < 12; i++) EXPECT_EQ(y.img.data[i], 128);

  const IMGGRY back(y);
  ASSERT_EQ(back.n(), 8);
  for (int i = 0; i < 8; i++) EXPECT_EQ(back.data[i], g.data[i]);
  EXPECT_EQ(back.backg, 77);

  const IMGCOR c(y);
  for (int i = 0; i < 8; i++) expect_cor(c.data[i], YUV2RGB(rgb(g.data[i], 128, 128)));
  expect_cor(c.backg, YUV2RGB(rgb(77, 128, 128)));
}

TEST(Yuv, FillBlackGivesBlackColour) {
  IMGYUV y(4, 6);
  y.fill(rgb(16, 128, 128));
  const IMGCOR c(y);
  for (int i = 0; i < c.n(); i++) expect_cor(c.data[i], rgb(0, 0, 0));
  y.fill(rgb(1, 2, 3));
  EXPECT_EQ(y.img.data[23], 1);
  EXPECT_EQ(y.img.data[24], 2);
  EXPECT_EQ(y.img.data[29], 2);
  EXPECT_EQ(y.img.data[30], 3);
  EXPECT_EQ(y.img.data[35], 3);
}

TEST(Yuv, InicializaRebuildsFields) {
  IMGYUV y;
  y.img.aloca(9, 4);
  y.backg = rgb(1, 2, 3);
  y.inicializa();
  EXPECT_EQ(y.nl(), 6);
  EXPECT_EQ(y.nc(), 4);
  EXPECT_EQ(y.uoff, 24);
  EXPECT_EQ(y.voff, 30);
  EXPECT_EQ(y.cw, 2);
  expect_cor(y.backg, rgb(1, 2, 3));
}

TEST(Yuv, ResizeAndAlocaKeepBytesAtSameSize) {
  IMGYUV y(2, 2);
  y.fill(rgb(10, 20, 30));
  y.backg = rgb(1, 2, 3);
  const unsigned char* block = y.img.data;
  y.resize(2, 2);
  EXPECT_EQ(y.img.data, block);
  expect_cor(y.backg, rgb(1, 2, 3));
  y.aloca(2, 2);
  EXPECT_EQ(y.img.data, block);
  EXPECT_EQ(block_of(y), (std::vector<int>{10, 10, 10, 10, 20, 30}));
  expect_cor(y.backg, rgb(128, 128, 128));
  y.resize(0, 0);
  EXPECT_EQ(y.img.nl(), 0);
  EXPECT_EQ(y.img.data, nullptr);
}

TEST(Yuv, CopyAndAssignment) {
  IMGYUV a(2, 2);
  a.fill(rgb(5, 6, 7));
  a.backg = rgb(9, 8, 7);
  const IMGYUV b(a);
  EXPECT_EQ(block_of(b), block_of(a));
  expect_cor(b.backg, a.backg);

  IMGYUV c(4, 4);
  c = a;
  EXPECT_EQ(c.nl(), 2);
  EXPECT_EQ(c.uoff, 4);
  EXPECT_EQ(block_of(c), block_of(a));
  c = *&c;  // assignment to itself
  EXPECT_EQ(block_of(c), block_of(a));

  IMGYUV d(2, 2);
  const unsigned char* block = d.img.data;
  d = IMGGRY(2, 2, 1, 2, 3, 4);
  EXPECT_EQ(d.img.data, block);
  EXPECT_EQ(block_of(d), (std::vector<int>{1, 2, 3, 4, 128, 128}));
  d = IMGCOR(2, 2, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(block_of(d), (std::vector<int>{81, 16, 16, 16, 119, 156}));
}

TEST(Yuv, TargetCentreRule) {
  const IMGYUV y(IMGGRY(4, 6, 50));
  IMGGRY g(4, 6);
  g.lc = g.cc = 0;
  g = y;
  EXPECT_EQ(g.lc, 0);
  EXPECT_EQ(g.cc, 0);
  EXPECT_EQ(g(3, 5), 50);
  IMGCOR c(1, 1);
  c = y;
  EXPECT_EQ(c.lc, 1);
  EXPECT_EQ(c.cc, 2);
  const IMGGRY made(y);
  EXPECT_EQ(made.lc, 1);
  EXPECT_EQ(made.cc, 2);
}

TEST(Yuv, EmptyConvertsToEmpty) {
  IMGGRY g;
  g.backg = 40;
  const IMGYUV y(g);
  EXPECT_EQ(y.img.n(), 0);
  expect_cor(y.backg, rgb(40, 128, 128));
  const IMGCOR c(y);
  EXPECT_EQ(c.n(), 0);
  expect_cor(c.backg, YUV2RGB(rgb(40, 128, 128)));
}

struct SizeCase {
  const char* name;
  int nl, nc;
  const char* msg;
};
void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.nl << "x" << c.nc; }

class YuvSizeDeath : public ::testing::TestWithParam<SizeCase> {};

TEST_P(YuvSizeDeath, Refused) {
  const SizeCase c = GetParam();
  EXPECT_ERRO(IMGYUV(c.nl, c.nc), c.msg, "");
}

const char kParity[] = "Erro: IMGYUV deve ter NL e NC pares";
const char kNegative[] = "Erro: IMGYUV com NL ou NC negativo";

// Parity is checked before sign.
INSTANTIATE_TEST_SUITE_P(Messages, YuvSizeDeath,
                         ::testing::Values(SizeCase{"OddRows", 3, 4, kParity},
                                           SizeCase{"OddColumns", 4, 3, kParity},
                                           SizeCase{"OddNegativeRows", -3, 4, kParity},
                                           SizeCase{"OddNegativeColumns", 4, -1, kParity},
                                           SizeCase{"NegativeRows", -2, 4, kNegative},
                                           SizeCase{"NegativeColumns", 2, -2, kNegative}),
                         [](const ::testing::TestParamInfo<SizeCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(YuvDeath, OddColourImage) { EXPECT_ERRO(IMGYUV(IMGCOR(3, 2)), kParity, ""); }

TEST(YuvDeath, Inicializa) {
  EXPECT_ERRO(
      {
        IMGYUV y;
        y.inicializa();
      },
      "Erro: IMGYUV.img deve ser inicializado antes de chamar inicializa()", "");
  for (int rows : {8, 9}) {
    const int cols = rows == 8 ? 4 : 3;
    EXPECT_ERRO(
        {
          IMGYUV y;
          y.img.aloca(rows, cols);
          y.inicializa();
        },
        "Erro: IMGYUV.img deve ter NL divisivel por 3 e NC par", "");
  }
}

TEST(YuvDeath, CopiaIntoAnotherSize) {
  const char* msg = "Erro: a.nl()!=nl() || a.nc()!=nc()";
  EXPECT_ERRO(IMGYUV(2, 2).copia(IMGYUV(4, 2)), msg, "");
  EXPECT_ERRO(IMGYUV(2, 2).copia(IMGCOR(2, 4)), msg, "");
  EXPECT_ERRO(IMGYUV(2, 2).copia(IMGGRY(4, 4)), msg, "");
  EXPECT_ERRO(IMGGRY(2, 2).copia(IMGYUV(4, 2)), msg, "");
  EXPECT_ERRO(IMGCOR(4, 4).copia(IMGYUV(2, 2)), msg, "");
}

}  // namespace
