#include "processing/filters/fft_wrappers.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <vector>

#include "processing/filters/fft.h"
#include "support/test_support.h"

namespace {

typedef std::complex<float> CF;

VETOR<CPXD> vec(std::initializer_list<CPXD> xs) {
  VETOR<CPXD> v(static_cast<int>(xs.size()));
  int i = 0;
  for (const CPXD& x : xs) v.data[i++] = x;
  return v;
}

VETOR<CPXD> sample_vec(int n) {
  VETOR<CPXD> v(n);
  for (int i = 0; i < n; i++)
    v.data[i] = CPXD(std::sin(0.9 * i + 0.3) + 0.05 * i, std::cos(1.7 * i));
  return v;
}

IMGCPX sample_img(int nl, int nc) {
  IMGCPX a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++)
      a.rows[l][c] =
          CF(std::sin(0.8f * l + 0.3f * c * c) + 0.1f * c, std::cos(1.1f * l * c) - 0.25f * l);
  a.lc = 1;
  a.cc = 0;
  a.backg = CF(7, -7);
  return a;
}

// Defining sums in long double with sign s and divisor d.
std::vector<CPXD> dft(const VETOR<CPXD>& x, int s, double d) {
  const int n = x.n();
  std::vector<CPXD> y(n);
  for (int k = 0; k < n; k++) {
    std::complex<long double> acc = 0;
    for (int j = 0; j < n; j++) {
      const long double a = s * 2 * 3.141592653589793238L * ((static_cast<long>(j) * k) % n) / n;
      acc += std::complex<long double>(x.data[j].real(), x.data[j].imag()) *
             std::complex<long double>(std::cos(a), std::sin(a));
    }
    y[k] = CPXD(static_cast<double>(acc.real()) / d, static_cast<double>(acc.imag()) / d);
  }
  return y;
}

std::vector<std::complex<double>> dft2(const IMGCPX& a, int s) {
  const int nl = a.nl(), nc = a.nc();
  std::vector<std::complex<double>> r(nl * nc);
  for (int u = 0; u < nl; u++)
    for (int v = 0; v < nc; v++) {
      std::complex<long double> acc = 0;
      for (int l = 0; l < nl; l++)
        for (int c = 0; c < nc; c++) {
          const long double t = s * 2 * 3.141592653589793238L *
                                (static_cast<long double>((u * l) % nl) / nl +
                                 static_cast<long double>((v * c) % nc) / nc);
          acc += std::complex<long double>(a.rows[l][c].real(), a.rows[l][c].imag()) *
                 std::complex<long double>(std::cos(t), std::sin(t));
        }
      r[u * nc + v] =
          std::complex<double>(static_cast<double>(acc.real()), static_cast<double>(acc.imag()));
    }
  return r;
}

bool same_bits(const VETOR<CPXD>& a, const VETOR<CPXD>& b) {
  return a.n() == b.n() && (a.n() == 0 || std::memcmp(a.data, b.data, sizeof(CPXD) * a.n()) == 0);
}
bool same_bits(const IMGCPX& a, const IMGCPX& b) {
  return a.nl() == b.nl() && a.nc() == b.nc() &&
         (a.n() == 0 || std::memcmp(a.data, b.data, sizeof(CF) * a.n()) == 0);
}

double max_diff(const IMGCPX& a, const IMGCPX& b) {
  double e = 0;
  for (int i = 0; i < a.n(); i++) e = std::max(e, (double)std::abs(a.data[i] - b.data[i]));
  return e;
}

TEST(FftShift, Vectors) {
  const VETOR<CPXD> odd = vec({0, 1, 2, 3, 4}), even = vec({0, 1, 2, 3});
  const double want_odd[] = {3, 4, 0, 1, 2}, want_even[] = {2, 3, 0, 1};
  VETOR<CPXD> s = fftshift(odd), back = ifftshift(s), se = fftshift(even), ie = ifftshift(even);
  for (int i = 0; i < 5; i++) {
    EXPECT_EQ(s.data[i].real(), want_odd[i]);
    EXPECT_EQ(back.data[i].real(), i);
  }
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(se.data[i].real(), want_even[i]);
    EXPECT_EQ(ie.data[i].real(), want_even[i]);
  }
  EXPECT_EQ(fftshift(VETOR<CPXD>()).n(), 0);
}

