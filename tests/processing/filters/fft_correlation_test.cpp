#include "processing/filters/fft_correlation.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <utility>
#include <vector>

#include "processing/filters/fft.h"
#include "support/isa_levels.h"
#include "support/test_support.h"

namespace {

typedef std::complex<float> CF;
typedef std::complex<double> CD;

IMGCPX sample_cpx(int nl, int nc, float seed) {
  IMGCPX a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++)
      a.rows[l][c] =
          CF(std::sin(seed + 0.9f * l + 0.4f * c * c), std::cos(seed * l - 0.6f * c) - 0.3f);
  a.backg = CF(3, 4);
  a.lc = 0;
  a.cc = 0;
  return a;
}

IMGFLT sample_flt(int nl, int nc, float seed) {
  IMGFLT a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a.rows[l][c] = std::sin(seed + 1.3f * l * l + 0.7f * c) + 0.2f * l;
  a.backg = 9;
  return a;
}

CD px(const IMGCPX& a, int l, int c) {
  return l >= 0 && l < a.nl() && c >= 0 && c < a.nc() ? CD(a.rows[l][c]) : CD(0);
}

// Direct sums; lag zero of the correlation at (nlb-1, ncb-1).
std::vector<CD> direct(const IMGCPX& a, const IMGCPX& b, bool corr) {
  const int nl = a.nl() + b.nl() - 1, nc = a.nc() + b.nc() - 1;
  std::vector<CD> r(nl * nc);
  for (int i = 0; i < nl; i++)
    for (int j = 0; j < nc; j++) {
      CD s = 0;
      for (int p = 0; p < b.nl(); p++)
        for (int q = 0; q < b.nc(); q++)
          s += corr ? px(a, i + p - (b.nl() - 1), j + q - (b.nc() - 1)) * std::conj(px(b, p, q))
                    : px(a, i - p, j - q) * px(b, p, q);
      r[i * nc + j] = s;
    }
  return r;
}

// Smallest power of two not below n.
int padded(int n) {
  int p = 1;
  while (p < n) p *= 2;
  return p;
}

struct Shape {
  int nla, nca, nlb, ncb;
};
const Shape kShapes[] = {{1, 1, 1, 1}, {3, 5, 2, 2}, {4, 4, 4, 4}, {2, 7, 3, 1},
                         {1, 1, 3, 4}, {5, 3, 1, 1}, {6, 2, 2, 5}, {0, 0, 3, 3}};

TEST(FftCorrelation, ComplexImagesAgreeWithDirectSums) {
  for (const Shape& s : kShapes) {
    const IMGCPX a = sample_cpx(s.nla, s.nca, 0.3f), b = sample_cpx(s.nlb, s.ncb, 1.7f);
    for (bool corr : {true, false}) {
      IMGCPX r = corr ? xcorrf(a, b) : convf(a, b);
      const int nl = s.nla + s.nlb - 1, nc = s.nca + s.ncb - 1;
      ASSERT_EQ(r.nl(), nl);
      ASSERT_EQ(r.nc(), nc);
      EXPECT_EQ(r.lc, (nl - 1) / 2);
      EXPECT_EQ(r.cc, (nc - 1) / 2);
      const std::vector<CD> want = direct(a, b, corr);
      for (int k = 0; k < nl * nc; k++)
        EXPECT_LT(std::abs(CD(r.data[k]) - want[k]), 1e-5) << corr << " " << s.nla << "x" << s.nca;
    }
  }
}

TEST(FftCorrelation, FloatImagesTakeTheRealPart) {
  for (const Shape& s : kShapes) {
    const IMGFLT a = sample_flt(s.nla, s.nca, 0.1f), b = sample_flt(s.nlb, s.ncb, 2.2f);
    const IMGCPX ca(a), cb(b);
    for (bool corr : {true, false}) {
      IMGFLT r = corr ? xcorrf(a, b) : convf(a, b);
      const int nl = s.nla + s.nlb - 1, nc = s.nca + s.ncb - 1;
      ASSERT_EQ(r.nl(), nl);
      ASSERT_EQ(r.nc(), nc);
      EXPECT_EQ(r.lc, (nl - 1) / 2);
      EXPECT_EQ(r.cc, (nc - 1) / 2);
      const std::vector<CD> want = direct(ca, cb, corr);
      for (int k = 0; k < nl * nc; k++) EXPECT_NEAR(r.data[k], want[k].real(), 1e-5);
    }
  }
}

