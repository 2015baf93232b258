#include "processing/filters/separable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "images/colour_internal.h"
#include "processing/filters/gauss.h"
#include "processing/kernels/separable_rows.h"
#include "support/conv_fixtures.h"
#include "support/isa_levels.h"
#include "support/test_support.h"

using namespace convtest;

namespace {

VETOR<double> taps(std::initializer_list<double> v) {
  VETOR<double> r(int(v.size()));
  int i = 0;
  for (double x : v) r.data[i++] = x;
  return r;
}

const std::vector<VETOR<double>>& kernels() {
  static const std::vector<VETOR<double>> ks = {taps({0.7}), taps({1, 2}), taps({0.25, 0.5, 0.3}),
                                                taps({0.1, -0.2, 0.35, 0.15}),
                                                taps({0.05, 0.2, 0.4, 0.2, 0.1})};
  return ks;
}

template <class Img>
void check_all_modes() {
  for (const Size& sz : sizes())
    for (int centred = 0; centred < 2; centred++) {
      const Img a =
          centred ? sample<Img>(sz.nl, sz.nc, 1, -3.5, sz.nl - 1, 0) : sample<Img>(sz.nl, sz.nc, 2);
      for (const VETOR<double>& k : kernels())
        for (char m : modes()) {
          SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " taps " +
                       std::to_string(k.n()) + " mode " + mode_name(m));
          const Img h = ConvH(a, k, m), v = ConvV(a, k, m), hv = ConvHV(a, k, m);
          EXPECT_TRUE(same_pixels(h, naive_pass(a, k, m, true)));
          EXPECT_TRUE(same_pixels(v, naive_pass(a, k, m, false)));
          // The column pass reads the fresh intermediate, not a.
          EXPECT_TRUE(same_pixels(hv, naive_pass(naive_pass(a, k, m, true), k, m, false)));
          expect_fresh(h);
          expect_fresh(v);
          EXPECT_EQ(hv.lc, a.lc);
          EXPECT_EQ(hv.cc, a.cc);
          EXPECT_TRUE(same(hv.backg, a.backg));
        }
    }
}

TEST(Separable, FloatMatchesElementAccessInEveryMode) { check_all_modes<IMGFLT>(); }
TEST(Separable, DoubleMatchesElementAccessInEveryMode) { check_all_modes<IMGDBL>(); }

TEST(Separable, EvenKernelReachesFurtherLeft) {
  IMGDBL a(1, 3);
  a.rows[0][0] = 1, a.rows[0][1] = 10, a.rows[0][2] = 100;
  a.backg = 5;
  const IMGDBL r = ConvH(a, taps({1, 2}), 'n');  // r(i, j) = a(i, j) + 2 a(i, j-1)
  EXPECT_EQ(r.rows[0][0], 1 + 2 * 5.0);
  EXPECT_EQ(r.rows[0][1], 10 + 2 * 1.0);
  EXPECT_EQ(r.rows[0][2], 100 + 2 * 10.0);
}

TEST(Separable, ColumnPassUsesZeroOutside) {
  IMGDBL a(2, 2, 1.0);
  a.backg = 5;
  const IMGDBL r = ConvHV(a, taps({1, 1, 1}), 'n');
  // Rows: 1 + 1 + 5 = 7; columns: 7 + 7 + 0 outside.
  for (int i = 0; i < 4; i++) EXPECT_EQ(r.data[i], 14.0);
  EXPECT_EQ(r.backg, 5.0);
}

TEST(Separable, EmptyAndSingleTapKernels) {
  const IMGFLT a = sample<IMGFLT>(2, 3, 4, 1.0, 0, 2);
  const IMGFLT h = ConvH(a, VETOR<double>(), 'q'), hv = ConvHV(a, VETOR<double>(), 'q');
  EXPECT_EQ(hv.lc, 0);
  EXPECT_EQ(hv.cc, 2);
  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(h.data[i], 0.0f);
    EXPECT_EQ(hv.data[i], 0.0f);
  }
  const IMGFLT s = ConvHV(a, taps({2}), 'e');
  for (int i = 0; i < 6; i++) EXPECT_EQ(s.data[i], float(double(float(2.0 * a.data[i])) * 2.0));
}