template <class Img>
class ImageShift : public ::testing::Test {};
typedef ::testing::Types<IMGFLT, IMGCPX> ShiftTypes;
TYPED_TEST_SUITE(ImageShift, ShiftTypes);

TYPED_TEST(ImageShift, MovesIndexZeroToTheMiddle) {
  for (auto [nl, nc] : {std::pair{4, 5}, {3, 3}, {1, 1}, {2, 7}}) {
    TypeParam a(nl, nc);
    for (int l = 0; l < nl; l++)
      for (int c = 0; c < nc; c++) a.rows[l][c] = static_cast<float>(10 * l + c);
    a.backg = 5;
    a.lc = a.cc = 0;
    TypeParam s = fftshift(a), b = ifftshift(s);
    EXPECT_EQ(s.lc, nl / 2);
    EXPECT_EQ(s.cc, nc / 2);
    EXPECT_EQ(b.lc, 0);
    EXPECT_EQ(b.cc, 0);
    EXPECT_EQ(s.backg, typename TypeParam::Pixel(0));
    EXPECT_EQ(b.backg, typename TypeParam::Pixel(0));
    for (int l = 0; l < nl; l++)
      for (int c = 0; c < nc; c++) {
        EXPECT_EQ(s.rows[(l + nl / 2) % nl][(c + nc / 2) % nc], a.rows[l][c]);
        EXPECT_EQ(b.rows[l][c], a.rows[l][c]);
      }
  }
}

TEST(FftPad, PadsAndCuts) {
  const IMGCPX a = sample_img(3, 4);
  IMGCPX big = fftpad(a, 5, 6), small = fftpad(a, 2, 2);
  ASSERT_EQ(big.nl(), 5);
  ASSERT_EQ(big.nc(), 6);
  EXPECT_EQ(big.lc, 2);
  EXPECT_EQ(big.cc, 2);
  EXPECT_EQ(big.backg, CF(0, 0));
  for (int l = 0; l < 5; l++)
    for (int c = 0; c < 6; c++) EXPECT_EQ(big.rows[l][c], l < 3 && c < 4 ? a.rows[l][c] : CF(0, 0));
  ASSERT_EQ(small.nl(), 2);
  ASSERT_EQ(small.nc(), 2);
  EXPECT_EQ(small.lc, 0);
  for (int l = 0; l < 2; l++)
    for (int c = 0; c < 2; c++) EXPECT_EQ(small.rows[l][c], a.rows[l][c]);
}

TEST(XcorrShift, RotatesIntoLagOrder) {
  // A 4 x 6 circular result of operands 2 x 4 and 3 x 3.
  const IMGCPX a = sample_img(4, 6);
  IMGCPX r = xcorrshift(a, 2, 4, 3, 3);
  ASSERT_EQ(r.nl(), 4);
  ASSERT_EQ(r.nc(), 6);
  EXPECT_EQ(r.lc, 1);
  EXPECT_EQ(r.cc, 2);
  EXPECT_EQ(r.backg, CF(0, 0));
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 6; j++) EXPECT_EQ(r.rows[i][j], a.rows[(i + 4 - 2) % 4][(j + 6 - 2) % 6]);
  // A larger circular result: the lags are read around its end.
  const IMGCPX big = sample_img(8, 8);
  IMGCPX s = xcorrshift(big, 2, 4, 3, 3);
  ASSERT_EQ(s.nl(), 4);
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 6; j++) EXPECT_EQ(s.rows[i][j], big.rows[(i + 6) % 8][(j + 6) % 8]);

  const VETOR<CPXD> v = sample_vec(7);
  VETOR<CPXD> w = xcorrshift(v, 3, 4);
  ASSERT_EQ(w.n(), 6);
  for (int i = 0; i < 6; i++) EXPECT_EQ(w.data[i], v.data[(i + 7 - 3) % 7]);
}

