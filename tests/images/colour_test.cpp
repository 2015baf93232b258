// Colour operators and the colour spaces of one colour.
#include <cmath>
#include <limits>

#include "support/test_support.h"
#include "vistelmo.h"

namespace {

COR rgb(int r, int g, int b) {
  return COR{static_cast<unsigned char>(r), static_cast<unsigned char>(g),
             static_cast<unsigned char>(b)};
}

void expect_cor(COR got, int r, int g, int b) {
  EXPECT_EQ(got.r, r);
  EXPECT_EQ(got.g, g);
  EXPECT_EQ(got.b, b);
}

TEST(Colour, Operators) {
  const COR x = rgb(10, 200, 30), y = rgb(20, 100, 30);
  expect_cor(x || y, 20, 200, 30);
  expect_cor(x && y, 10, 100, 30);
  expect_cor(-x, 245, 55, 225);
  expect_cor(!x, 245, 55, 225);
  EXPECT_TRUE(x == rgb(10, 200, 30));
  EXPECT_FALSE(x != rgb(10, 200, 30));
  for (COR other : {rgb(11, 200, 30), rgb(10, 201, 30), rgb(10, 200, 31)}) {
    EXPECT_FALSE(x == other);
    EXPECT_TRUE(x != other);
  }
}

TEST(Colour, ViraSwapsAndRestores) {
  COR c = rgb(1, 2, 3);
  expect_cor(vira(c), 3, 2, 1);
  expect_cor(vira(c), 1, 2, 3);

  uint32_t w = 0x11223344u;
  EXPECT_EQ(vira(w), 0x44332211u);
  EXPECT_EQ(w, 0x44332211u);
  EXPECT_EQ(vira(w), 0x11223344u);

  int i = static_cast<int>(0x80FF0102u);
  EXPECT_EQ(static_cast<uint32_t>(vira(i)), 0x0201FF80u);
  EXPECT_EQ(static_cast<uint32_t>(vira(i)), 0x80FF0102u);

  unsigned long l = 0x11223344ul;
  EXPECT_EQ(vira(l), 0x44332211ul);
  EXPECT_EQ(l, 0x44332211ul);
}

TEST(ColourHsi, EveryGreyHasOnlyIntensity) {
  for (int v = 0; v < 256; v++) {
    SCOPED_TRACE(v);
    expect_cor(RGB2HSI(rgb(v, v, v)), 0, 0, v);
    expect_cor(HSI2RGB(rgb(0, 0, v)), v, v, v);
  }
}

TEST(ColourHsi, Primaries) {
  struct Case {
    COR in;
    int k;
    COR hsi;
  };
  const Case cases[] = {
      {rgb(255, 0, 0), 0, rgb(0, 255, 85)},   {rgb(0, 255, 0), 0, rgb(85, 255, 85)},
      {rgb(0, 0, 255), 0, rgb(170, 255, 85)}, {rgb(255, 0, 0), 1, rgb(170, 255, 85)},
      {rgb(0, 255, 0), 1, rgb(0, 255, 85)},   {rgb(255, 0, 0), 2, rgb(85, 255, 85)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.k);
    const COR h = RGB2HSI(c.in, c.k);
    expect_cor(h, c.hsi.r, c.hsi.g, c.hsi.b);
  }
  expect_cor(HSI2RGB(rgb(0, 255, 85)), 255, 0, 0);
  expect_cor(HSI2RGB(rgb(0, 255, 85), 2), 0, 0, 255);
}

TEST(ColourHsi, SaturatedIntensityClampsToWhite) {
  // A fully saturated hue at full intensity overflows a channel: clamped, not wrapped.
  const COR c = HSI2RGB(rgb(0, 255, 255));
  expect_cor(c, 255, 0, 0);
}

TEST(ColourYuv, BlackAndWhiteBothWays) {
  expect_cor(RGB2YUV(rgb(0, 0, 0)), 16, 128, 128);
  expect_cor(RGB2YUV(rgb(255, 255, 255)), 235, 128, 128);
  expect_cor(YUV2RGB(rgb(16, 128, 128)), 0, 0, 0);
  expect_cor(YUV2RGB(rgb(235, 128, 128)), 255, 255, 255);
  // Out of range results are clamped.
  EXPECT_EQ(YUV2RGB(rgb(255, 255, 255)).r, 255);
  EXPECT_EQ(YUV2RGB(rgb(0, 0, 0)).r, 0);
}

TEST(ColourYuv, KnownColoursAndSingleComponents) {
  struct Case {
    COR in, yuv;
  };
  const Case cases[] = {
      {rgb(255, 0, 0), rgb(81, 90, 240)},
      {rgb(0, 255, 0), rgb(145, 54, 34)},
      {rgb(0, 0, 255), rgb(41, 240, 110)},
      {rgb(63, 0, 0), rgb(32, 119, 156)},
  };
  for (const Case& c : cases) {
    expect_cor(RGB2YUV(c.in), c.yuv.r, c.yuv.g, c.yuv.b);
    EXPECT_EQ(RGB2Y(c.in), c.yuv.r);
    EXPECT_EQ(RGB2U(c.in), c.yuv.g);
    EXPECT_EQ(RGB2V(c.in), c.yuv.b);
  }
}

TEST(ColourYuv, RoundTripStaysClose) {
  for (int r = 0; r < 256; r += 51)
    for (int g = 0; g < 256; g += 51)
      for (int b = 0; b < 256; b += 51) {
        const COR back = YUV2RGB(RGB2YUV(rgb(r, g, b)));
        EXPECT_LE(std::abs(back.r - r), 2);
        EXPECT_LE(std::abs(back.g - g), 2);
        EXPECT_LE(std::abs(back.b - b), 2);
      }
}

TEST(ColourCie, ChannelRules) {
  EXPECT_DOUBLE_EQ(CIEXYZg(0.04045), 0.04045 / 12.92);
  EXPECT_DOUBLE_EQ(CIEXYZg(1.0), 1.0);
  EXPECT_DOUBLE_EQ(CIEXYZh(0.0031308), 12.92 * 0.0031308);
  EXPECT_DOUBLE_EQ(CIEXYZh(1.0), 1.0);
  for (double v : {0.01, 0.2, 0.5, 0.9}) EXPECT_NEAR(CIEXYZh(CIEXYZg(v)), v, 1e-12);
  EXPECT_DOUBLE_EQ(CIELabf(0.008856), 7.787 * 0.008856 + 16.0 / 116.0);
  EXPECT_DOUBLE_EQ(CIELabf(0.0), 16.0 / 116.0);
  EXPECT_DOUBLE_EQ(CIELabf(8.0), 2.0);
}

TEST(ColourCie, BlackWhiteAndDeltaE) {
  const PONTO3 black = RGB2Lab(rgb(0, 0, 0));
  EXPECT_DOUBLE_EQ(black.x, 0.0);
  EXPECT_DOUBLE_EQ(black.y, 0.0);
  EXPECT_DOUBLE_EQ(black.z, 0.0);
  const PONTO3 white = RGB2Lab(rgb(255, 255, 255));
  EXPECT_NEAR(white.x, 100.0, 1e-3);
  EXPECT_NEAR(white.y, -8.40, 0.01);
  EXPECT_NEAR(white.z, -5.76, 0.01);
  const PONTO3 xyz = RGB2XYZ(rgb(255, 255, 255));
  EXPECT_NEAR(xyz.y, 1.0, 1e-6);
  expect_cor(Lab2RGB(PONTO3(100, 0, 0)), 255, 249, 244);
  EXPECT_DOUBLE_EQ(DeltaE(rgb(12, 34, 56), rgb(12, 34, 56)), 0.0);
  EXPECT_NEAR(DeltaE(rgb(255, 255, 255), rgb(0, 0, 0)), 100.5, 0.05);
}

TEST(ColourCie, LabInvertsXyzAndRgbRoundTrips) {
  for (COR c : {rgb(255, 0, 0), rgb(0, 128, 255), rgb(40, 200, 90), rgb(7, 7, 7)}) {
    const PONTO3 xyz = RGB2XYZ(c);
    // The linear pieces of the two rules meet at slightly different points.
    const PONTO3 back = Lab2XYZ(XYZ2Lab(xyz));
    EXPECT_NEAR(back.x, xyz.x, 1e-5 * xyz.x);
    EXPECT_NEAR(back.y, xyz.y, 1e-5 * xyz.y);
    EXPECT_NEAR(back.z, xyz.z, 1e-5 * xyz.z);
    // Truncation to bytes may lose one step.
    const COR rgb_back = XYZ2RGB(xyz);
    EXPECT_LE(c.r - rgb_back.r, 1);
    EXPECT_LE(c.g - rgb_back.g, 1);
    EXPECT_LE(c.b - rgb_back.b, 1);
    EXPECT_GE(c.r - rgb_back.r, 0);
  }
}

TEST(ColourCie, NotANumberGivesBlack) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  expect_cor(XYZ2RGB(PONTO3(nan, nan, nan)), 0, 0, 0);
  expect_cor(Lab2RGB(PONTO3(nan, 0, 0)), 0, 0, 0);
  // Out-of-range values clamp.
  expect_cor(XYZ2RGB(PONTO3(-1, -1, -1)), 0, 0, 0);
  expect_cor(XYZ2RGB(PONTO3(10, 10, 10)), 255, 255, 255);
}

}  // namespace
