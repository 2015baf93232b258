// Vector-field overlay and intensity profiles on small pixel maps.
#include <cmath>
#include <set>
#include <utility>

#include "drawing/arrows.h"
#include "drawing/lines.h"
#include "support/test_support.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

const COR kRed{255, 0, 0}, kBlue{0, 0, 255};

Pixels black(const IMGBIN& img) {
  Pixels p;
  for (int l = 0; l < img.nl(); l++)
    for (int c = 0; c < img.nc(); c++)
      if (!img(l, c)) p.insert({l, c});
  return p;
}

Pixels coloured(const IMGCOR& img, COR cor) {
  Pixels p;
  for (int l = 0; l < img.nl(); l++)
    for (int c = 0; c < img.nc(); c++)
      if (img(l, c) == cor) p.insert({l, c});
  return p;
}

IMGCPX field(int nl, int nc, std::complex<float> z = {0, 0}) {
  IMGCPX f(nl, nc);
  f.fill(z);
  return f;
}

TEST(Sobrfl, EnlargesTheGreyImageAndMarksZeroVectors) {
  IMGGRY g(2, 2, 10, 20, 30, 40);
  IMGCOR r = sobrfl(g, field(2, 2), 1.0, 3, 1);
  ASSERT_EQ(r.nl(), 6);
  ASSERT_EQ(r.nc(), 6);
  const Pixels centres = {{1, 1}, {1, 4}, {4, 1}, {4, 4}};
  for (int l = 0; l < 6; l++)
    for (int c = 0; c < 6; c++) {
      const unsigned char v = g(l / 3, c / 3);
      EXPECT_EQ(r(l, c), centres.count({l, c}) ? kBlue : (COR{v, v, v})) << l << "," << c;
    }
}

TEST(Sobrfl, SampleCentresAndStep) {
  IMGGRY g(4, 4, static_cast<unsigned char>(50));
  EXPECT_EQ(coloured(sobrfl(g, field(2, 2), 1.0, 4, 1), kBlue),
            (Pixels{{2, 2}, {2, 6}, {6, 2}, {6, 6}}));
  EXPECT_EQ(coloured(sobrfl(g, field(3, 4), 1.0, 3, 2), kBlue),
            (Pixels{{1, 1}, {1, 7}, {7, 1}, {7, 7}}));
}

TEST(Sobrfl, ArrowsFromTheSampleCentre) {
  // k = 9: the one sample is centred at (4, 4).
  struct Case {
    std::complex<float> z;
    double scale;
    int tl, tc;
  };
  const Case cases[] = {
      {{1, 0}, 5.0, 4, 9},   // right, the tip just outside
      {{0, 1}, 5.0, -1, 4},  // up, clipped at the top
      {{1, 0}, 2.5, 4, 7},   // 2.5 rounds away from zero
      {{-1, 0}, 2.5, 4, 1}, {{-1.2f, -0.7f}, 3.0, 6, 0},
  };
  IMGGRY g(1, 1, static_cast<unsigned char>(80));
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.z << " x" << k.scale);
    IMGCOR r = sobrfl(g, field(1, 1, k.z), k.scale, 9, 1);
    IMGCOR want(9, 9, COR{80, 80, 80});
    flecha(want, 4, 4, k.tl, k.tc, kRed);
    EXPECT_EQ(coloured(r, kRed), coloured(want, kRed));
    EXPECT_TRUE(coloured(r, kRed).count({4, 4}));
    EXPECT_TRUE(coloured(r, kBlue).empty());
    EXPECT_EQ(r.backg, want.backg);
  }
  IMGCOR right = sobrfl(g, field(1, 1, {1, 0}), 5.0, 9, 1);
  EXPECT_EQ(right.backg, kRed);  // the tip column 9 lies outside
  for (int c = 4; c < 9; c++) EXPECT_EQ(right(4, c), kRed) << c;
}

TEST(Sobrfl, SmallGreyImageAndEmptyResults) {
  IMGGRY g(1, 1, static_cast<unsigned char>(9));
  g.backg = 77;
  IMGCOR r = sobrfl(g, field(1, 2, {0, 0}), 1.0, 2, 1);
  EXPECT_EQ(r(0, 0), (COR{9, 9, 9}));
  EXPECT_EQ(r(0, 2), (COR{77, 77, 77}));
  EXPECT_EQ(r(0, 3), (COR{77, 77, 77}));
  EXPECT_EQ(r(1, 1), kBlue);
  EXPECT_EQ(r(1, 3), kBlue);

  for (int k : {0, -2}) {
    IMGCOR e = sobrfl(g, field(2, 2, {1, 1}), 1.0, k, 1);
    EXPECT_EQ(e.data, nullptr);
  }
  // A tip that is not a number draws nothing at all.
  IMGCOR nan = sobrfl(g, field(1, 1, {NAN, 0}), 1.0, 3, 1);
  EXPECT_TRUE(coloured(nan, kRed).empty());
  EXPECT_TRUE(coloured(nan, kBlue).empty());
  IMGCOR far = sobrfl(g, field(1, 1, {3e9f, 0}), 1.0, 3, 1);
  EXPECT_TRUE(coloured(far, kRed).empty());
}