TEST(XcorrShiftDeath, TooSmall) {
  const IMGCPX a = sample_img(3, 6);
  EXPECT_ERRO(xcorrshift(a, 2, 4, 3, 3), "Erro xcorrshift: a.nl()<nl1+nl2-1 || a.nc()<nc1+nc2-1",
              "");
  const IMGCPX b = sample_img(4, 5);
  EXPECT_ERRO(xcorrshift(b, 2, 4, 3, 3), "Erro xcorrshift: a.nl()<nl1+nl2-1 || a.nc()<nc1+nc2-1",
              "");
  EXPECT_ERRO(xcorrshift(sample_vec(5), 3, 4), "Erro xcorrshift: a.n()<n1+n2-1", "");
}

TEST(VectorFft, AgreesWithTheDefiningSums) {
  for (int n : {1, 2, 5, 6, 7, 12, 16, 30}) {
    const VETOR<CPXD> x = sample_vec(n);
    struct Case {
      VETOR<CPXD> got;
      int sign;
      double d;
    } cases[] = {{fft(x, 0), -1, 1},
                 {ifft(x), +1, double(n)},
                 {nfft(x), -1, std::sqrt(double(n))},
                 {infft(x), +1, std::sqrt(double(n))}};
    for (const Case& c : cases) {
      ASSERT_EQ(c.got.n(), n);
      const std::vector<CPXD> want = dft(x, c.sign, c.d);
      for (int k = 0; k < n; k++) EXPECT_LT(std::abs(c.got.data[k] - want[k]), 1e-13 * n) << n;
    }
    // The operand is not changed.
    EXPECT_TRUE(same_bits(x, sample_vec(n)));
  }
}

TEST(VectorFft, LengthArgumentPadsOrCuts) {
  const VETOR<CPXD> x = sample_vec(5);
  EXPECT_TRUE(same_bits(fft(x, 0), fft(x, 5)));
  EXPECT_TRUE(same_bits(fft(x, -3), fft(x, 5)));
  VETOR<CPXD> padded(8), cut(3);
  for (int i = 0; i < 5; i++) padded.data[i] = x.data[i];
  for (int i = 0; i < 3; i++) cut.data[i] = x.data[i];
  EXPECT_TRUE(same_bits(fft(x, 8), fft(padded, 0)));
  EXPECT_TRUE(same_bits(fft(x, 3), fft(cut, 0)));
  VETOR<CPXD> r = fft(x, 8);
  EXPECT_EQ(r.centro, 0);
  EXPECT_EQ(r.backg, CPXD(0, 0));
}

TEST(VectorFft, RoundTrips) {
  for (int n : {1, 3, 8, 11, 24}) {
    const VETOR<CPXD> x = sample_vec(n);
    VETOR<CPXD> a = ifft(fft(x, 0)), b = infft(nfft(x));
    for (int i = 0; i < n; i++) {
      EXPECT_LT(std::abs(a.data[i] - x.data[i]), 1e-14) << n;
      EXPECT_LT(std::abs(b.data[i] - x.data[i]), 1e-14) << n;
    }
  }
}

TEST(VectorFft, EmptyVectorReleasesTheTable) {
  fft(sample_vec(6), 0);
  EXPECT_EQ(Quorvan::nW, 6);
  EXPECT_EQ(fft(VETOR<CPXD>(), 0).n(), 0);
  EXPECT_EQ(Quorvan::nW, 0);
  EXPECT_EQ(Quorvan::W, nullptr);
  EXPECT_EQ(ifft(sample_vec(4)).n(), 4);
  EXPECT_EQ(Quorvan::nW, 4);
}

