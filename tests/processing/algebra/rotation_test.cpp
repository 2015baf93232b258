// Rotation about the centre: frames, quarter turns, sampling, borders and messages.
#include "processing/algebra/rotation.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "support/test_support.h"

namespace {

// 3 x 5, centre (1, 2), every value different and nonzero: value 10 * (l + 1) + c.
template <class Img>
Img fixture() {
  Img a(3, 5);
  for (int l = 0; l < 3; l++)
    for (int c = 0; c < 5; c++) a.rows[l][c] = static_cast<typename Img::Pixel>(10 * (l + 1) + c);
  a.backg = static_cast<typename Img::Pixel>(7);
  return a;
}

template <class Img>
std::vector<typename Img::Pixel> pixels(const Img& a) {
  return std::vector<typename Img::Pixel>(a.data, a.data + (a.data ? a.n() : 0));
}

template <class Img>
void expect_frame(const Img& r, int nl, int nc, int lc, int cc) {
  EXPECT_EQ(r.nl(), nl);
  EXPECT_EQ(r.nc(), nc);
  EXPECT_EQ(r.lc, lc);
  EXPECT_EQ(r.cc, cc);
}

// The source turned by exact quarter turns about its centre (q counterclockwise quarters).
template <class Img>
Img quarter(const Img& a, int q) {
  const bool odd = q % 2 != 0;
  Img r(odd ? a.nc : a.nl, odd ? a.nl : a.nc);
  r.lc = odd ? a.cc : a.lc;
  r.cc = odd ? a.lc : a.cc;
  for (int l = 0; l < r.nl(); l++)
    for (int c = 0; c < r.nc(); c++) {
      int x = c - r.cc, y = r.lc - l;
      for (int k = 0; k < q; k++) {  // inverse turn: (x, y) -> (y, -x)
        const int t = x;
        x = y;
        y = -t;
      }
      r.rows[l][c] = a.rows[a.lc - y][x + a.cc];
    }
  return r;
}

// The three overloads with one signature; grey uses the border letter given.
IMGFLT rot(const IMGFLT& a, double g, char i, char f, char) { return rotacao(a, g, i, f); }
IMGCPX rot(const IMGCPX& a, double g, char i, char f, char) { return rotacao(a, g, i, f); }
IMGGRY rot(const IMGGRY& a, double g, char i, char f, char b) { return rotacao(a, g, i, f, b); }

template <class Img>
class Rotation : public ::testing::Test {};
using Types = ::testing::Types<IMGFLT, IMGCPX, IMGGRY>;
TYPED_TEST_SUITE(Rotation, Types);

TYPED_TEST(Rotation, AngleZeroIsTheSource) {
  const TypeParam a = fixture<TypeParam>();
  for (char interp : {'n', 'b'})
    for (char frame : {'m', 'a'})
      for (char border : {'C', 'X'}) {
        SCOPED_TRACE(std::string() + interp + frame + border);
        const TypeParam r = rot(a, 0, interp, frame, border);
        expect_frame(r, 3, 5, 1, 2);
        EXPECT_EQ(pixels(r), pixels(a));
        EXPECT_EQ(r.backg, a.backg);
      }
}

TYPED_TEST(Rotation, QuarterTurnsAreExact) {
  const TypeParam a = fixture<TypeParam>();
  struct Case {
    double degrees;
    int q;
  };
  for (const Case t : {Case{90, 1}, Case{180, 2}, Case{270, 3}, Case{-90, 3}, Case{450, 1}})
    for (char interp : {'n', 'b'}) {
      SCOPED_TRACE(std::to_string(t.degrees) + interp);
      const TypeParam r = rot(a, t.degrees, interp, 'a', 'C');
      const TypeParam want = quarter(a, t.q);
      expect_frame(r, want.nl, want.nc, want.lc, want.cc);
      EXPECT_EQ(pixels(r), pixels(want));
    }
}

TEST(Rotation, PositiveAngleTurnsCounterclockwise) {
  // At 90 degrees the pixel just above the centre takes the one just right of the centre.
  const IMGFLT a = fixture<IMGFLT>();
  const IMGFLT r = rotacao(a, 90, 'n', 'm');
  EXPECT_EQ(r.rows[0][2], a.rows[1][3]);
  EXPECT_EQ(r.rows[1][1], a.rows[0][2]);  // left of the centre takes the one above it
  EXPECT_EQ(r.rows[1][2], a.rows[1][2]);
}

TEST(Rotation, BoundingFrames) {
  struct Case {
    int nl, nc;
    double degrees;
    int rnl, rnc, rlc, rcc;
  };
  const Case cases[] = {
      {3, 5, 90, 5, 3, 2, 1}, {3, 5, 180, 3, 5, 1, 2},     {3, 5, -90, 5, 3, 2, 1},
      {4, 4, 45, 5, 5, 2, 1}, {10, 20, 30, 18, 22, 8, 10}, {0, 0, 0, 2, 2, 1, 1},
      {1, 1, 37, 1, 1, 0, 0},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.nl * 1000 + t.nc);
    IMGFLT f(t.nl, t.nc, 0.0f);
    expect_frame(rotacao(f, t.degrees, 'n', 'a'), t.rnl, t.rnc, t.rlc, t.rcc);
    expect_frame(rotacao(IMGCPX(t.nl, t.nc), t.degrees, 'b', 'a'), t.rnl, t.rnc, t.rlc, t.rcc);
    expect_frame(rotacao(IMGGRY(t.nl, t.nc, 0), t.degrees, 'b', 'a', 'X'), t.rnl, t.rnc, t.rlc,
                 t.rcc);
  }
}