TEST(FftCorrelation, FloatImagesOfAwkwardSizesOnEveryInstructionSet) {
  const Shape shapes[] = {{7, 67, 12, 131}, {12, 131, 7, 67}, {1, 257, 1, 3}, {1, 1, 1, 1},
                          {33, 17, 2, 40},  {5, 1, 64, 1},    {3, 2, 31, 33}, {1, 1, 16, 8}};
  for (const Shape& s : shapes) {
    const IMGFLT a = sample_flt(s.nla, s.nca, 0.4f), b = sample_flt(s.nlb, s.ncb, 1.9f);
    for (bool corr : {true, false}) {
      const std::vector<CD> want = direct(IMGCPX(a), IMGCPX(b), corr);
      double top = 0;
      for (const CD& w : want) top = std::max(top, std::abs(w));
      std::vector<IMGFLT> got;
      testutil::for_each_isa([&] {
        got.push_back(corr ? xcorrf(a, b) : convf(a, b));
        const IMGFLT& r = got.back();
        const int nl = s.nla + s.nlb - 1, nc = s.nca + s.ncb - 1;
        ASSERT_EQ(r.nl(), nl);
        ASSERT_EQ(r.nc(), nc);
        EXPECT_EQ(r.lc, (nl - 1) / 2);
        EXPECT_EQ(r.cc, (nc - 1) / 2);
        // b's outside value survives a convolution by a single pixel at b's padded size.
        const bool kept = !corr && s.nla == 1 && s.nca == 1 && nl == padded(nl) && nc == padded(nc);
        EXPECT_EQ(r.backg, kept ? b.backg : 0.0f);
        EXPECT_EQ(Quorvan::nW, padded(nl));
        for (int k = 0; k < nl * nc; k++)
          EXPECT_NEAR(r.data[k], want[k].real(), 1e-6 * top)
              << corr << " " << s.nla << "x" << s.nca;
        EXPECT_EQ(std::memcmp(r.data, got[0].data, sizeof(float) * nl * nc), 0);
      });
    }
  }
}

TEST(FftCorrelation, FloatOperandsOfVeryDifferentScales) {
  for (float scale : {1e-4f, 1e4f}) {
    IMGFLT a = sample_flt(9, 13, 0.3f), b = sample_flt(4, 3, 1.7f);
    for (int i = 0; i < b.n(); i++) b.data[i] *= scale;
    for (bool corr : {true, false}) {
      const IMGFLT r = corr ? xcorrf(a, b) : convf(a, b);
      const std::vector<CD> want = direct(IMGCPX(a), IMGCPX(b), corr);
      double top = 0;
      for (const CD& w : want) top = std::max(top, std::abs(w));
      for (int k = 0; k < r.n(); k++) EXPECT_NEAR(r.data[k], want[k].real(), 1e-6 * top) << k;
    }
  }
}

IMGFLT float_result(const IMGFLT& a, const IMGFLT& b, bool corr) {
  return corr ? xcorrf(a, b) : convf(a, b);
}

TEST(FftCorrelation, FloatOperandsWithoutPixelsGiveZeros) {
  // Either operand of no rows, no columns or neither, against operands larger than the padded
  // size that is left.
  const Shape shapes[] = {{0, 4, 2, 3}, {2, 3, 0, 4}, {4, 0, 3, 2}, {3, 2, 4, 0},
                          {0, 0, 3, 3}, {5, 7, 0, 0}, {0, 0, 0, 0}, {0, 4, 0, 3},
                          {4, 0, 3, 0}, {0, 9, 9, 0}, {0, 1, 7, 1}, {1, 0, 1, 7}};
  for (const Shape& s : shapes)
    for (bool corr : {true, false}) {
      const IMGFLT a = sample_flt(s.nla, s.nca, 0.5f), b = sample_flt(s.nlb, s.ncb, 1.5f);
      const IMGFLT r = float_result(a, b, corr);
      const int nl = std::max(s.nla + s.nlb - 1, 0), nc = std::max(s.nca + s.ncb - 1, 0);
      ASSERT_EQ(r.nl(), nl) << s.nla << "x" << s.nca << " " << s.nlb << "x" << s.ncb;
      ASSERT_EQ(r.nc(), nc) << s.nla << "x" << s.nca << " " << s.nlb << "x" << s.ncb;
      EXPECT_EQ(r.backg, 0.0f);
      for (int l = 0; l < r.nl(); l++)
        for (int c = 0; c < r.nc(); c++) EXPECT_EQ(r.rows[l][c], 0.0f) << l << " " << c;
      if (nl > 0 && nc > 0) {
        EXPECT_EQ(r.lc, (nl - 1) / 2);
        EXPECT_EQ(r.cc, (nc - 1) / 2);
      }
    }
}

