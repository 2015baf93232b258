// Colour planes, 4:2:0 frames, whole-image colour conversions and the per-channel median.
#include "processing/algebra/planes.h"

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

COR rgb(int r, int g, int b) {
  return COR{static_cast<unsigned char>(r), static_cast<unsigned char>(g),
             static_cast<unsigned char>(b)};
}

std::string str(COR c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

// Pixels of a colour image as text, row by row, for readable failures.
std::string pixels(const IMGCOR& a) {
  std::string s;
  for (int l = 0; l < a.nl(); l++) {
    for (int c = 0; c < a.nc(); c++) s += str(a.rows[l][c]);
    s += ";";
  }
  return s;
}

std::vector<int> pixels(const IMGGRY& a) {
  return std::vector<int>(a.data, a.data + (a.data ? a.n() : 0));
}

// 2 x 3, a different colour in every channel of every pixel; centre and outside value moved.
IMGCOR fixture() {
  IMGCOR a(2, 3);
  const int v[6][3] = {{10, 20, 30},  {40, 50, 60},  {70, 80, 90},
                       {200, 5, 100}, {0, 255, 128}, {13, 17, 19}};
  for (int k = 0; k < 6; k++) a.data[k] = rgb(v[k][0], v[k][1], v[k][2]);
  a.lc = 1;
  a.cc = 2;
  a.backg = rgb(1, 2, 3);
  return a;
}

IMGGRY grey(int nl, int nc, std::vector<int> v) {
  IMGGRY g(nl, nc);
  for (int k = 0; k < nl * nc; k++) g.data[k] = static_cast<unsigned char>(v[k]);
  return g;
}

TEST(Planes, ChannelsAreFreshImages) {
  const IMGCOR a = fixture();
  const IMGGRY r = red(a), g = green(a), b = blue(a);
  EXPECT_EQ(pixels(r), (std::vector<int>{10, 40, 70, 200, 0, 13}));
  EXPECT_EQ(pixels(g), (std::vector<int>{20, 50, 80, 5, 255, 17}));
  EXPECT_EQ(pixels(b), (std::vector<int>{30, 60, 90, 100, 128, 19}));
  EXPECT_EQ(r.backg, 1);
  EXPECT_EQ(g.backg, 2);
  EXPECT_EQ(b.backg, 3);
  for (const IMGGRY* p : {&r, &g, &b}) {
    EXPECT_EQ(p->lc, 0);
    EXPECT_EQ(p->cc, 1);
  }
  IMGCOR empty;
  empty.backg = rgb(9, 8, 7);
  const IMGGRY e = red(empty);
  EXPECT_EQ(e.nl(), 0);
  EXPECT_EQ(e.nc(), 0);
  EXPECT_EQ(e.backg, 9);
}

TEST(Planes, SplitAndMergeKeepCentreNotOutsideValue) {
  const IMGCOR a = fixture();
  IMGGRY r(2, 3), g, b(5, 5);
  r.backg = 77;  // same size: resize keeps it
  b.backg = 66;  // other size: reallocated with the default
  prisma(a, r, g, b);
  EXPECT_EQ(pixels(g), (std::vector<int>{20, 50, 80, 5, 255, 17}));
  EXPECT_EQ(r.backg, 77);
  EXPECT_EQ(b.backg, 0);
  for (const IMGGRY* p : {&r, &g, &b}) {
    EXPECT_EQ(p->nl(), 2);
    EXPECT_EQ(p->nc(), 3);
    EXPECT_EQ(p->lc, 1);
    EXPECT_EQ(p->cc, 2);
  }
  const IMGCOR m = iprisma(r, g, b);
  EXPECT_EQ(pixels(m), pixels(a));
  EXPECT_EQ(m.lc, 1);
  EXPECT_EQ(m.cc, 2);
  EXPECT_EQ(m.backg, rgb(0, 0, 0));
}

TEST(Planes, MergeTakesTheFirstPlanesCentre) {
  IMGGRY r = grey(1, 2, {1, 2}), g = grey(1, 2, {3, 4}), b = grey(1, 2, {5, 6});
  r.lc = -4;
  r.cc = 7;
  g.lc = 3;
  const IMGCOR m = iprisma(r, g, b);
  EXPECT_EQ(pixels(m), "(1,3,5)(2,4,6);");
  EXPECT_EQ(m.lc, -4);
  EXPECT_EQ(m.cc, 7);
}

TEST(PlanesDeath, MergeOfDifferentSizes) {
  const IMGGRY a(2, 3), wide(2, 4), tall(3, 3);
  EXPECT_ERRO(iprisma(a, a, wide), "Erro iprisma: Dimensoes diferentes", "");
  EXPECT_ERRO(iprisma(tall, a, a), "Erro iprisma: Dimensoes diferentes", "");
  EXPECT_ERRO(iprisma(a, wide, a), "Erro iprisma: Dimensoes diferentes", "");
}

// A 2 x 4 frame: luma 1..8, U (21, 22), V (31, 32).
IMGYUV frame() {
  IMGYUV y(2, 4);
  const int block[12] = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 31, 32};
  for (int k = 0; k < 12; k++) y.img.data[k] = static_cast<unsigned char>(block[k]);
  return y;
}