TEST(Rotation, EmptySourceStillFillsItsBoundingFrame) {
  IMGFLT f;
  f.backg = 2.5f;
  EXPECT_EQ(pixels(rotacao(f, 0, 'b', 'a')), std::vector<float>(4, 2.5f));
  IMGCPX x;
  x.backg = {1, -1};
  EXPECT_EQ(pixels(rotacao(x, 0, 'n', 'a')), std::vector<std::complex<float>>(4, {1, -1}));
  IMGGRY g;
  g.backg = 9;
  EXPECT_EQ(pixels(rotacao(g, 0, 'b', 'a', 'C')), std::vector<unsigned char>(4, 9));
  EXPECT_EQ(pixels(rotacao(g, 0, 'b', 'a', 'X')), std::vector<unsigned char>(4, 9));
  // 'm' of an empty source is empty, and the bad interpolation letter is never looked at.
  expect_frame(rotacao(f, 10, 'q', 'm'), 0, 0, 0, 0);
}

TEST(Rotation, UncoveredCornersTakeOutsideValueOrEdge) {
  // 5 x 5 at 45 degrees in its own frame: corner (0, 0) maps to (0, 2.83), above the source.
  IMGGRY g(5, 5);
  for (int k = 0; k < 25; k++) g.data[k] = static_cast<unsigned char>(k + 1);
  g.backg = 200;
  EXPECT_EQ(rotacao(g, 45, 'n', 'm', 'C').rows[0][0], 200);
  EXPECT_EQ(rotacao(g, 45, 'n', 'm', 'X').rows[0][0], g.rows[0][2]);
  IMGFLT f(g);
  f.backg = -1.5f;
  EXPECT_EQ(rotacao(f, 45, 'n', 'm').rows[0][0], -1.5f);
  IMGCPX x(f);
  x.backg = {3, 4};
  EXPECT_EQ(rotacao(x, 45, 'n', 'm').rows[4][4], std::complex<float>(3, 4));
}

// Bilinear at a general angle against a direct evaluation of the rule.
TEST(Rotation, BilinearMatchesTheRule) {
  const IMGFLT a = fixture<IMGFLT>();
  const double t = 30.0 / 180 * 3.14159265358979323846, C = std::cos(t), S = std::sin(t);
  auto s = [&](int x, int y) -> double {
    const int l = 1 - y, c = x + 2;
    return l >= 0 && l < 3 && c >= 0 && c < 5 ? a.rows[l][c] : a.backg;
  };
  const IMGFLT r = rotacao(a, 30, 'b', 'a');
  for (int l = 0; l < r.nl(); l++)
    for (int c = 0; c < r.nc(); c++) {
      const double x = c - r.cc, y = r.lc - l;
      const double xs = x * C + y * S, ys = -x * S + y * C;
      const int ix = static_cast<int>(std::floor(xs)), iy = static_cast<int>(std::floor(ys));
      const double dx = xs - ix, dy = ys - iy;
      const double v = (1 - dx) * (1 - dy) * s(ix, iy) + (1 - dx) * dy * s(ix, iy + 1) +
                       dx * (1 - dy) * s(ix + 1, iy) + dx * dy * s(ix + 1, iy + 1);
      EXPECT_EQ(r.rows[l][c], static_cast<float>(v)) << l << "," << c;
    }
  // The complex parts follow the float result to single precision.
  IMGCPX x(a);
  x.backg = a.backg;
  const IMGCPX rx = rotacao(x, 30, 'b', 'a');
  for (int k = 0; k < r.n(); k++) {
    EXPECT_NEAR(rx.data[k].real(), r.data[k], 1e-4);
    EXPECT_EQ(rx.data[k].imag(), 0.0f);
  }
}