TEST(SobrflDeath, StepBelowOne) {
  IMGGRY g(2, 2, static_cast<unsigned char>(0));
  EXPECT_ERRO(sobrfl(g, field(2, 2), 1.0, 2, 0), "Erro sobrfl - passo invalido", "");
}

// A column holding 0, 255, 10.
IMGGRY column_image() {
  IMGGRY g(3, 2, static_cast<unsigned char>(1));
  g(0, 1) = 0;
  g(1, 1) = 255;
  g(2, 1) = 10;
  return g;
}

Pixels row_span(int l, int c0, int c1) {
  Pixels p;
  for (int c = c0; c <= c1; c++) p.insert({l, c});
  return p;
}

Pixels join(std::initializer_list<Pixels> parts) {
  Pixels p;
  for (const Pixels& q : parts) p.insert(q.begin(), q.end());
  return p;
}

TEST(Cperfil, Styles) {
  const IMGGRY g = column_image();
  IMGBIN dots = cperfil(g, 1, '.');
  ASSERT_EQ(dots.nl(), 3);
  ASSERT_EQ(dots.nc(), 256);
  EXPECT_EQ(black(dots), (Pixels{{0, 0}, {1, 255}, {2, 10}}));

  EXPECT_EQ(black(cperfil(g, 1, ':')), join({{{0, 0}}, row_span(1, 0, 255), row_span(2, 0, 10)}));
  EXPECT_EQ(lcaneta, 2);
  EXPECT_EQ(ccaneta, 10);

  moveto(50, 50);
  EXPECT_EQ(black(cperfil(g, 1, '-')), join({{{0, 0}}, row_span(1, 0, 255), row_span(2, 10, 255)}));
  EXPECT_EQ(lcaneta, 2);
  EXPECT_EQ(ccaneta, 10);
}

TEST(Cperfil, OneRowAndOutsideColumn) {
  IMGGRY one(1, 1, static_cast<unsigned char>(42));
  moveto(9, 9);
  EXPECT_TRUE(black(cperfil(one, 0, '-')).empty());
  EXPECT_EQ(lcaneta, 0);
  EXPECT_EQ(ccaneta, 42);

  IMGGRY g = column_image();
  g.backg = 7;
  EXPECT_EQ(black(cperfil(g, 5, '.')), (Pixels{{0, 7}, {1, 7}, {2, 7}}));
}

TEST(Lperfil, Styles) {
  IMGGRY g(2, 3, static_cast<unsigned char>(1));
  g(1, 0) = 0;
  g(1, 1) = 255;
  g(1, 2) = 10;
  IMGBIN dots = lperfil(g, 1, '.');
  ASSERT_EQ(dots.nl(), 256);
  ASSERT_EQ(dots.nc(), 3);
  EXPECT_EQ(black(dots), (Pixels{{255, 0}, {0, 1}, {245, 2}}));

  auto col_span = [](int c, int l0, int l1) {
    Pixels p;
    for (int l = l0; l <= l1; l++) p.insert({l, c});
    return p;
  };
  EXPECT_EQ(black(lperfil(g, 1, ':')),
            join({{{255, 0}}, col_span(1, 0, 255), col_span(2, 245, 255)}));
  EXPECT_EQ(lcaneta, 245);
  EXPECT_EQ(ccaneta, 2);

  EXPECT_EQ(black(lperfil(g, 1, '-')),
            join({{{255, 0}}, col_span(1, 0, 255), col_span(2, 0, 245)}));
  EXPECT_EQ(lcaneta, 245);
  EXPECT_EQ(ccaneta, 2);
}

TEST(ProfilesDeath, UnknownStyle) {
  const IMGGRY g = column_image();
  EXPECT_ERRO(cperfil(g, 0, 'x'), "Erro: modo invalido", "");
  EXPECT_ERRO(lperfil(g, 0, '+'), "Erro: modo invalido", "");
}

}  // namespace
