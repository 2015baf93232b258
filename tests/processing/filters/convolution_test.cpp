#include "processing/filters/convolution.h"

#include <gtest/gtest.h>

#include <complex>

#include "support/conv_fixtures.h"
#include "support/test_support.h"

using namespace convtest;

namespace {

using CPXF = std::complex<float>;
using CPXD = std::complex<double>;

// Kernels of odd, even and single sizes, some with a moved centre.
template <class Img>
std::vector<Img> kernels() {
  std::vector<Img> ks = {sample<Img>(1, 1, 11),         sample<Img>(3, 3, 12),
                         sample<Img>(2, 2, 13),         sample<Img>(1, 4, 14),
                         sample<Img>(4, 1, 15),         sample<Img>(2, 3, 16, 0, 1, 2),
                         sample<Img>(3, 2, 17, 0, 0, 0)};
  return ks;
}

template <class Img>
void check_all_modes() {
  for (const Size& sz : sizes())
    for (int centred = 0; centred < 2; centred++) {
      // A moved centre matters to the centre-relative and Cartesian letters.
      const Img a =
          centred ? sample<Img>(sz.nl, sz.nc, 1, -3.5, sz.nl - 1, 0) : sample<Img>(sz.nl, sz.nc, 2);
      for (const Img& k : kernels<Img>())
        for (char m : modes()) {
          SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " kernel " +
                       std::to_string(k.nl()) + "x" + std::to_string(k.nc()) + " mode " +
                       mode_name(m));
          const Img r = convolucao(a, k, m);
          EXPECT_TRUE(same_pixels(r, naive_convolucao(a, k, m)));
          expect_fresh(r);
        }
    }
}

TEST(Convolucao, FloatMatchesElementAccessInEveryMode) { check_all_modes<IMGFLT>(); }
TEST(Convolucao, DoubleMatchesElementAccessInEveryMode) { check_all_modes<IMGDBL>(); }

TEST(Convolucao, ModeEWorksInsideAndFailsAtTheBorder) {
  const IMGFLT a = sample<IMGFLT>(2, 2, 3);
  const IMGFLT one = sample<IMGFLT>(1, 1, 4);
  EXPECT_TRUE(same_pixels(convolucao(a, one, 'e'), naive_convolucao(a, one, 'x')));
  EXPECT_TRUE(same_pixels(convolucao(a, one, 2), naive_convolucao(a, one, 'x')));
  EXPECT_ERRO(convolucao(a, laplace4(), 'e'), "Indice invalido", "");
  EXPECT_ERRO(convolucao(IMGDBL(3, 1, 1.0), IMGDBL(1, 2, 1.0), 'e'), "Indice invalido", "");
}

TEST(Convolucao, InvalidLetterFailsOnlyWhenASampleIsRead) {
  const IMGFLT a = sample<IMGFLT>(3, 3, 5);
  EXPECT_ERRO(convolucao(a, laplace4(), 'q'), "Erro: Modo de acesso invalido", "");
  EXPECT_ERRO(convolucao(a, IMGFLT(1, 1, 1.0f), 'E'), "Erro: Modo de acesso invalido", "");
  // No sample is read: no failure.
  const IMGFLT none = convolucao(a, IMGFLT(), 'q');
  EXPECT_EQ(none.nl(), 3);
  for (int i = 0; i < none.n(); i++) EXPECT_EQ(none.data[i], 0.0f);
  EXPECT_EQ(convolucao(IMGFLT(), laplace4(), 'q').n(), 0);
}

TEST(Convolucao, UnitKernelCopiesPixelsIntoAFreshImage) {
  const IMGFLT a = sample<IMGFLT>(3, 4, 6, 2.5, 0, 0);
  IMGFLT k(1, 1, 1.0f);
  const IMGFLT r = convolucao(a, k, 'r');
  EXPECT_TRUE(same_pixels(r, a));
  expect_fresh(r);
}