TEST(ImageFft, LinesWithoutPixelsReleaseTheTable) {
  // Three rows of no pixels, or three columns of no pixels: transforms of length 0.
  for (auto [nl, nc] : {std::pair{3, 0}, {0, 3}}) {
    fft(sample_vec(6), 0);
    EXPECT_EQ(fft(IMGCPX(nl, nc), 0, 0).data, nullptr);
    EXPECT_EQ(Quorvan::nW, 0);
    EXPECT_EQ(Quorvan::W, nullptr);
  }
  fft(sample_vec(6), 0);
  ifft(IMGCPX());  // no rows and no columns: no transform at all
  EXPECT_EQ(Quorvan::nW, 6);
}

TEST(ImageFft, AgreesWithTheTwoDimensionalSums) {
  for (auto [nl, nc] : {std::pair{1, 1}, {1, 6}, {5, 1}, {4, 4}, {3, 5}, {6, 7}}) {
    const IMGCPX a = sample_img(nl, nc);
    IMGCPX f = fft(a, 0, 0), i = ifft(a), nf = nfft(a), inf = infft(a);
    const std::vector<std::complex<double>> neg = dft2(a, -1), pos = dft2(a, +1);
    const double nn = nl * nc;
    for (int k = 0; k < nl * nc; k++) {
      const double tol = 2e-6 * nn;
      EXPECT_LT(std::abs(std::complex<double>(f.data[k]) - neg[k]), tol);
      EXPECT_LT(std::abs(std::complex<double>(i.data[k]) - pos[k] / nn), tol / nn);
      EXPECT_LT(std::abs(std::complex<double>(nf.data[k]) - neg[k] / std::sqrt(nn)), tol);
      EXPECT_LT(std::abs(std::complex<double>(inf.data[k]) - pos[k] / std::sqrt(nn)), tol);
    }
    // Own size: centre and outside value kept, outside value untransformed.
    for (const IMGCPX* r : {&f, &i, &nf, &inf}) {
      EXPECT_EQ(r->lc, 1);
      EXPECT_EQ(r->cc, 0);
      EXPECT_EQ(r->backg, CF(7, -7));
    }
  }
}

// The two passes done the plain way: each line by its defining sum in long double, rounded to
// float, rows first; scale is the divisor of a line of length n. Also returns, per pixel, the
// bound on how far a correct transform may be: 1e-13 (1 + sum |x|) per line, plus a float
// rounding of each row value that enters the column and of the result.
std::vector<CF> plain_two_passes(const IMGCPX& a, int s, double (*scale)(int),
                                 std::vector<double>& bound) {
  const int nl = a.nl(), nc = a.nc();
  const long double pi2 = 6.283185307179586476925286766559L;
  auto line = [&](const std::vector<CF>& x, std::vector<CF>& y, std::vector<double>& err) {
    const int n = static_cast<int>(x.size());
    double sum = 0;
    for (const CF& v : x) sum += std::abs(std::complex<double>(v));
    for (int k = 0; k < n; k++) {
      std::complex<long double> acc = 0;
      for (int j = 0; j < n; j++) {
        const long double t = s * pi2 * ((static_cast<int64_t>(j) * k) % n) / n;
        acc += std::complex<long double>(x[j].real(), x[j].imag()) *
               std::complex<long double>(std::cos(t), std::sin(t));
      }
      const double d = scale(n);
      y[k] = CF(static_cast<float>(acc.real() / d), static_cast<float>(acc.imag() / d));
      err[k] =
          (1e-13 * (1 + sum) + 1.2e-7 * sum) / d + 1.2e-7 * std::abs(std::complex<double>(y[k]));
    }
  };
  std::vector<CF> t(static_cast<size_t>(nl) * nc), r(t.size());
  std::vector<double> terr(t.size());
  bound.assign(t.size(), 0);
  for (int i = 0; i < nl; i++) {
    std::vector<CF> x(a.rows[i], a.rows[i] + nc), y(nc);
    std::vector<double> e(nc);
    line(x, y, e);
    for (int j = 0; j < nc; j++) t[i * nc + j] = y[j], terr[i * nc + j] = e[j];
  }
  for (int j = 0; j < nc; j++) {
    std::vector<CF> x(nl), y(nl);
    std::vector<double> e(nl);
    double carried = 0;  // errors of the row values, each carried through the column sum
    for (int i = 0; i < nl; i++) x[i] = t[i * nc + j], carried += terr[i * nc + j];
    line(x, y, e);
    for (int i = 0; i < nl; i++)
      r[i * nc + j] = y[i], bound[i * nc + j] = e[i] + carried / scale(nl);
  }
  return r;
}

