// Colour overlays, palettes, channel logic on colour images and the gain-and-offset adjustment.
#include "processing/algebra/overlay.h"

#include <cmath>
#include <complex>
#include <limits>

#include "support/test_support.h"

namespace {

using testutil::same;

COR hsi(int hue, int intensity) {
  return HSI2RGB(COR{static_cast<unsigned char>(hue), 255, static_cast<unsigned char>(intensity)},
                 0);
}

// ---- scalar-field overlay ----

struct HueCase {
  float v;
  int hue;  // -1: black
};
const float kInf = std::numeric_limits<float>::infinity();
const HueCase kScalarHues[] = {
    {0.0f, -1},    {-0.0f, -1},  {1.0f, 0},    {0.5f, 85},         {2.0f, 0},     {-1.0f, 255},
    {-0.5f, 255},  {0.25f, 127}, {0.75f, 42},  {1e-6f, 170},       {0.003f, 169}, {1e30f, 0},
    {-1e30f, 255}, {kInf, 0},    {-kInf, 255}, {std::nanf(""), 0},
};

TEST(SobrhsiScalar, HueFollowsTheFieldValue) {
  const int n = sizeof(kScalarHues) / sizeof(kScalarHues[0]);
  IMGFLT f(1, n);
  IMGGRY g(1, n, 200);
  for (int c = 0; c < n; c++) f.rows[0][c] = kScalarHues[c].v;
  const IMGCOR r = sobrhsi(g, f);
  ASSERT_EQ(r.nc(), n);
  for (int c = 0; c < n; c++) {
    const COR want = kScalarHues[c].hue < 0 ? COR{0, 0, 0} : hsi(kScalarHues[c].hue, 200);
    EXPECT_TRUE(same(r.rows[0][c], want)) << "v " << kScalarHues[c].v;
  }
}

TEST(SobrhsiScalar, OneWithFullIntensityIsRedAndZeroIsBlack) {
  const IMGCOR red = sobrhsi(IMGGRY(2, 2, 255), IMGFLT(2, 2, 1.0f));
  const IMGCOR black = sobrhsi(IMGGRY(2, 2, 255), IMGFLT(2, 2, 0.0f));
  for (int k = 0; k < 4; k++) {
    EXPECT_TRUE(same(red.data[k], COR{255, 0, 0}));
    EXPECT_TRUE(same(black.data[k], COR{0, 0, 0}));
  }
}

// The result has f's size, default centre and black outside; beyond g the intensity is g's
// outside value.
TEST(SobrhsiScalar, FieldLargerThanGreyUsesTheOutsideValue) {
  IMGGRY g(1, 2);
  g.rows[0][0] = 10;
  g.rows[0][1] = 250;
  g.backg = 90;
  IMGFLT f(2, 3, 0.5f);
  f.lc = 0;
  f.backg = 1.0f;
  const IMGCOR r = sobrhsi(g, f);
  ASSERT_EQ(r.nl(), 2);
  ASSERT_EQ(r.nc(), 3);
  EXPECT_EQ(r.lc, 0);
  EXPECT_EQ(r.cc, 1);
  EXPECT_TRUE(same(r.backg, COR{0, 0, 0}));
  const int want[6] = {10, 250, 90, 90, 90, 90};
  for (int k = 0; k < 6; k++) EXPECT_TRUE(same(r.data[k], hsi(85, want[k]))) << k;

  const IMGCOR none = sobrhsi(IMGGRY(), IMGFLT(1, 1, 1.0f));  // g's default outside value, 0
  EXPECT_TRUE(same(none.data[0], hsi(0, 0)));
}

// ---- phase overlay ----

struct PhaseCase {
  float re, im;
  int hue;
};
const PhaseCase kPhaseHues[] = {
    {0, 0, -1},  {1, 0, 0},     {0, 1, 64},       {0, -1, 191},    {-1, 0, 128}, {1, 1, 32},
    {-1, 1, 96}, {1, 1e-6f, 0}, {1, -1e-6f, 255}, {0, 1e-30f, 64}, {5, 0, 0},    {-0.0f, 0, -1},
};

TEST(SobrhsiPhase, HueFollowsThePhaseInSinglePrecision) {
  const int n = sizeof(kPhaseHues) / sizeof(kPhaseHues[0]);
  IMGCPX f(n, 1);
  for (int l = 0; l < n; l++) f.rows[l][0] = {kPhaseHues[l].re, kPhaseHues[l].im};
  IMGGRY g(n, 1, 180);
  const IMGCOR r = sobrhsi(g, f);
  ASSERT_EQ(r.nl(), n);
  for (int l = 0; l < n; l++) {
    const COR want = kPhaseHues[l].hue < 0 ? COR{0, 0, 0} : hsi(kPhaseHues[l].hue, 180);
    EXPECT_TRUE(same(r.rows[l][0], want)) << kPhaseHues[l].re << "+" << kPhaseHues[l].im << "i";
  }
}

TEST(SobrhsiPhase, BeyondGreyUsesItsOutsideValue) {
  IMGGRY g(1, 1, 30);
  g.backg = 77;
  const IMGCOR r = sobrhsi(g, IMGCPX(1, 2, 1.0f, 0.0f, 0.0, 1.0));
  EXPECT_TRUE(same(r.rows[0][0], hsi(0, 30)));
  EXPECT_TRUE(same(r.rows[0][1], hsi(64, 77)));
}

// ---- palette ----

TEST(Palaplic, MapsEveryPixelThroughThePalette) {
  VETOR<COR> pal(256);
  for (int i = 0; i < 256; i++)
    pal.data[i] = COR{static_cast<unsigned char>(i), static_cast<unsigned char>(255 - i),
                      static_cast<unsigned char>(i / 2)};
  IMGGRY g(2, 3, 0, 1, 127, 128, 254, 255);
  g.backg = 200;
  g.lc = 0;
  const IMGCOR r = palaplic(g, pal);
  ASSERT_EQ(r.nl(), 2);
  ASSERT_EQ(r.nc(), 3);
  for (int k = 0; k < 6; k++) EXPECT_TRUE(same(r.data[k], pal.data[g.data[k]])) << k;
  EXPECT_TRUE(same(r.backg, COR{0, 0, 0}));
  EXPECT_EQ(r.lc, 0);
  EXPECT_EQ(r.cc, 1);
}

TEST(PalaplicDeath, PaletteMustHold256Colours) {
  const IMGGRY g(2, 2, 0);
  for (int n : {0, 255, 257})
    EXPECT_ERRO(palaplic(g, VETOR<COR>(n, COR{0, 0, 0})), "Erro: Palete deve ter 256 entradas", "");
}

// ---- channel minimum and maximum ----

TEST(ColourLogic, ChannelMinimumAndMaximum) {
  IMGCOR a(1, 2), b(1, 2);
  a.rows[0][0] = COR{10, 200, 30};
  a.rows[0][1] = COR{0, 255, 128};
  b.rows[0][0] = COR{20, 100, 30};
  b.rows[0][1] = COR{255, 0, 127};
  a.backg = COR{1, 9, 5};
  b.backg = COR{8, 2, 5};
  a.lc = 0;
  a.cc = 1;
  const IMGCOR lo = a && b, hi = a || b;
  EXPECT_TRUE(same(lo.rows[0][0], COR{10, 100, 30}));
  EXPECT_TRUE(same(lo.rows[0][1], COR{0, 0, 127}));
  EXPECT_TRUE(same(hi.rows[0][0], COR{20, 200, 30}));
  EXPECT_TRUE(same(hi.rows[0][1], COR{255, 255, 128}));
  EXPECT_TRUE(same(lo.backg, COR{1, 2, 5}));
  EXPECT_TRUE(same(hi.backg, COR{8, 9, 5}));
  EXPECT_EQ(lo.cc, 0);

  const IMGCOR self = a && a;
  for (int k = 0; k < 2; k++) EXPECT_TRUE(same(self.data[k], a.data[k]));
  EXPECT_EQ(self.lc, 0);
  EXPECT_EQ(self.cc, 0);
}

TEST(ColourLogicDeath, DifferentSizesAreFatal) {
  const IMGCOR a(2, 3), b(3, 2), c(2, 2);
  EXPECT_ERRO(a || b, "Erro IMGCOR::operator|| - As imagens nao tem o mesmo tamanho", "");
  EXPECT_ERRO(a && c, "Erro IMGCOR::operator&& - As imagens nao tem o mesmo tamanho", "");
}

// ---- gain and offset ----

struct Adjust {
  int p;
  double gain, offset;
  int want;
};
const Adjust kAdjust[] = {
    {10, 1.0, 0.5, 11},     {10, 1.0, -0.5, 10},  {10, 1.0, -0.6, 9},     {0, -1.0, 255.0, 255},
    {200, -1.0, 255.0, 55}, {128, 2.0, 0.0, 255}, {127, 2.0, 0.0, 254},   {5, 1.0, -10.0, 0},
    {0, 1.0, 0.4, 0},       {3, 0.5, 0.0, 2},     {255, 1.0, 1e300, 255}, {7, std::nan(""), 0.0, 0},
};

TEST(AjustaIlum, ClampsThenRoundsHalvesAwayFromZero) {
  const int n = sizeof(kAdjust) / sizeof(kAdjust[0]);
  for (int k = 0; k < n; k++) {
    IMGGRY a(1, 2, static_cast<unsigned char>(kAdjust[k].p));
    a.backg = 33;
    a.lc = -4;
    a.cc = 9;
    const IMGGRY r = AjustaIlum(a, kAdjust[k].gain, kAdjust[k].offset);
    EXPECT_EQ(r.rows[0][0], kAdjust[k].want) << k;
    EXPECT_EQ(r.rows[0][1], kAdjust[k].want) << k;
    EXPECT_EQ(r.backg, 33);
    EXPECT_EQ(r.lc, -4);
    EXPECT_EQ(r.cc, 9);
  }
}

}  // namespace