TEST(Planes, FramePlanesRoundTrip) {
  IMGGRY Y, U, V;
  prisma(frame(), Y, U, V);
  EXPECT_EQ(Y.nl(), 2);
  EXPECT_EQ(Y.nc(), 4);
  EXPECT_EQ(pixels(Y), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(U.nl(), 1);
  EXPECT_EQ(U.nc(), 2);
  EXPECT_EQ(pixels(U), (std::vector<int>{21, 22}));
  EXPECT_EQ(pixels(V), (std::vector<int>{31, 32}));

  U.data[1] = 99;
  const IMGYUV y = yprisma(Y, U, V);
  EXPECT_EQ(std::vector<int>(y.img.data, y.img.data + 12),
            (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 21, 99, 31, 32}));
  EXPECT_EQ(y.backg, rgb(128, 128, 128));

  const IMGGRY luma = grey(2, 4, {9, 9, 9, 9, 8, 8, 8, 8});
  const IMGYUV z = yprisma(luma, frame());
  EXPECT_EQ(std::vector<int>(z.img.data, z.img.data + 12),
            (std::vector<int>{9, 9, 9, 9, 8, 8, 8, 8, 21, 22, 31, 32}));
  EXPECT_EQ(z.backg, rgb(128, 128, 128));
}

TEST(Planes, FramePlanesIntoTheFramesOwnBlock) {
  // The frame's block as the luma plane, and one image given as both chroma planes.
  IMGYUV y = frame();
  IMGGRY UV;
  prisma(y, y.img, UV, UV);
  EXPECT_EQ(pixels(y.img), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(pixels(UV), (std::vector<int>{31, 32}));
  // The luma plane given again as a chroma plane ends as that chroma plane.
  IMGGRY Y, V;
  prisma(frame(), Y, Y, V);
  EXPECT_EQ(pixels(Y), (std::vector<int>{21, 22}));
}

TEST(PlanesDeath, FrameFromPlanesOfWrongSizes) {
  const IMGGRY Y(2, 4), half(1, 2), wide(1, 3), tall(2, 2), odd(2, 3);
  EXPECT_ERRO(yprisma(Y, half, wide), "Erro yprisma: Dimensoes diferentes", "");
  EXPECT_ERRO(yprisma(Y, tall, half), "Erro yprisma: Dimensoes diferentes", "");
  EXPECT_ERRO(yprisma(odd, frame()), "Erro yprisma: Dimensoes diferentes", "");
  EXPECT_ERRO(yprisma(Y, IMGYUV(2, 2)), "Erro yprisma: Dimensoes diferentes", "");
  // Twice a huge plane size is compared without overflow.
  const IMGGRY huge(1 << 30, 0);
  EXPECT_ERRO(yprisma(IMGGRY(), huge, huge), "Erro yprisma: Dimensoes diferentes", "");
  // Sizes that fit but are odd stop in the frame constructor.
  EXPECT_ERRO(IMG2IMY(IMGGRY(3, 2)), "Erro: IMGYUV deve ter NL e NC pares", "");
  EXPECT_ERRO(IMC2IMY(IMGCOR(2, 1)), "Erro: IMGYUV deve ter NL e NC pares", "");
}

TEST(Planes, GreyThroughFrame) {
  IMGGRY g = grey(2, 2, {0, 100, 200, 255});
  g.lc = 1;
  g.cc = 1;
  g.backg = 50;
  const IMGYUV y = IMG2IMY(g);
  EXPECT_EQ(std::vector<int>(y.img.data, y.img.data + 6),
            (std::vector<int>{0, 100, 200, 255, 128, 128}));
  EXPECT_EQ(y.backg, rgb(128, 128, 128));
  const IMGGRY back = IMY2IMG(y);
  EXPECT_EQ(pixels(back), pixels(g));
  EXPECT_EQ(back.lc, 0);
  EXPECT_EQ(back.cc, 0);
  EXPECT_EQ(back.backg, 0);
}

TEST(Planes, ColourThroughFrame) {
  // One red pixel and three black: chroma from the truncated mean (63, 0, 0).
  IMGCOR c(2, 2, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  c.backg = rgb(255, 255, 255);
  const IMGYUV y = IMC2IMY(c);
  EXPECT_EQ(std::vector<int>(y.img.data, y.img.data + 6),
            (std::vector<int>{81, 16, 16, 16, 119, 156}));
  EXPECT_EQ(y.backg, rgb(128, 128, 128));

  IMGYUV f = frame();
  f.backg = rgb(16, 128, 128);
  const IMGCOR d = IMY2IMC(f);
  ASSERT_EQ(d.nl(), 2);
  ASSERT_EQ(d.nc(), 4);
  for (int l = 0; l < 2; l++)
    for (int k = 0; k < 4; k++)
      EXPECT_EQ(d.rows[l][k], YUV2RGB(rgb(1 + 4 * l + k, 21 + k / 2, 31 + k / 2))) << l << k;
  EXPECT_EQ(d.backg, rgb(0, 0, 0));
  EXPECT_EQ(d.lc, 0);
  EXPECT_EQ(d.cc, 1);
}

// Fresh results: every pixel and the outside value by the colour rule, default centre.
TEST(Planes, FreshConversionsFollowTheColourRule) {
  const IMGCOR a = fixture();
  struct Case {
    const char* name;
    IMGCOR (*whole)(const IMGCOR&);
    COR (*one)(COR);
  };
  const Case cases[] = {
      {"negative", [](const IMGCOR& x) { return -x; }, [](COR c) { return -c; }},
      {"not", [](const IMGCOR& x) { return !x; }, [](COR c) { return -c; }},
      {"hsi", [](const IMGCOR& x) { return RGB2HSI(x, 0); }, [](COR c) { return RGB2HSI(c, 0); }},
      {"hsi k1", [](const IMGCOR& x) { return RGB2HSI(x, 1); },
       [](COR c) { return RGB2HSI(c, 1); }},
      {"rgb k2", [](const IMGCOR& x) { return HSI2RGB(x, 2); },
       [](COR c) { return HSI2RGB(c, 2); }},
      {"yuv", [](const IMGCOR& x) { return RGB2YUV(x); }, [](COR c) { return RGB2YUV(c); }},
      {"rgb", [](const IMGCOR& x) { return YUV2RGB(x); }, [](COR c) { return YUV2RGB(c); }},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    const IMGCOR r = t.whole(a);
    ASSERT_EQ(r.nl(), 2);
    ASSERT_EQ(r.nc(), 3);
    for (int k = 0; k < 6; k++) EXPECT_EQ(str(r.data[k]), str(t.one(a.data[k]))) << k;
    EXPECT_EQ(str(r.backg), str(t.one(a.backg)));
    EXPECT_EQ(r.lc, 0);
    EXPECT_EQ(r.cc, 1);
  }
  EXPECT_EQ(pixels(-a),
            "(245,235,225)(215,205,195)(185,175,165);(55,250,155)(255,0,127)(242,238,236);");
}

// In-place conversions keep centre and outside value.
TEST(Planes, InPlaceConversions) {
  struct Case {
    const char* name;
    IMGCOR (*fn)(IMGCOR);
    COR in, out;
  };
  const Case cases[] = {
      {"bgr", RGB2BGR, rgb(1, 2, 3), rgb(3, 2, 1)},
      {"lab black", RGB2Lab, rgb(0, 0, 0), rgb(0, 128, 128)},
      {"lab of lab black", Lab2RGB, rgb(0, 128, 128), rgb(0, 0, 0)},
      {"xyz black", RGB2XYZ, rgb(0, 0, 0), rgb(0, 0, 0)},
      // X = 0.950467, Y = 1, Z = 1.088969 (clamped) times 255.
      {"xyz white", RGB2XYZ, rgb(255, 255, 255), rgb(242, 255, 255)},
      {"rgb of xyz black", XYZ2RGB, rgb(0, 0, 0), rgb(0, 0, 0)},
      // O1 negative stores 0; 255 / sqrt(6) = 104.1; 255 / sqrt(3) = 147.2.
      {"opp green", RGB2OPP, rgb(0, 255, 0), rgb(0, 104, 147)},
      // (255 - 0) / sqrt(2) = 180.3; (255 - 2 * 0) / sqrt(6); 255 / sqrt(3).
      {"opp red", RGB2OPP, rgb(255, 0, 0), rgb(180, 104, 147)},
      // O2 = -2 * 255 / sqrt(6) clamps to 0.
      {"opp blue", RGB2OPP, rgb(0, 0, 255), rgb(0, 0, 147)},
      // 3 * 255 / sqrt(3) = 441.7 clamps to 255.
      {"opp white", RGB2OPP, rgb(255, 255, 255), rgb(0, 0, 255)},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    IMGCOR a(1, 2);
    a.data[0] = t.in;
    a.data[1] = t.in;
    a.lc = 5;
    a.cc = -3;
    a.backg = rgb(7, 8, 9);
    const IMGCOR r = t.fn(a);
    EXPECT_EQ(str(r.data[0]), str(t.out));
    EXPECT_EQ(str(r.data[1]), str(t.out));
    EXPECT_EQ(str(r.backg), str(rgb(7, 8, 9)));
    EXPECT_EQ(r.lc, 5);
    EXPECT_EQ(r.cc, -3);
    EXPECT_EQ(str(a.data[0]), str(t.in));  // the caller's image is not changed
  }
}

TEST(Planes, LabAndXyzFollowTheColourRules) {
  const IMGCOR a = fixture();
  const IMGCOR lab = RGB2Lab(a), xyz = RGB2XYZ(a), back = Lab2RGB(lab), rgbx = XYZ2RGB(xyz);
  auto byte = [](double v) { return v < 0 ? 0 : v > 255 ? 255 : static_cast<int>(std::round(v)); };
  for (int k = 0; k < 6; k++) {
    SCOPED_TRACE(k);
    const PONTO3 p = RGB2Lab(a.data[k]);
    EXPECT_EQ(str(lab.data[k]),
              str(rgb(byte(p.x * 255 / 100), byte(1.27 * p.y + 128), byte(1.27 * p.z + 128))));
    const COR q = lab.data[k];
    EXPECT_EQ(str(back.data[k]),
              str(Lab2RGB(PONTO3(q.r * 100.0 / 255, (q.g - 128) / 1.27, (q.b - 128) / 1.27))));
    const PONTO3 x = RGB2XYZ(a.data[k]);
    EXPECT_EQ(str(xyz.data[k]), str(rgb(byte(x.x * 255), byte(x.y * 255), byte(x.z * 255))));
    const COR s = xyz.data[k];
    EXPECT_EQ(str(rgbx.data[k]), str(XYZ2RGB(PONTO3(s.r / 255.0, s.g / 255.0, s.b / 255.0))));
  }
}

IMGGRY mask(int nl, int nc, std::vector<int> w, int lc, int cc) {
  IMGGRY m = grey(nl, nc, w);
  m.lc = lc;
  m.cc = cc;
  return m;
}

TEST(PlanesMedian, ChannelsAreOrderedSeparately) {
  IMGCOR a(1, 3, 10, 200, 5, 20, 100, 7, 30, 150, 6);
  a.lc = 0;
  a.cc = 0;
  a.backg = rgb(250, 250, 250);
  const IMGCOR r = mediana(a, mask(1, 3, {1, 1, 1}, 0, 1));
  // Middle: medians (20, 150, 6), a colour that occurs nowhere. Ends: two samples, lower middle.
  EXPECT_EQ(pixels(r), "(10,100,5)(20,150,6)(20,100,6);");
  EXPECT_EQ(r.backg, rgb(0, 0, 0));
  EXPECT_EQ(r.lc, 0);
  EXPECT_EQ(r.cc, 1);
}

TEST(PlanesMedian, WeightsAndWindowPlacement) {
  const IMGCOR a(1, 4, 10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40);
  struct Case {
    const char* name;
    IMGGRY m;
    const char* want;
  };
  const Case cases[] = {
      // 10 and 20 once each: the lower one.
      {"two values", mask(1, 2, {1, 1}, 0, 0), "(10,10,10)(20,20,20)(30,30,30)(40,40,40);"},
      // Weight 3 on the pixel outvotes 1 + 1 around it.
      {"heavy centre", mask(1, 3, {1, 3, 1}, 0, 1), "(10,10,10)(20,20,20)(30,30,30)(40,40,40);"},
      // Weight 3 on the right neighbour: it wins where it exists.
      {"heavy right", mask(1, 3, {1, 1, 3}, 0, 1), "(20,20,20)(30,30,30)(40,40,40)(30,30,30);"},
      // Window two to the right of the pixel; nothing counted in the last two columns.
      {"shifted", mask(1, 3, {0, 0, 1}, 0, 0), "(30,30,30)(40,40,40)(0,0,0)(0,0,0);"},
      {"all zero", mask(3, 3, {0, 0, 0, 0, 0, 0, 0, 0, 0}, 1, 1), "(0,0,0)(0,0,0)(0,0,0)(0,0,0);"},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    EXPECT_EQ(pixels(mediana(a, t.m)), t.want);
  }
}

TEST(PlanesMedian, UniformImageIsKept) {
  const IMGCOR a(3, 4, rgb(9, 99, 199));
  const IMGCOR r = mediana(a, mask(3, 3, {1, 1, 1, 1, 1, 1, 1, 1, 1}, 1, 1));
  EXPECT_EQ(pixels(r), pixels(a));
}

}  // namespace