TEST(FftCorrelation, ZeroFloatOperandsGiveExactZeros) {
  IMGFLT ramp(6, 1);
  for (int i = 0; i < 6; i++) ramp.data[i] = float(i + 1);
  const IMGFLT wide = sample_flt(5, 9, 0.8f);
  const std::pair<IMGFLT, IMGFLT> pairs[] = {{IMGFLT(4, 1, 0.0f), ramp},
                                             {IMGFLT(4, 1, -0.0f), ramp},
                                             {IMGFLT(3, 4, 0.0f), wide},
                                             {IMGFLT(7, 2, -0.0f), wide},
                                             {IMGFLT(1, 1, 0.0f), wide}};
  testutil::for_each_isa([&] {
    for (const auto& [zero, other] : pairs)
      for (bool corr : {true, false})
        for (bool swap : {false, true}) {
          const IMGFLT r = swap ? float_result(other, zero, corr) : float_result(zero, other, corr);
          ASSERT_EQ(r.n(), (zero.nl() + other.nl() - 1) * (zero.nc() + other.nc() - 1));
          for (int k = 0; k < r.n(); k++)
            EXPECT_EQ(r.data[k], 0.0f)
                << k << " corr " << corr << " swap " << swap;
        }
  });
}

// Operands scaled apart, or into the denormal range: each result against the direct sums, within
// a bound relative to its largest value plus a few of the smallest steps of float.
TEST(FftCorrelation, FloatOperandsOfUnbalancedAndDenormalScales) {
  struct Case {
    int ea, eb;  // a scaled by 2^ea, b by 2^eb
    int odd;     // and a's odd rows by 2^odd more
  };
  const Case cases[] = {{0, -110, 0}, {-110, 0, 0},   {60, -55, 0},  {0, 100, 0},
                        {-140, 0, 0}, {0, -142, 0},   {-70, -70, 0}, {-60, -75, 0},
                        {0, 0, -100}, {0, -20, -100}, {-90, 0, 40}};
  const double step = std::ldexp(1.0, -149);
  testutil::for_each_isa([&] {
    for (const Case& c : cases) {
      IMGFLT a = sample_flt(9, 13, 0.3f), b = sample_flt(4, 6, 1.7f);
      for (int l = 0; l < a.nl(); l++)
        for (int j = 0; j < a.nc(); j++)
          a.rows[l][j] = std::ldexp(a.rows[l][j], c.ea + (l % 2 ? c.odd : 0));
      for (int i = 0; i < b.n(); i++) b.data[i] = std::ldexp(b.data[i], c.eb);
      for (bool corr : {true, false}) {
        const IMGFLT r = float_result(a, b, corr);
        const std::vector<CD> want = direct(IMGCPX(a), IMGCPX(b), corr);
        double top = 0;
        for (const CD& w : want) top = std::max(top, std::abs(w));
        ASSERT_EQ(r.n(), static_cast<int>(want.size()));
        for (int k = 0; k < r.n(); k++)
          EXPECT_NEAR(r.data[k], want[k].real(), 4e-7 * top + 8 * step)
              << "2^" << c.ea << " (odd rows 2^" << c.odd << " more) by 2^" << c.eb << " corr "
              << corr << " at " << k;
      }
    }
  });
}