TEST(Separable, ModeFailures) {
  const IMGFLT a = sample<IMGFLT>(3, 3, 5);
  const IMGDBL d(3, 3, 1.0);
  EXPECT_ERRO(ConvH(a, taps({1, 1}), 'e'), "Indice invalido", "");
  EXPECT_ERRO(ConvV(d, taps({1, 1}), 'e'), "Indice invalido", "");
  EXPECT_ERRO(ConvHV(d, taps({1, 1, 1}), 'e'), "Indice invalido", "");
  EXPECT_ERRO(ConvH(d, taps({1}), 'z'), "Erro: Modo de acesso invalido", "");
  EXPECT_ERRO(ConvHV(a, taps({1}), 'z'), "Erro: Modo de acesso invalido", "");
  EXPECT_EQ(ConvV(IMGFLT(), taps({1}), 'z').n(), 0);
}

IMGCOR colour(int nl, int nc, int seed) {
  IMGCOR a(nl, nc);
  for (int i = 0; i < a.n(); i++)
    a.data[i] = COR{static_cast<unsigned char>((i * 37 + seed * 11) % 256),
                    static_cast<unsigned char>((i * 91 + seed * 5) % 256),
                    static_cast<unsigned char>((i * 53 + seed * 71) % 256)};
  return a;
}

// The colour pass through clamped indices, float intermediate, rounded bytes.
IMGCOR naive_colour(const IMGCOR& a, const VETOR<double>& k) {
  const int nl = a.nl(), nc = a.nc(), c0 = (k.n() - 1) / 2;
  auto cl = [](int i, int n) { return i < 0 ? 0 : (i >= n ? n - 1 : i); };
  std::vector<float> mid(size_t(nl) * nc * 3);
  for (int i = 0; i < nl; i++)
    for (int j = 0; j < nc; j++) {
      double s[3] = {0, 0, 0};
      for (int t = 0; t < k.n(); t++) {
        const COR& p = a.rows[i][cl(j + c0 - t, nc)];
        s[0] += k.data[t] * p.r, s[1] += k.data[t] * p.g, s[2] += k.data[t] * p.b;
      }
      for (int ch = 0; ch < 3; ch++) mid[(size_t(i) * nc + j) * 3 + ch] = float(s[ch]);
    }
  IMGCOR r = a;
  auto byte = [](double v) {
    if (v < 0) v = 0;
    if (v > 255.0) v = 255;
    return static_cast<unsigned char>(std::round(v));
  };
  for (int i = 0; i < nl; i++)
    for (int j = 0; j < nc; j++) {
      double s[3] = {0, 0, 0};
      for (int t = 0; t < k.n(); t++)
        for (int ch = 0; ch < 3; ch++)
          s[ch] += k.data[t] * double(mid[(size_t(cl(i + c0 - t, nl)) * nc + j) * 3 + ch]);
      r.rows[i][j] = COR{byte(s[0]), byte(s[1]), byte(s[2])};
    }
  return r;
}

TEST(SeparableColour, MatchesClampedReference) {
  for (const Size& sz : sizes())
    for (const VETOR<double>& k : kernels()) {
      IMGCOR a = colour(sz.nl, sz.nc, 3);
      a.lc = 0, a.cc = sz.nc - 1, a.backg = COR{1, 2, 3};
      const IMGCOR r = ConvHV(a, k);
      EXPECT_TRUE(same_pixels(r, naive_colour(a, k)));
      EXPECT_EQ(r.lc, 0);
      EXPECT_EQ(r.cc, sz.nc - 1);
      EXPECT_TRUE(same(r.backg, COR{1, 2, 3}));
    }
}

TEST(SeparableColour, RoundingClampingAndEdges) {
  IMGCOR a(1, 1, COR{255, 0, 1});
  const IMGCOR half = ConvHV(a, taps({0.5, 0.5}));  // kernel sum 1 on one pixel: unchanged
  EXPECT_TRUE(same(half.rows[0][0], COR{255, 0, 1}));
  IMGCOR b(1, 2, COR{0, 0, 0});
  b.rows[0][0] = COR{255, 0, 0};
  // Row pass: (0.5 * 255 + 0.5 * 0) = 127.5 at column 1 (tap 1 reads column 0).
  EXPECT_EQ(ConvHV(b, taps({0.5, 0.5})).rows[0][1].r, 128);
  EXPECT_EQ(ConvHV(b, taps({2})).rows[0][0].r, 255);         // 1020 clamped
  EXPECT_EQ(ConvHV(b, taps({-1})).rows[0][0].r, 255);        // (-1)(-1) = 1
  EXPECT_EQ(ConvHV(b, taps({-1, 0, 0.5})).rows[0][1].r, 0);  // 127.5 * -0.5 clamped
  IMGCOR c(2, 4, COR{0, 0, 0});
  for (int i = 0; i < 2; i++) c.rows[i][0] = COR{255, 0, 0};
  const double third = 1.0 / 3;
  const IMGCOR r = ConvHV(c, taps({third, third, third}));
  EXPECT_EQ(r.rows[0][0].r, 170);
  EXPECT_EQ(r.rows[0][1].r, 85);
  EXPECT_EQ(r.rows[1][2].r, 0);
  const IMGCOR e = ConvHV(c, VETOR<double>());
  for (int i = 0; i < e.n(); i++) EXPECT_TRUE(same(e.data[i], COR{0, 0, 0}));
}