double one(int) { return 1; }
double by_n(int n) { return n; }
double by_root(int n) { return std::sqrt(static_cast<double>(n)); }

TEST(ImageFft, AccuracyTable) {
  struct Kind {
    IMGCPX (*f)(IMGCPX);
    int sign;
    double (*scale)(int);
  };
  const Kind kinds[] = {{[](IMGCPX a) { return fft(a, 0, 0); }, -1, one},
                        {[](IMGCPX a) { return ifft(a); }, +1, by_n},
                        {[](IMGCPX a) { return nfft(a); }, -1, by_root},
                        {[](IMGCPX a) { return infft(a); }, +1, by_root}};
  const std::pair<int, int> sizes[] = {{1, 1},   {1, 257}, {257, 1}, {7, 67},  {12, 131},
                                       {33, 17}, {64, 64}, {97, 3},  {16, 32}, {2, 210}};
  for (auto [nl, nc] : sizes) {
    const IMGCPX a = sample_img(nl, nc);
    for (const Kind& k : kinds) {
      std::vector<double> bound;
      const std::vector<CF> want = plain_two_passes(a, k.sign, k.scale, bound);
      const IMGCPX got = k.f(a);
      for (int p = 0; p < nl * nc; p++)
        EXPECT_LE(std::abs(std::complex<double>(got.data[p]) - std::complex<double>(want[p])),
                  bound[p])
            << nl << "x" << nc << " sign " << k.sign << " pixel " << p;
    }
  }
}

TEST(ImageFft, RowsAreRoundedToFloatBeforeColumns) {
  const IMGCPX a = sample_img(3, 5);
  IMGCPX f = fft(a, 0, 0);
  // The same two passes by hand.
  IMGCPX t(3, 5);
  for (int l = 0; l < 3; l++) {
    VETOR<CPXD> row(5);
    for (int c = 0; c < 5; c++) row.data[c] = CPXD(a.rows[l][c]);
    VETOR<CPXD> r = fft(row, 0);
    for (int c = 0; c < 5; c++) t.rows[l][c] = CF(r.data[c]);
  }
  for (int c = 0; c < 5; c++) {
    VETOR<CPXD> col(3);
    for (int l = 0; l < 3; l++) col.data[l] = CPXD(t.rows[l][c]);
    VETOR<CPXD> r = fft(col, 0);
    for (int l = 0; l < 3; l++) EXPECT_EQ(f.rows[l][c], CF(r.data[l])) << l << "," << c;
  }
}

TEST(ImageFft, PadsToTheGivenSize) {
  const IMGCPX a = sample_img(5, 6);
  IMGCPX f = fft(a, 8, 8);
  ASSERT_EQ(f.nl(), 8);
  ASSERT_EQ(f.nc(), 8);
  EXPECT_EQ(f.lc, 3);
  EXPECT_EQ(f.cc, 3);
  EXPECT_EQ(f.backg, CF(0, 0));
  EXPECT_TRUE(same_bits(f, fft(fftpad(a, 8, 8), 0, 0)));
  EXPECT_TRUE(same_bits(fft(a, 0, 5), fft(a, 0, 0)));
  EXPECT_TRUE(same_bits(fft(a, 3, 2), fft(fftpad(a, 3, 2), 0, 0)));
}

TEST(ImageFft, RoundTripsToFloatPrecision) {
  const IMGCPX a = sample_img(6, 10);
  EXPECT_LT(max_diff(ifft(fft(a, 0, 0)), a), 1e-5);
  EXPECT_LT(max_diff(infft(nfft(a)), a), 1e-5);
  EXPECT_EQ(fft(IMGCPX(), 0, 0).n(), 0);
}

}  // namespace