TEST(FftCorrelation, ResultsOfFreshSize) {
  // 3 x 5 and 2 x 2 pad to 4 x 8: the last inverse pass runs on columns of 4.
  const IMGCPX a = sample_cpx(3, 5, 0.5f), b = sample_cpx(2, 2, 0.8f);
  IMGCPX r = xcorrf(a, b);
  EXPECT_EQ(Quorvan::nW, 4);
  EXPECT_EQ(r.backg, CF(0, 0));
  CD lag0 = 0;
  for (int p = 0; p < 2; p++)
    for (int q = 0; q < 2; q++) lag0 += CD(a.rows[p][q]) * std::conj(CD(b.rows[p][q]));
  EXPECT_LT(std::abs(CD(r.rows[1][1]) - lag0), 1e-5);
  EXPECT_EQ(convf(a, b).backg, CF(0, 0));
  // A full size of 8 is not padded further; 9 goes to 16.
  convf(sample_cpx(5, 1, 0), sample_cpx(4, 1, 0));
  EXPECT_EQ(Quorvan::nW, 8);
  convf(sample_cpx(5, 1, 0), sample_cpx(5, 1, 0));
  EXPECT_EQ(Quorvan::nW, 16);
}

TEST(FftCorrelation, AutocorrelationPeaksAtLagZero) {
  const IMGCPX a = sample_cpx(4, 6, 0.2f);
  IMGCPX r = xcorrf(a, a);
  double energy = 0;
  for (int k = 0; k < a.n(); k++) energy += std::norm(CD(a.data[k]));
  ASSERT_EQ(r.lc, 3);
  ASSERT_EQ(r.cc, 5);
  EXPECT_NEAR(r.rows[3][5].real(), energy, 1e-4);
  EXPECT_NEAR(r.rows[3][5].imag(), 0, 1e-5);
  for (int k = 0; k < r.n(); k++) EXPECT_LE(std::abs(r.data[k]), std::abs(r.rows[3][5]) + 1e-5);
}

TEST(FftCorrelation, SinglePixelConvolutionKeepsTheSecondOperandsFrame) {
  // a single pixel and b of power-of-two sides: b's own transform becomes the result.
  IMGCPX a(1, 1, CF(2, 0)), b = sample_cpx(2, 4, 0.9f);
  b.lc = 1;
  b.cc = 3;
  IMGCPX r = convf(a, b);
  EXPECT_EQ(r.lc, 1);
  EXPECT_EQ(r.cc, 3);
  EXPECT_EQ(r.backg, CF(3, 4));
  for (int k = 0; k < 8; k++) EXPECT_LT(std::abs(CD(r.data[k]) - 2.0 * CD(b.data[k])), 1e-6);
  IMGFLT fa(1, 1, 2.0f), fb = sample_flt(2, 4, 0.4f);
  IMGFLT fr = convf(fa, fb);
  EXPECT_EQ(fr.backg, 9.0f);
  EXPECT_EQ(fr.lc, 0);
  EXPECT_EQ(fr.cc, 1);
  // Both single pixels: the product, and a times conj(b).
  IMGCPX p(1, 1, CF(1, 2)), q(1, 1, CF(3, -1));
  EXPECT_EQ(convf(p, q).rows[0][0], CF(5, 5));
  EXPECT_EQ(xcorrf(p, q).rows[0][0], CF(1, 7));
}

VETOR<CPXD> vec(std::initializer_list<CPXD> xs) {
  VETOR<CPXD> v(static_cast<int>(xs.size()));
  int i = 0;
  for (const CPXD& x : xs) v.data[i++] = x;
  return v;
}