TEST(Convolucao, LaplacianBorderUnderOutsideValueZero) {
  IMGFLT a(3, 4, 2.0f);
  a.backg = 0;
  const IMGFLT x = convolucao(a, laplace4(), 'x');
  for (int i = 0; i < x.n(); i++) EXPECT_EQ(x.data[i], 0.0f);
  const IMGFLT n = convolucao(a, laplace4(), 'n');
  EXPECT_EQ(n.rows[0][0], 4.0f);  // corner: two missing neighbours
  EXPECT_EQ(n.rows[0][1], 2.0f);  // edge: one
  EXPECT_EQ(n.rows[1][0], 2.0f);
  EXPECT_EQ(n.rows[1][1], 0.0f);
  EXPECT_EQ(n.rows[2][2], 2.0f);
  EXPECT_EQ(n.rows[2][3], 4.0f);
}

TEST(Convolucao, DifferenceKernelsPointRightAndUp) {
  IMGFLT a(3, 3);
  for (int l = 0; l < 3; l++)
    for (int c = 0; c < 3; c++) a.rows[l][c] = float(10 * l + c);
  // Grows by 1 to the right and by 10 downwards.
  EXPECT_EQ(convolucao(a, derivparc('x'), 'x').rows[1][1], 2.0f);
  EXPECT_EQ(convolucao(a, derivparc('y'), 'x').rows[1][1], -20.0f);
  EXPECT_EQ(convolucao(a, sobel('x'), 'x').rows[1][1], 8.0f);
  EXPECT_EQ(convolucao(a, sobel('y'), 'x').rows[1][1], -80.0f);
  EXPECT_EQ(convolucao(a, prewitt('x'), 'x').rows[1][1], 6.0f);
  EXPECT_EQ(convolucao(a, prewitt('y'), 'x').rows[1][1], -60.0f);
  // Roberts: a(i-1, j) - a(i, j-1), the outside value at row or column 0.
  a.backg = 100;
  const IMGFLT r = convolucao(a, roberts('x'), 'n');
  EXPECT_EQ(r.rows[1][1], a.rows[0][1] - a.rows[1][0]);
  EXPECT_EQ(r.rows[0][2], 100.0f - a.rows[0][1]);
  EXPECT_EQ(r.rows[2][0], a.rows[1][0] - 100.0f);
}

TEST(Convolucao, OnlyTheStoredKernelCentreCounts) {
  const IMGFLT a = sample<IMGFLT>(4, 5, 7);
  IMGFLT k(3, 3, 0.0f);
  k.rows[0][0] = 1;  // with the centre on this element the kernel is the identity
  k.lc = 0, k.cc = 0;
  EXPECT_TRUE(same_pixels(convolucao(a, k, 'n'), a));
  k.lc = 1, k.cc = 2;  // now it picks a(i + 1, j + 2)
  const IMGFLT r = convolucao(a, k, 'n');
  EXPECT_EQ(r.rows[0][0], a.rows[1][2]);
  EXPECT_EQ(r.rows[3][4], a.backg);
}