// Every instruction set of the row kernels this processor has.
class SeparableIsa : public testutil::IsaTest {};

TEST_P(SeparableIsa, ColourMatchesReference) {
  std::mt19937 gen(17);
  std::uniform_real_distribution<double> u(-0.4, 1.0);
  std::vector<Size> ss = sizes();
  ss.insert(ss.end(), {{5, 9}, {6, 2}, {9, 40}, {13, 5}, {3, 601}});
  for (const Size& sz : ss)
    for (int n : {1, 2, 3, 4, 5, 8, 13, 17, 20}) {
      IMGCOR a(sz.nl, sz.nc);
      for (int i = 0; i < a.n(); i++)
        a.data[i] = COR{static_cast<unsigned char>(gen()), static_cast<unsigned char>(gen()),
                        static_cast<unsigned char>(gen())};
      // Sums below 0 and above 255 as well.
      VETOR<double> k(n);
      for (int t = 0; t < n; t++) k.data[t] = u(gen) * 2.2 / n;
      SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " taps " +
                   std::to_string(n));
      EXPECT_TRUE(same_pixels(ConvHV(a, k), naive_colour(a, k)));
    }
  const IMGCOR a = colour(12, 131, 5);
  EXPECT_TRUE(same_pixels(ConvGaussHV(a, 2.0), naive_colour(a, VETORnormal(2.0))));
}

// One tap of 1: each output is its row's sample itself, rounded to a byte.
TEST_P(SeparableIsa, ColumnPassRoundsAsRoundToByte) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<double> special = {0.5,
                                       std::nextafter(0.5, 0.0),
                                       std::nextafter(0.5, 1.0),
                                       1.5,
                                       2.5,
                                       254.5,
                                       std::nextafter(254.5, 0.0),
                                       255.0,
                                       255.5,
                                       256.0,
                                       1e300,
                                       inf,
                                       -inf,
                                       std::numeric_limits<double>::quiet_NaN(),
                                       -0.0,
                                       0.0,
                                       -0.5,
                                       -1e300,
                                       4.9e-324,
                                       std::nextafter(1.0, 0.0),
                                       0.49999999999999994 + 3,
                                       127.49999999999999,
                                       std::nextafter(1.5, 0.0),
                                       std::nextafter(1.5, 2.0),
                                       std::nextafter(255.5, 0.0),
                                       std::nextafter(0.25, 0.0),
                                       0.25,
                                       std::nextafter(-0.5, 0.0),
                                       -0.49999999999999994,
                                       std::nextafter(1.0, 2.0),
                                       std::nextafter(128.5, 0.0),
                                       128.5};
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> u(-2, 258);
  const double one = 1.0;
  for (int rows = 1; rows <= vistelmo::kColumnRows; rows++)
    for (int w : {1, 3, 4, 7, 8, 15, 16, 17, 31, 33, 64, 70}) {
      std::vector<std::vector<double>> q(rows, std::vector<double>(w));
      for (int r = 0; r < rows; r++)
        for (int j = 0; j < w; j++) {
          const size_t pick = size_t(r * w + j);
          q[r][j] = pick < special.size() ? special[pick]
                                          : (gen() % 4 ? u(gen) : std::floor(u(gen)) + 0.5);
        }
      std::vector<const double*> qp;
      for (const auto& row : q) qp.push_back(row.data());
      std::vector<std::vector<unsigned char>> out(rows, std::vector<unsigned char>(w, 7));
      std::vector<unsigned char*> op;
      for (auto& row : out) op.push_back(row.data());
      vistelmo::colour_column_pass(qp.data(), &one, 1, rows, w, op.data());
      for (int r = 0; r < rows; r++)
        for (int j = 0; j < w; j++)
          ASSERT_EQ(out[r][j], vistelmo::round_to_byte(q[rows - 1 - r][j]))
              << "rows " << rows << " width " << w << " value " << q[rows - 1 - r][j];
    }
}