TEST(FftCorrelation, Vectors) {
  const VETOR<CPXD> a = vec({1, 2, 3}), b = vec({0, 1});
  const double conv_want[] = {0, 1, 2, 3}, corr_want[] = {1, 2, 3, 0};
  VETOR<CPXD> cv = convf(a, b), xc = xcorrf(a, b);
  ASSERT_EQ(cv.n(), 4);
  ASSERT_EQ(xc.n(), 4);
  EXPECT_EQ(cv.centro, 0);
  EXPECT_EQ(xc.centro, 0);
  for (int i = 0; i < 4; i++) {
    EXPECT_LT(std::abs(cv.data[i] - conv_want[i]), 1e-15);
    EXPECT_LT(std::abs(xc.data[i] - corr_want[i]), 1e-15);
  }
  // Complex operands against the direct sums.
  for (auto [na, nb] : {std::pair{5, 3}, {1, 1}, {4, 7}, {8, 1}, {0, 4}}) {
    VETOR<CPXD> x(na), y(nb);
    for (int i = 0; i < na; i++) x.data[i] = CPXD(std::sin(i + 0.5), std::cos(2.0 * i));
    for (int i = 0; i < nb; i++) y.data[i] = CPXD(0.3 * i - 1, std::sin(3.0 * i));
    VETOR<CPXD> c = convf(x, y), r = xcorrf(x, y);
    ASSERT_EQ(c.n(), na + nb - 1);
    ASSERT_EQ(r.n(), na + nb - 1);
    for (int i = 0; i < na + nb - 1; i++) {
      CPXD sc = 0, sr = 0;
      for (int p = 0; p < nb; p++) {
        if (i - p >= 0 && i - p < na) sc += x.data[i - p] * y.data[p];
        const int j = i + p - (nb - 1);
        if (j >= 0 && j < na) sr += x.data[j] * std::conj(y.data[p]);
      }
      EXPECT_LT(std::abs(c.data[i] - sc), 1e-13);
      EXPECT_LT(std::abs(r.data[i] - sr), 1e-13);
    }
  }
  EXPECT_EQ(convf(VETOR<CPXD>(), VETOR<CPXD>()).n(), 0);
}

TEST(Spomf, SinglePixelsGiveOne) {
  for (float va : {0.0f, 3.0f, -2.0f})
    for (float vb : {0.0f, 0.5f})
      for (char m : {'f', 's', 'v'}) {
        IMGFLT r = spomf(IMGFLT(1, 1, va), IMGFLT(1, 1, vb), m);
        ASSERT_EQ(r.n(), 1);
        EXPECT_NEAR(r.rows[0][0], 1.0f, 1e-6);
      }
}

TEST(Spomf, PointReflectionGivesAnImpulse) {
  const int nl = 3, nc = 4;
  const IMGFLT a = sample_flt(nl, nc, 0.7f);
  IMGFLT b(nl, nc);
  for (int p = 0; p < nl; p++)
    for (int q = 0; q < nc; q++) b.rows[p][q] = a.rows[nl - 1 - p][nc - 1 - q];
  IMGFLT r = spomf(a, b, 'f');
  ASSERT_EQ(r.nl(), 5);
  ASSERT_EQ(r.nc(), 7);
  EXPECT_EQ(r.lc, 2);
  EXPECT_EQ(r.cc, 3);
  EXPECT_EQ(r.backg, 0.0f);
  for (int l = 0; l < 5; l++)
    for (int c = 0; c < 7; c++) EXPECT_NEAR(r.rows[l][c], l == nl - 1 && c == nc - 1 ? 1 : 0, 1e-5);
  IMGFLT v = spomf(a, b, 'v');
  ASSERT_EQ(v.n(), 1);
  EXPECT_NEAR(v.rows[0][0], 1, 1e-5);
}

TEST(Spomf, ModesReadTheFullResult) {
  const IMGFLT a = sample_flt(5, 3, 0.2f), b = sample_flt(2, 6, 1.1f);
  IMGFLT f = spomf(a, b, 'f'), s = spomf(a, b, 's'), v = spomf(a, b, 'v');
  ASSERT_EQ(f.nl(), 6);
  ASSERT_EQ(f.nc(), 8);
  ASSERT_EQ(s.nl(), 5);
  ASSERT_EQ(s.nc(), 3);
  ASSERT_EQ(v.nl(), 4);
  ASSERT_EQ(v.nc(), 4);
  for (int l = 0; l < 5; l++)
    for (int c = 0; c < 3; c++) EXPECT_EQ(s.rows[l][c], f.rows[l + 1][c + 3]);
  for (int l = 0; l < 4; l++)
    for (int c = 0; c < 4; c++) EXPECT_EQ(v.rows[l][c], f.rows[l + 1][c + 2]);
}

TEST(SpomfDeath, UnknownMode) {
  EXPECT_ERRO(spomf(sample_flt(2, 2, 0), sample_flt(2, 2, 1), 'x'), "Erro inesperado", "");
}

}  // namespace
