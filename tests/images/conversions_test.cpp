// Conversions between image classes: the value rule of every pair in its three forms.
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "support/test_support.h"
#include "vistelmo.h"

namespace {

using Cpx = std::complex<float>;
const float kNanF = std::numeric_limits<float>::quiet_NaN();
const double kNan = std::numeric_limits<double>::quiet_NaN();

COR rgb(int r, int g, int b) {
  return COR{static_cast<unsigned char>(r), static_cast<unsigned char>(g),
             static_cast<unsigned char>(b)};
}

// Comparable, printable form of a pixel.
template <class P>
P key(P v) {
  return v;
}
int key(bool v) { return v; }
int key(unsigned char v) { return v; }
std::array<int, 3> key(COR c) { return {c.r, c.g, c.b}; }

template <class Img>
using Pix = typename Img::Pixel;

template <class Img>
auto outside(const Img& img) {
  if constexpr (std::is_same_v<Img, IMGBIN>)
    return img.backg;  // the whole word
  else
    return key(img.backg);
}

template <class Img>
auto want_outside(Pix<Img> v) {
  if constexpr (std::is_same_v<Img, IMGBIN>)
    return v ? 1u : 0u;
  else
    return key(v);
}

// Two rows: the values, then the values reversed.
template <class Img>
Img two_rows(const std::vector<Pix<Img>>& v, Pix<Img> backg) {
  const int n = static_cast<int>(v.size());
  Img img(2, n);
  for (int c = 0; c < n; c++) {
    img(0, c) = v[c];
    img(1, c) = v[n - 1 - c];
  }
  img(-1, -1) = backg;
  img.lc = 1;
  img.cc = 0;
  return img;
}

template <class Img>
void expect_pixels(const Img& got, const std::vector<Pix<Img>>& want, Pix<Img> want_backg) {
  const int n = static_cast<int>(want.size());
  ASSERT_EQ(got.nl(), 2);
  ASSERT_EQ(got.nc(), n);
  for (int c = 0; c < n; c++) {
    SCOPED_TRACE(c);
    EXPECT_EQ(key(got(0, c)), key(want[c]));
    EXPECT_EQ(key(got(1, c)), key(want[n - 1 - c]));
  }
  EXPECT_EQ(outside(got), want_outside<Img>(want_backg));
}

// Checks the constructor, both kinds of assignment, copia and the empty image.
template <class Dst, class Src>
void expect_rule(const std::vector<Pix<Src>>& in, Pix<Src> in_backg,
                 const std::vector<Pix<Dst>>& want, Pix<Dst> want_backg) {
  const Src src = two_rows<Src>(in, in_backg);
  const int nc = src.nc;
  {
    SCOPED_TRACE("constructor");
    const Dst d(src);
    expect_pixels(d, want, want_backg);
    EXPECT_EQ(d.lc, 0);
    EXPECT_EQ(d.cc, (nc - 1) / 2);
  }
  {
    SCOPED_TRACE("assignment to another size");
    Dst d(3, 40);
    d.lc = d.cc = 9;
    d = src;
    expect_pixels(d, want, want_backg);
    EXPECT_EQ(d.lc, 0);
    EXPECT_EQ(d.cc, (nc - 1) / 2);
  }
  {
    SCOPED_TRACE("assignment to the same size");
    Dst d(2, nc);
    d.lc = 5;
    d.cc = -6;
    const auto* block = d.data;
    d = src;
    expect_pixels(d, want, want_backg);
    EXPECT_EQ(d.data, block);
    EXPECT_EQ(d.lc, 5);
    EXPECT_EQ(d.cc, -6);
  }
  {
    SCOPED_TRACE("copia");
    Dst d(2, nc);
    d.lc = 5;
    d.cc = -6;
    d.copia(src);
    expect_pixels(d, want, want_backg);
    EXPECT_EQ(d.lc, 5);
    EXPECT_EQ(d.cc, -6);
  }
  {
    SCOPED_TRACE("empty");
    Src empty;
    empty(0, 0) = in_backg;
    const Dst d(empty);
    EXPECT_EQ(d.nl(), 0);
    EXPECT_EQ(d.nc(), 0);
    EXPECT_EQ(d.data, nullptr);
    EXPECT_EQ(outside(d), want_outside<Dst>(want_backg));
    Dst e(2, 2);
    e = empty;
    EXPECT_EQ(e.nl(), 0);
    EXPECT_EQ(outside(e), want_outside<Dst>(want_backg));
  }
}

TEST(Conversion, ToBinary) {
  expect_rule<IMGBIN, IMGGRY>({0, 127, 128, 255}, 128, {false, false, true, true}, true);
  expect_rule<IMGBIN, IMGGRY>({200}, 127, {true}, false);
  expect_rule<IMGBIN, IMGCOR>(
      {rgb(128, 128, 127), rgb(128, 127, 127), rgb(0, 0, 0), rgb(255, 255, 255)},
      rgb(128, 127, 127), {true, false, false, true}, false);
  expect_rule<IMGBIN, IMGFLT>({0.5f, 0.49999997f, 1.0f, -3.0f, 7.5f, kNanF}, 0.5f,
                              {true, false, true, false, true, false}, true);
  expect_rule<IMGBIN, IMGCPX>(
      {Cpx(0.3f, 0.4f), Cpx(0.3f, 0.3f), Cpx(0, 0), Cpx(-0.5f, 0), Cpx(0, -0.5f), Cpx(1e-30f, 0)},
      Cpx(0.3f, 0.4f), {true, false, false, true, true, false}, true);
}

TEST(Conversion, ToGrey) {
  expect_rule<IMGGRY, IMGBIN>({true, false, false}, false, {255, 0, 0}, 0);
  expect_rule<IMGGRY, IMGBIN>({false}, true, {0}, 255);
  expect_rule<IMGGRY, IMGCOR>(
      {rgb(1, 1, 0), rgb(1, 0, 0), rgb(255, 255, 255), rgb(128, 128, 127), rgb(0, 0, 0)},
      rgb(1, 1, 0), {1, 0, 255, 128, 0}, 1);
  expect_rule<IMGGRY, IMGSHT>({-5, 300, 0, 255, 17, -32768, 32767}, 300,
                              {0, 255, 0, 255, 17, 0, 255}, 255);
  expect_rule<IMGGRY, IMGFLT>({1.0f, 0.999f, 0.5f, -0.2f, 7.5f, kNanF, 0.0f}, 0.999f,
                              {255, 254, 127, 0, 255, 0, 0}, 254);
  expect_rule<IMGGRY, IMGDBL>({1.0, 0.999, 0.5, -0.2, 7.5, kNan, 0.0}, kNan,
                              {255, 254, 127, 0, 255, 0, 0}, 0);
}

TEST(Conversion, ToColour) {
  const COR white = rgb(255, 255, 255), black = rgb(0, 0, 0);
  expect_rule<IMGCOR, IMGBIN>({true, false}, true, {white, black}, white);
  expect_rule<IMGCOR, IMGGRY>({0, 77, 255}, 9, {black, rgb(77, 77, 77), white}, rgb(9, 9, 9));
  expect_rule<IMGCOR, IMGFLT>({0.999f, kNanF, 7.5f, -1.0f}, 0.5f,
                              {rgb(254, 254, 254), black, white, black}, rgb(127, 127, 127));
}

TEST(Conversion, ToShort) { expect_rule<IMGSHT, IMGGRY>({0, 200, 255}, 255, {0, 200, 255}, 255); }

TEST(Conversion, ToFloat) {
  expect_rule<IMGFLT, IMGBIN>({true, false}, true, {1.0f, 0.0f}, 1.0f);
  // 51/255 rounded to single precision is 0.2f.
  expect_rule<IMGFLT, IMGGRY>({51, 255, 0, 1}, 51,
                              {0.2f, 1.0f, 0.0f, static_cast<float>(1 / 255.0)}, 0.2f);
  expect_rule<IMGFLT, IMGCOR>(
      {rgb(1, 2, 3), rgb(255, 255, 255), rgb(128, 128, 127)}, rgb(0, 0, 1),
      {static_cast<float>(6 / 765.0), 1.0f, static_cast<float>(383 / 765.0)},
      static_cast<float>(1 / 765.0));
  expect_rule<IMGFLT, IMGDBL>({0.1, 1.0 / 3, -2.5}, 0.1, {0.1f, 1.0f / 3, -2.5f}, 0.1f);
}

TEST(Conversion, ToDouble) {
  expect_rule<IMGDBL, IMGBIN>({false, true}, false, {0.0, 1.0}, 0.0);
  expect_rule<IMGDBL, IMGGRY>({51, 255}, 1, {51 / 255.0, 1.0}, 1 / 255.0);
  expect_rule<IMGDBL, IMGCOR>({rgb(1, 2, 3), rgb(255, 255, 255)}, rgb(128, 128, 127),
                              {6 / 765.0, 1.0}, 383 / 765.0);
  expect_rule<IMGDBL, IMGFLT>({0.1f, -7.5f}, 0.2f, {static_cast<double>(0.1f), -7.5},
                              static_cast<double>(0.2f));
}

TEST(Conversion, ToComplex) {
  expect_rule<IMGCPX, IMGBIN>({true, false}, true, {Cpx(1, 0), Cpx(0, 0)}, Cpx(1, 0));
  expect_rule<IMGCPX, IMGGRY>({51, 255}, 0, {Cpx(0.2f, 0), Cpx(1, 0)}, Cpx(0, 0));
  expect_rule<IMGCPX, IMGCOR>({rgb(1, 2, 3)}, rgb(255, 255, 255),
                              {Cpx(static_cast<float>(6 / 765.0), 0)}, Cpx(1, 0));
  expect_rule<IMGCPX, IMGFLT>({0.25f, -3.0f}, 0.5f, {Cpx(0.25f, 0), Cpx(-3.0f, 0)}, Cpx(0.5f, 0));
}

// Words of a binary image at widths around the word size; spare bits keep what the storage held.
// Every grey value to float, double and complex and back, against the rules written out.
TEST(Conversion, EveryGreyValueBothWays) {
  IMGGRY g(1, 256);
  for (int v = 0; v < 256; v++) g(0, v) = static_cast<unsigned char>(v);
  const IMGFLT f(g);
  const IMGDBL d(g);
  const IMGCPX z(g);
  const IMGGRY back(f), back_d(d);
  for (int v = 0; v < 256; v++) {
    EXPECT_TRUE(testutil::same(f(0, v), static_cast<float>(v / 255.0))) << v;
    EXPECT_TRUE(testutil::same(d(0, v), v / 255.0)) << v;
    EXPECT_TRUE(testutil::same(z(0, v).real(), static_cast<float>(v / 255.0))) << v;
    EXPECT_EQ(back(0, v), v);
    EXPECT_EQ(back_d(0, v), v);
  }
}

// Reals to grey: NaN, signs, values above 1, every k / 255 and its float and double
// neighbours, and a sweep over float bit patterns, against clamp, times 255, truncate.
TEST(Conversion, RealsToGreyAtTheEdges) {
  auto want = [](double v) {
    if (!(v > 0)) return 0;
    if (v > 1) v = 1;
    return static_cast<int>(v * 255.0);
  };
  std::vector<double> vs = {kNan,
                            -kNan,
                            -0.0,
                            0.0,
                            -1e-300,
                            1e-300,
                            1.0,
                            1.0000001,
                            2,
                            255,
                            1e30,
                            -1e30,
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity()};
  for (int k = 0; k <= 255; k++)
    for (double v : {k / 255.0, static_cast<double>(static_cast<float>(k / 255.0))}) {
      vs.push_back(v);
      vs.push_back(std::nextafter(v, 2.0));
      vs.push_back(std::nextafter(v, -1.0));
      vs.push_back(std::nextafter(static_cast<float>(v), 2.0f));
      vs.push_back(std::nextafter(static_cast<float>(v), -1.0f));
    }
  for (uint64_t bits = 0; bits < (uint64_t{1} << 32); bits += 4099) {
    float v;
    const uint32_t b = static_cast<uint32_t>(bits);
    std::memcpy(&v, &b, 4);
    vs.push_back(v);
  }
  const int n = static_cast<int>(vs.size());
  IMGDBL d(1, n);
  IMGFLT f(1, n);
  for (int c = 0; c < n; c++) {
    d(0, c) = vs[c];
    f(0, c) = static_cast<float>(vs[c]);
  }
  const IMGGRY from_d(d), from_f(f);
  const IMGCOR colour(f);
  for (int c = 0; c < n; c++) {
    ASSERT_EQ(from_d(0, c), want(vs[c])) << vs[c];
    ASSERT_EQ(from_f(0, c), want(static_cast<float>(vs[c]))) << vs[c];
    ASSERT_EQ(colour(0, c).g, want(static_cast<float>(vs[c]))) << vs[c];
  }
}

TEST(ConversionBinary, WordEdgesAndSpareBits) {
  for (int nc : {1, 31, 32, 33, 63, 64, 65}) {
    SCOPED_TRACE(nc);
    IMGGRY g(3, nc);
    for (int l = 0; l < 3; l++)
      for (int c = 0; c < nc; c++) g(l, c) = (l * 7 + c * 13) % 5 == 0 ? 200 : 30;
    g.backg = 128;

    IMGBIN b(3, nc);
    for (int w = 0; w < b.nw; w++) b.data[w] = 0xFFFFFFFFu;
    b.backg = 0xFFFFFFFEu;
    b = g;
    EXPECT_EQ(b.backg, 1u);
    const uint32_t spare = (nc & 31) == 0 ? 0u : 0xFFFFFFFFu >> (nc & 31);
    for (int l = 0; l < 3; l++) {
      for (int c = 0; c < nc; c++)
        ASSERT_EQ(static_cast<bool>(b(l, c)), g(l, c) > 127) << l << "," << c;
      EXPECT_EQ(b.rows[l][b.wpr - 1] & spare, spare);
    }

    // And back: the bits read as 255 and 0, row by row.
    const IMGGRY back(b);
    for (int l = 0; l < 3; l++)
      for (int c = 0; c < nc; c++) ASSERT_EQ(back(l, c), g(l, c) > 127 ? 255 : 0) << l << "," << c;
    EXPECT_EQ(back.backg, 255);
  }
}

TEST(ConversionBinary, OutsideWordBecomesZeroOrOne) {
  IMGFLT f(1, 1, 0.0f);
  f.backg = 0.2f;
  IMGBIN b(1, 1);
  b.backg = 0xFFFFFFFFu;
  b.copia(f);
  EXPECT_EQ(b.backg, 0u);
}

TEST(ConversionComplex, FromRealAndImaginaryPlanes) {
  IMGFLT re(2, 3, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0), im(2, 3, -1.0, -2.0, -3.0, -4.0, -5.0, -6.0);
  re.backg = 0.7f;
  im.backg = 0.9f;
  re.lc = 0;
  const IMGCPX z(re, im);
  ASSERT_EQ(z.nl(), 2);
  ASSERT_EQ(z.nc(), 3);
  EXPECT_EQ(z.lc, 0);
  EXPECT_EQ(z.cc, 1);
  EXPECT_EQ(z.backg, Cpx(0, 0));
  for (int l = 0; l < 2; l++)
    for (int c = 0; c < 3; c++) EXPECT_EQ(z(l, c), Cpx(re(l, c), im(l, c)));
}

TEST(ConversionDeath, PlanesOfDifferentSizes) {
  EXPECT_ERRO(IMGCPX(IMGFLT(3, 4), IMGFLT(4, 3)),
              "Erro: IMGCPX(IMGFLT x, IMGFLT y) dimensoes diferentes", "");
}

TEST(ConversionDeath, CopiaIntoAnotherSize) {
  const char* msg = "Erro: a.nl()!=nl() || a.nc()!=nc()";
  EXPECT_ERRO(IMGGRY(3, 2).copia(IMGCOR(2, 3)), msg, "");
  EXPECT_ERRO(IMGBIN(2, 2).copia(IMGGRY(2, 3)), msg, "");
  EXPECT_ERRO(IMGFLT(4, 4).copia(IMGDBL(2, 2)), msg, "");
  EXPECT_ERRO(IMGCPX(1, 1).copia(IMGFLT(0, 0)), msg, "");
}

}  // namespace