TEST(Rotation, GreyBilinearIsRoundedHalfAway) {
  // 0 and 255 alternating under the outside value 255: blends round to the nearest byte.
  IMGGRY g(4, 4);
  for (int k = 0; k < 16; k++) g.data[k] = (k + k / 4) % 2 ? 255 : 0;
  g.backg = 255;
  const double t = 33 * 2 * 3.14159265358979323846 / 360, C = std::cos(t), S = std::sin(t);
  auto s = [&](int x, int y) -> double {
    const int l = g.lc - y, c = x + g.cc;
    return l >= 0 && l < 4 && c >= 0 && c < 4 ? g.rows[l][c] : g.backg;
  };
  const IMGGRY r = rotacao(g, 33, 'b', 'a', 'C');
  for (int l = 0; l < r.nl(); l++)
    for (int c = 0; c < r.nc(); c++) {
      const double x = c - r.cc, y = r.lc - l;
      const double xs = x * C + y * S, ys = -x * S + y * C;
      const int ix = static_cast<int>(std::floor(xs)), iy = static_cast<int>(std::floor(ys));
      const double dx = xs - ix, dy = ys - iy;
      const double v = (1 - dx) * (1 - dy) * s(ix, iy) + (1 - dx) * dy * s(ix, iy + 1) +
                       dx * (1 - dy) * s(ix + 1, iy) + dx * dy * s(ix + 1, iy + 1);
      EXPECT_EQ(r.rows[l][c], std::round(std::min(255.0, std::max(0.0, v)))) << l << "," << c;
    }
}

TEST(Rotation, GreyBorderLetterGoesToTheAccess) {
  IMGGRY g(3, 3);
  for (int k = 0; k < 9; k++) g.data[k] = static_cast<unsigned char>(k + 1);
  g.backg = 50;
  // 'n' reads (x, y) as (row, column): result (l, c) has x = c - 1, y = 1 - l.
  const IMGGRY r = rotacao(g, 0, 'n', 'm', 'n');
  EXPECT_EQ(r.rows[1][1], g.rows[0][0]);
  EXPECT_EQ(r.rows[1][2], g.rows[1][0]);
  EXPECT_EQ(r.rows[0][1], g.rows[0][1]);
  EXPECT_EQ(r.rows[0][0], 50);  // (-1, 1) is outside
  // Numeric aliases of the Cartesian letters.
  EXPECT_EQ(pixels(rotacao(g, 90, 'b', 'm', 14)), pixels(rotacao(g, 90, 'b', 'm', 'C')));
  EXPECT_EQ(pixels(rotacao(g, 20, 'b', 'm', 11)), pixels(rotacao(g, 20, 'b', 'm', 'X')));
}

TEST(Rotation, UnknownFrameLetterGivesAnEmptyResult) {
  const IMGFLT a = fixture<IMGFLT>();
  expect_frame(rotacao(a, 30, 'q', 'x'), 0, 0, 0, 0);
  expect_frame(rotacao(IMGGRY(a), 30, 'b', 'M', 'z'), 0, 0, 0, 0);
}

TEST(RotationDeath, Messages) {
  const IMGFLT a = fixture<IMGFLT>();
  EXPECT_ERRO(rotacao(a, 10, 'q', 'm'), "Erro inesperado", "");
  EXPECT_ERRO(rotacao(IMGCPX(a), 10, 'B', 'a'), "Erro inesperado", "");
  EXPECT_ERRO(rotacao(IMGGRY(a), 10, 'x', 'a', 'C'), "Erro inesperado", "");
  EXPECT_ERRO(rotacao(IMGGRY(a), 10, 'b', 'a', 'z'), "Erro: Modo de acesso invalido", "");
  EXPECT_ERRO(rotacao(IMGGRY(a), 10, 'n', 'm', 'e'), "Indice invalido", "");
  // A bounding frame wider than any image (from a negative width) is an allocation failure.
  EXPECT_ERRO(rotacao(IMGFLT(1, -2147483647), 0, 'n', 'a'), "Erro IMGFLT::aloca - Falta memoria",
              "");
}

}  // namespace