TEST(FixedKernels, ValuesSizesAndCentres) {
  struct Case {
    IMGFLT k;
    int nl, nc;
    std::vector<float> v;
  };
  const Case cases[] = {
      {laplace4(), 3, 3, {0, -1, 0, -1, 4, -1, 0, -1, 0}},
      {laplace8(), 3, 3, {-1, -1, -1, -1, 8, -1, -1, -1, -1}},
      {derivparc('x'), 1, 3, {1, 0, -1}},
      {derivparc('y'), 3, 1, {-1, 0, 1}},
      {sobel('x'), 3, 3, {1, 0, -1, 2, 0, -2, 1, 0, -1}},
      {sobel('y'), 3, 3, {-1, -2, -1, 0, 0, 0, 1, 2, 1}},
      {prewitt('x'), 3, 3, {1, 0, -1, 1, 0, -1, 1, 0, -1}},
      {prewitt('y'), 3, 3, {-1, -1, -1, 0, 0, 0, 1, 1, 1}},
      {sobeld('x'), 3, 3, {0, -1, -2, 1, 0, -1, 2, 1, 0}},
      {sobeld('y'), 3, 3, {-2, -1, 0, -1, 0, 1, 0, 1, 2}},
      {prewittd('x'), 3, 3, {0, -1, -1, 1, 0, -1, 1, 1, 0}},
      {prewittd('y'), 3, 3, {-1, -1, 0, -1, 0, 1, 0, 1, 1}},
      {roberts('x'), 2, 2, {0, -1, 1, 0}},
      {roberts('y'), 2, 2, {-1, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.k.nl(), c.nl);
    ASSERT_EQ(c.k.nc(), c.nc);
    expect_fresh(c.k);
    for (int i = 0; i < c.k.n(); i++) EXPECT_EQ(c.k.data[i], c.v[i]) << i;
  }
}

TEST(FixedKernels, InvalidDirectionIsFatal) {
  EXPECT_ERRO(derivparc('z'), "Erro derivparc: direcao invalido", "");
  EXPECT_ERRO(sobel('X'), "Erro sobel: direcao invalido", "");
  EXPECT_ERRO(sobeld('Y'), "Erro sobeld: direcao invalido", "");
  EXPECT_ERRO(prewitt(0), "Erro prewitt: direcao invalido", "");
  EXPECT_ERRO(prewittd('z'), "Erro prewittd: direcao invalido", "");
  EXPECT_ERRO(roberts('n'), "Erro roberts: direcao invalido", "");
}

// Full-size references through the bounds-checked access with outside value 0.
IMGFLT naive_full(IMGFLT a, const IMGFLT& b, bool mirror) {
  a.backg = 0;
  IMGFLT r(a.nl() + b.nl() - 1, a.nc() + b.nc() - 1);
  for (int i = 0; i < r.nl(); i++)
    for (int j = 0; j < r.nc(); j++) {
      double s = 0;
      for (int p = 0; p < b.nl(); p++)
        for (int q = 0; q < b.nc(); q++) {
          const float v = mirror ? a(i - p, j - q) : a(i - (b.nl() - 1) + p, j - (b.nc() - 1) + q);
          s += double(b.rows[p][q]) * double(v);
        }
      r.rows[i][j] = float(s);
    }
  return r;
}

IMGCPX naive_full(IMGCPX a, const IMGCPX& b, bool mirror) {
  a.backg = 0;
  IMGCPX r(a.nl() + b.nl() - 1, a.nc() + b.nc() - 1);
  for (int i = 0; i < r.nl(); i++)
    for (int j = 0; j < r.nc(); j++) {
      CPXD s = 0;
      for (int p = 0; p < b.nl(); p++)
        for (int q = 0; q < b.nc(); q++) {
          const CPXF t = b.rows[p][q];
          const CPXF v = mirror ? a(i - p, j - q) : a(i - (b.nl() - 1) + p, j - (b.nc() - 1) + q);
          const CPXF w = mirror ? t : std::conj(t);
          s += CPXD(CPXF(v.real() * w.real() - v.imag() * w.imag(),
                         v.real() * w.imag() + v.imag() * w.real()));
        }
      r.rows[i][j] = CPXF(s);
    }
  return r;
}

IMGCPX complex_sample(int nl, int nc, int seed) {
  IMGCPX a(nl, nc);
  const IMGFLT re = sample<IMGFLT>(nl, nc, seed), im = sample<IMGFLT>(nl, nc, seed + 50);
  for (int i = 0; i < a.n(); i++) a.data[i] = CPXF(re.data[i], im.data[i]);
  a.backg = CPXF(3, -2);
  a.lc = 0;
  return a;
}

TEST(DirectConv, ImagesMatchTheDirectSums) {
  const std::vector<Size> bs = {{1, 1}, {1, 3}, {3, 1}, {2, 2}, {3, 4}};
  for (const Size& sa : sizes())
    for (const Size& sb : bs) {
      SCOPED_TRACE(std::to_string(sa.nl) + "x" + std::to_string(sa.nc) + " with " +
                   std::to_string(sb.nl) + "x" + std::to_string(sb.nc));
      const IMGFLT a = sample<IMGFLT>(sa.nl, sa.nc, 1, 5.5, 0, 0),
                   b = sample<IMGFLT>(sb.nl, sb.nc, 2);
      const IMGFLT c = conv(a, b), x = xcorr(a, b);
      EXPECT_TRUE(same_pixels(c, naive_full(a, b, true)));
      EXPECT_TRUE(same_pixels(x, naive_full(a, b, false)));
      EXPECT_TRUE(same_pixels(filtlin(a, b), x));
      expect_fresh(c);
      expect_fresh(x);
      const IMGCPX ca = complex_sample(sa.nl, sa.nc, 3), cb = complex_sample(sb.nl, sb.nc, 4);
      const IMGCPX cc = conv(ca, cb), cx = xcorr(ca, cb);
      EXPECT_TRUE(same_pixels(cc, naive_full(ca, cb, true)));
      EXPECT_TRUE(same_pixels(cx, naive_full(ca, cb, false)));
      expect_fresh(cc);
    }
}

TEST(DirectConv, ConvEqualsXcorrWithTheReflectedOperand) {
  const IMGFLT a = sample<IMGFLT>(3, 4, 8), b = sample<IMGFLT>(2, 3, 9);
  IMGFLT rb(2, 3);
  for (int p = 0; p < 2; p++)
    for (int q = 0; q < 3; q++) rb.rows[p][q] = b.rows[1 - p][2 - q];
  EXPECT_TRUE(same_pixels(conv(a, b), xcorr(a, rb)));
}

TEST(DirectConv, EmptyOperandsGiveZeros) {
  const IMGFLT a = sample<IMGFLT>(3, 4, 10);
  const IMGFLT r1 = conv(a, IMGFLT()), r2 = xcorr(IMGFLT(), a);
  EXPECT_EQ(r1.nl(), 2);
  EXPECT_EQ(r1.nc(), 3);
  EXPECT_EQ(r2.nl(), 2);
  EXPECT_EQ(r2.nc(), 3);
  for (int i = 0; i < 6; i++) EXPECT_EQ(r1.data[i], 0.0f);
  for (int i = 0; i < 6; i++) EXPECT_EQ(r2.data[i], 0.0f);
}

TEST(DirectConv, InfiniteMaskMeetsOutsideZerosAsNaN) {
  // Nothing skips the products with the zeros outside a.
  IMGFLT a(1, 1, 2.0f), b(1, 2, 1.0f);
  b.rows[0][0] = INFINITY;
  const IMGFLT r = conv(a, b);  // (inf * 2 + 1 * 0, inf * 0 + 1 * 2)
  ASSERT_EQ(r.nc(), 2);
  EXPECT_EQ(r.rows[0][0], INFINITY);
  EXPECT_TRUE(std::isnan(r.rows[0][1]));
}

VETOR<double> vec(std::initializer_list<double> v) {
  VETOR<double> r(int(v.size()));
  int i = 0;
  for (double x : v) r.data[i++] = x;
  return r;
}

TEST(DirectConv, Vectors) {
  VETOR<double> a = vec({1, 2, 3});
  a.backg = 9;  // ignored: outside counts 0
  const struct {
    VETOR<double> got;
    std::vector<double> want;
  } cases[] = {
      {conv(a, vec({0, 1})), {0, 1, 2, 3}},         {xcorr(a, vec({0, 1})), {1, 2, 3, 0}},
      {xcorr(a, vec({1, 0})), {0, 1, 2, 3}},        {conv(a, vec({1, 2, 3})), {1, 4, 10, 12, 9}},
      {xcorr(a, vec({1, 2, 3})), {3, 8, 14, 8, 3}}, {conv(a, VETOR<double>()), {0, 0}}};
  for (const auto& c : cases) {
    ASSERT_EQ(c.got.n(), int(c.want.size()));
    for (int i = 0; i < c.got.n(); i++) EXPECT_EQ(c.got.data[i], c.want[i]) << i;
  }
}

TEST(DirectConv, ComplexVectors) {
  VETOR<CPXD> a(3), b(2);
  a.data[0] = {1, 2}, a.data[1] = {0, -1}, a.data[2] = {3, 0.5};
  b.data[0] = {2, 1}, b.data[1] = {-1, 1};
  const VETOR<CPXD> self = xcorr(a, a);
  ASSERT_EQ(self.n(), 5);
  EXPECT_EQ(self.data[2], CPXD(5 + 1 + 9.25, 0));
  const VETOR<CPXD> c = conv(a, b), x = xcorr(a, b);
  ASSERT_EQ(c.n(), 4);
  ASSERT_EQ(x.n(), 4);
  for (int i = 0; i < 4; i++) {
    CPXD sc = 0, sx = 0;
    for (int k = 0; k < 2; k++) {
      if (i - k >= 0 && i - k < 3) sc += a.data[i - k] * b.data[k];
      const int m = i - 1 + k;
      if (m >= 0 && m < 3) sx += a.data[m] * std::conj(b.data[k]);
    }
    EXPECT_EQ(c.data[i], sc) << i;
    EXPECT_EQ(x.data[i], sx) << i;
  }
}

}  // namespace