// The column passes on their own, every count of rows they form at once, tap counts below and
// above it, widths with partial blocks: output row r sums taps[p] * q[rows - 1 - r + p] in order
// of p, bytes from the first product, floats and doubles from +0.
TEST_P(SeparableIsa, ColumnPassesMatchPerSampleSums) {
  std::mt19937 gen(29);
  std::uniform_real_distribution<double> u(-40, 300), t(-0.3, 0.9);
  for (int rows = 1; rows <= vistelmo::kColumnRows; rows++)
    for (int n : {1, 2, 3, 4, 5, 9, 17})
      for (int w : {1, 7, 8, 31, 32, 33, 64, 65, 131}) {
        std::vector<double> taps(n);
        for (double& x : taps) x = t(gen);
        std::vector<std::vector<double>> q(n + rows - 1, std::vector<double>(w));
        for (auto& row : q)
          for (double& x : row) x = gen() % 5 ? u(gen) : -0.0;
        std::vector<const double*> qp;
        for (const auto& row : q) qp.push_back(row.data());
        std::vector<std::vector<unsigned char>> b(rows, std::vector<unsigned char>(w));
        std::vector<std::vector<float>> f(rows, std::vector<float>(w));
        std::vector<std::vector<double>> d(rows, std::vector<double>(w));
        std::vector<unsigned char*> bp;
        std::vector<float*> fp;
        std::vector<double*> dp;
        for (int r = 0; r < rows; r++) {
          bp.push_back(b[r].data());
          fp.push_back(f[r].data());
          dp.push_back(d[r].data());
        }
        vistelmo::colour_column_pass(qp.data(), taps.data(), n, rows, w, bp.data());
        vistelmo::column_pass(qp.data(), taps.data(), n, rows, w, fp.data());
        vistelmo::column_pass(qp.data(), taps.data(), n, rows, w, dp.data());
        for (int r = 0; r < rows; r++)
          for (int j = 0; j < w; j++) {
            double first = taps[0] * q[rows - 1 - r][j], zero = 0.0 + taps[0] * q[rows - 1 - r][j];
            for (int p = 1; p < n; p++) {
              first += taps[p] * q[rows - 1 - r + p][j];
              zero += taps[p] * q[rows - 1 - r + p][j];
            }
            ASSERT_EQ(b[r][j], vistelmo::round_to_byte(first))
                << "rows " << rows << " taps " << n << " width " << w << " at " << r << "," << j;
            ASSERT_TRUE(same(f[r][j], static_cast<float>(zero)))
                << "rows " << rows << " taps " << n << " width " << w << " at " << r << "," << j;
            ASSERT_TRUE(same(d[r][j], zero))
                << "rows " << rows << " taps " << n << " width " << w << " at " << r << "," << j;
          }
      }
}

// Float and double rows through the several-rows column pass: every mode, tall and short
// images, kernels longer than the image. Negative zeros: the column sums start from +0, and the
// row pass's zero signs do not reach them.
template <class Img>
void check_rows() {
  using Pixel = typename Img::Pixel;
  std::vector<Size> ss = sizes();
  ss.insert(ss.end(), {{5, 9}, {6, 2}, {9, 40}, {13, 5}});
  int seed = 1;
  for (const Size& sz : ss)
    for (int n : {1, 2, 3, 4, 5, 9, 17}) {
      VETOR<double> k(n);
      for (int t = 0; t < n; t++)
        k.data[t] = (t * 0.37 + seed * 0.11) - std::floor(t * 0.37 + seed * 0.11) - 0.3;
      Img a = sample<Img>(sz.nl, sz.nc, seed++, -2.5, sz.nl / 2, sz.nc - 1);
      for (char m : modes()) {
        SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " taps " +
                     std::to_string(n) + " mode " + mode_name(m));
        EXPECT_TRUE(
            same_pixels(ConvHV(a, k, m), naive_pass(naive_pass(a, k, m, true), k, m, false)));
      }
      for (double sign : {-1.0, 1.0}) {
        Img z(sz.nl, sz.nc, Pixel(-0.0));
        for (int t = 0; t < n; t++) k.data[t] = sign * (1.0 + t);
        EXPECT_TRUE(
            same_pixels(ConvHV(z, k, 'x'), naive_pass(naive_pass(z, k, 'x', true), k, 'x', false)));
      }
    }
  const Img a = sample<Img>(12, 131, 9);
  EXPECT_TRUE(same_pixels(
      ConvGaussHV(a, 1.0, 'x'),
      naive_pass(naive_pass(a, VETORnormal(1.0), 'x', true), VETORnormal(1.0), 'x', false)));
}

TEST_P(SeparableIsa, FloatMatchesReference) { check_rows<IMGFLT>(); }
TEST_P(SeparableIsa, DoubleMatchesReference) { check_rows<IMGDBL>(); }

VISTELMO_INSTANTIATE_ISAS(SeparableIsa);

}  // namespace
