// Median and moving-average filters against literal per-pixel references.
#include "processing/algebra/median.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "neighbourhood_fixtures.h"
#include "numerics/kth.h"
#include "processing/algebra/planes.h"

namespace {

using fixtures::Rng;
using fixtures::same_pixels;
using fixtures::shapes;

// Mask from row-major weights, with its centre.
IMGGRY mask(int nl, int nc, int lc, int cc, std::vector<int> w) {
  IMGGRY m(nl, nc);
  m.lc = lc;
  m.cc = cc;
  for (int k = 0; k < nl * nc; k++) m(k / nc, k % nc) = static_cast<unsigned char>(w[k]);
  return m;
}

// ---- Weighted majority on binary images.

IMGBIN ref_majority(const IMGBIN& a, const IMGGRY& m) {
  IMGBIN r(a.nl, a.nc);
  for (int l = 0; l < a.nl; l++)
    for (int c = 0; c < a.nc; c++) {
      int white = 0, black = 0;
      for (int i = 0; i < m.nl; i++)
        for (int j = 0; j < m.nc; j++) {
          const int y = l + i - m.lc, x = c + j - m.cc;
          if (y < 0 || y >= a.nl || x < 0 || x >= a.nc || m(i, j) == 0) continue;
          (a(y, x) ? white : black) += m(i, j);
        }
      r(l, c) = white > black;
    }
  return r;
}

TEST(BinaryMedian, MatchesReference) {
  Rng g(11);
  std::vector<IMGGRY> masks = {mask(1, 1, 0, 0, {1}),
                               IMGGRY(3, 3, 1),
                               mask(1, 2, 0, 0, {1, 1}),
                               mask(1, 3, 0, 0, {0, 0, 1}),
                               mask(2, 3, -2, 35, {5, 0, 200, 1, 255, 3}),
                               IMGGRY(2, 2, 0)};
  IMGGRY w = fixtures::random_grey(3, 5, g);
  w.lc = 2;
  masks.push_back(w);
  masks.push_back(IMGGRY(5, 5, 1));
  masks.push_back(IMGGRY(3, 3, 7));  // 3 x 3 of equal weights, alone and framed by zeros
  IMGGRY framed(5, 4, 0);
  for (int i = 1; i < 4; i++)
    for (int j = 0; j < 3; j++) framed(i, j) = 2;
  framed.cc = 1;
  masks.push_back(framed);
  masks.push_back(IMGGRY(4, 4, 1));      // even count: ties are black
  masks.push_back(IMGGRY(16, 16, 255));  // the largest total the interior sums in 16 bits
  masks.push_back(IMGGRY(17, 16, 255));  // beyond it
  for (auto [nl, nc] : fixtures::span_shapes())
    for (size_t k = 0; k < masks.size(); k++) {
      SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " mask " << k);
      IMGBIN a = fixtures::random_bin(nl, nc, g, 55);
      a.lc = 9;
      a.backg = 0;
      const IMGBIN want = ref_majority(a, masks[k]);
      testutil::for_each_isa([&, nl = nl] {
        IMGBIN r = mediana(a, masks[k]);
        EXPECT_TRUE(same_pixels(r, want));
        EXPECT_EQ(r.lc, (nl - 1) / 2);
        EXPECT_EQ(r.backg & 1u, 1u);
        for (uint32_t s : fixtures::spare_bits(r)) EXPECT_EQ(s, 0u);
      });
    }
}

TEST(BinaryMedian, DocumentedCases) {
  Rng g(12);
  IMGBIN a = fixtures::random_bin(3, 40, g);
  EXPECT_TRUE(same_pixels(mediana(a, mask(1, 1, 0, 0, {1})), a));
  EXPECT_TRUE(same_pixels(mediana(a, IMGGRY(3, 3, 0)), IMGBIN(3, 40, false)));
  // A tie is black; so is a window whose only other sample lies outside.
  IMGBIN r = mediana(IMGBIN(1, 2, true, false), mask(1, 2, 0, 0, {1, 1}));
  EXPECT_FALSE(r(0, 0));
  EXPECT_FALSE(r(0, 1));
  // (0, 0, 1) with centre (0, 0): the pixel two columns to the right, black in the last two.
  IMGBIN s = mediana(a, mask(1, 3, 0, 0, {0, 0, 1}));
  for (int l = 0; l < 3; l++)
    for (int c = 0; c < 40; c++) EXPECT_EQ(s(l, c), c < 38 && a(l, c + 2));
}

// ---- Weighted medians of grey and double images.

template <class Img>
Img ref_median(const Img& a, const IMGGRY& m) {
  using T = typename Img::Pixel;
  Img r(a.nl, a.nc);
  for (int l = 0; l < a.nl; l++)
    for (int c = 0; c < a.nc; c++) {
      std::vector<T> v;
      for (int i = 0; i < m.nl; i++)
        for (int j = 0; j < m.nc; j++) {
          const int y = l + i - m.lc, x = c + j - m.cc;
          if (y < 0 || y >= a.nl || x < 0 || x >= a.nc) continue;
          for (int k = 0; k < m(i, j); k++) v.push_back(a(y, x));
        }
      if (v.empty()) {
        r(l, c) = 0;
        continue;
      }
      std::nth_element(v.begin(), v.begin() + (v.size() - 1) / 2, v.end());
      r(l, c) = v[(v.size() - 1) / 2];
    }
  return r;
}

IMGDBL random_double(int nl, int nc, Rng& g) {
  IMGDBL a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a(l, c) = (g.below(2001) - 1000) / 7.0;
  return a;
}

// Masks whose centre element is weighted, so every window holds a sample.
std::vector<IMGGRY> median_masks(Rng& g) {
  std::vector<IMGGRY> ms = {
      IMGGRY(3, 3, 1),
      IMGGRY(3, 3, 255),
      mask(1, 3, 0, 1, {1, 2, 1}),
      IMGGRY(2, 2, 1),
      mask(1, 1, 0, 0, {1}),
      mask(3, 3, 1, 1, {2, 2, 2, 2, 3, 2, 2, 2, 2}),  // 19
      mask(3, 3, 1, 1, {2, 2, 2, 2, 4, 2, 2, 2, 2}),  // 20
      mask(2, 4, 0, 3, {0, 1, 0, 2, 1, 0, 3, 1}),
      IMGGRY(5, 5, 1),
      IMGGRY(5, 5, 4),
      mask(5, 5, 0, 4, std::vector<int>(25, 1)),
      IMGGRY(7, 7, 1),
      IMGGRY(11, 11, 1),
      IMGGRY(12, 13, 3),
      mask(3, 3, 1, 1, {0, 1, 0, 1, 1, 1, 0, 1, 0}),
      IMGGRY(2, 6, 1),
      mask(5, 5, 2, 2, {0, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 0}),
      IMGGRY(10, 10, 1),
      IMGGRY(9, 12, 1),
      mask(5, 5, 2, 2, {0, 0, 1, 0, 0, 0, 1, 1, 1, 0, 1, 1, 1, 1, 1, 0, 1, 1, 1, 0, 0, 0, 1, 0, 0}),
      mask(3, 3, 1, 1, {1, 1, 1, 1, 3, 1, 1, 1, 1}),  // one heavy tap among eight
      mask(3, 3, 1, 1, {1, 1, 7, 1, 1, 1, 1, 1, 1}),
      mask(3, 3, 1, 1, {1, 1, 1, 1, 12, 1, 1, 1, 1})};
  IMGGRY heavy = fixtures::random_grey(4, 3, g);
  heavy.lc = 0;
  heavy.cc = 2;
  heavy(0, 2) = 9;
  ms.push_back(heavy);
  return ms;
}

TEST(WeightedMedian, GreyAndDoubleMatchReference) {
  Rng g(13);
  const auto ms = median_masks(g);
  for (auto [nl, nc] : fixtures::span_shapes())
    for (size_t k = 0; k < ms.size(); k++) {
      SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " mask " << k);
      IMGGRY a = fixtures::random_grey(nl, nc, g, k % 2 ? 4 : 256);
      a.lc = -4;
      a.backg = 200;
      const IMGGRY want = ref_median(a, ms[k]);
      IMGDBL d = random_double(nl, nc, g);
      d.backg = 3.5;
      const IMGDBL want_d = ref_median(d, ms[k]);
      testutil::for_each_isa([&, nl = nl] {
        IMGGRY r = mediana(a, ms[k]);
        EXPECT_TRUE(same_pixels(r, want));
        EXPECT_EQ(r.lc, (nl - 1) / 2);
        EXPECT_EQ(r.backg, 0);
        IMGDBL rd = mediana(d, ms[k]);
        EXPECT_TRUE(same_pixels(rd, want_d));
        EXPECT_EQ(rd.backg, 0.0);
      });
    }
}

// Wide windows over images wider than the column strips the histograms keep, and two-level
// doubles, whose windows reach every pattern of sorted columns a network could get wrong.
TEST(WeightedMedian, WideImagesMatchReference) {
  Rng g(29);
  const std::vector<IMGGRY> ms = {IMGGRY(15, 15, 1), IMGGRY(11, 13, 2), IMGGRY(16, 12, 1),
                                  IMGGRY(5, 5, 1), IMGGRY(3, 3, 1)};
  for (auto [nl, nc] : std::vector<std::pair<int, int>>{{40, 300}, {23, 451}, {17, 16}})
    for (size_t k = 0; k < ms.size(); k++) {
      SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " mask " << k);
      const IMGGRY a = fixtures::random_grey(nl, nc, g, k % 2 ? 256 : 3);
      const IMGGRY want = ref_median(a, ms[k]);
      IMGDBL d(nl, nc);
      for (int l = 0; l < nl; l++)
        for (int c = 0; c < nc; c++)
          d(l, c) = k % 2 ? (g.below(2001) - 1000) / 7.0 : 1.0 + g.below(2);
      const IMGDBL want_d = ref_median(d, ms[k]);
      testutil::for_each_isa([&] {
        EXPECT_TRUE(same_pixels(mediana(a, ms[k]), want));
        EXPECT_TRUE(same_pixels(mediana(d, ms[k]), want_d));
      });
    }
}

// Literal: each window's samples in mask order, repeated by weight, then kth_element.
IMGDBL selected_median(const IMGDBL& d, const IMGGRY& m) {
  IMGDBL want(d.nl, d.nc);
  for (int l = 0; l < d.nl; l++)
    for (int c = 0; c < d.nc; c++) {
      VETOR<double> v(100);
      int n = 0;
      for (int i = 0; i < m.nl; i++)
        for (int j = 0; j < m.nc; j++) {
          const int y = l + i - m.lc, x = c + j - m.cc;
          if (y < 0 || y >= d.nl || x < 0 || x >= d.nc) continue;
          for (int r = 0; r < m(i, j); r++) v.data[n++] = d(y, x);
        }
      want(l, c) = kth_element(v, 0, n - 1, (n - 1) / 2);
    }
  return want;
}

// Zeros of both signs and NaNs: the sample the selection keeps, bit for bit, on every tier.
TEST(WeightedMedian, DoubleZerosAndNaNsMatchSelection) {
  Rng g(19);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double values[] = {0.0, -0.0, 0.0, -0.0, 1.5, -2.0, 3.0, nan};
  const std::vector<IMGGRY> ms = {IMGGRY(3, 3, 1), mask(3, 3, 1, 1, {0, 1, 0, 1, 3, 1, 0, 1, 0}),
                                  IMGGRY(2, 5, 1), IMGGRY(5, 5, 1)};
  for (auto [nl, nc] : fixtures::span_shapes())
    for (size_t k = 0; k < ms.size(); k++) {
      SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " mask " << k);
      IMGDBL d(nl, nc);
      for (int l = 0; l < nl; l++)
        for (int c = 0; c < nc; c++) d(l, c) = values[g.below(nl * nc > 200 ? 7 : 8)];
      if (nl * nc > 200) d(g.below(nl), g.below(nc)) = nan;  // one row with a NaN
      const IMGDBL want = selected_median(d, ms[k]);
      testutil::for_each_isa([&] { EXPECT_TRUE(same_pixels(mediana(d, ms[k]), want)); });
    }
}

// 3 x 3 windows of doubles, two output rows at a time: odd and even counts of inner rows, a
// single one, none; a NaN, an infinity or a zero on the first, middle or last input row of the
// inner band, in random columns or only in the first or the last one; sums of large samples
// that overflow.
TEST(WeightedMedian, Double3x3SpecialRowsMatchSelection) {
  Rng g(31);
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<IMGGRY> ms = {IMGGRY(3, 3, 1), IMGGRY(3, 3, 2),
                                  mask(3, 3, 0, 2, std::vector<int>(9, 1))};
  const double specials[] = {nan, inf, -inf, 0.0, -0.0, 1e308, -1e308};
  for (auto [nl, nc] : std::vector<std::pair<int, int>>{{1, 1},
                                                        {2, 2},
                                                        {3, 3},
                                                        {3, 67},
                                                        {4, 9},
                                                        {5, 131},
                                                        {6, 257},
                                                        {7, 67},
                                                        {12, 131},
                                                        {1, 257}})
    for (size_t k = 0; k < ms.size(); k++)
      for (int where = 0; where < 4; where++)  // none, first, middle, last row
        for (int column = 0; column < (where > 0 ? 3 : 1); column++)  // random, first, last
          for (double special : specials) {
            SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " mask " << k << " row "
                                              << where << " column " << column << " " << special);
            IMGDBL d(nl, nc);
            for (int l = 0; l < nl; l++)
              for (int c = 0; c < nc; c++)
                d(l, c) = special > 1e300 || special < -1e300 ? special * (g.below(2) ? 1 : -0.5)
                                                              : (g.below(2001) - 1000) / 7.0;
            if (where > 0) {
              const int y = where == 1 ? 0 : where == 2 ? nl / 2 : nl - 1;
              for (int n = 0; n < 3; n++)
                d(y, column == 0 ? g.below(nc) : column == 1 ? 0 : nc - 1) = special;
            }
            const IMGDBL want = selected_median(d, ms[k]);
            testutil::for_each_isa([&] { EXPECT_TRUE(same_pixels(mediana(d, ms[k]), want)); });
          }
}

// Colour medians channel by channel; windows without samples give 0.
TEST(WeightedMedian, ColourMatchesReference) {
  Rng g(20);
  auto ms = median_masks(g);
  ms.push_back(IMGGRY(3, 3, 0));
  ms.push_back(mask(1, 1, 0, 9, {5}));
  ms.push_back(mask(1, 2, 0, 9, {30, 1}));
  for (auto [nl, nc] : fixtures::span_shapes())
    for (size_t k = 0; k < ms.size(); k++) {
      SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " mask " << k);
      IMGCOR a(nl, nc);
      IMGGRY want[3];
      for (IMGGRY& p : want) p = fixtures::random_grey(nl, nc, g, k % 2 ? 4 : 256);
      for (int l = 0; l < nl; l++)
        for (int c = 0; c < nc; c++) a(l, c) = COR{want[0](l, c), want[1](l, c), want[2](l, c)};
      for (IMGGRY& p : want) p = ref_median(p, ms[k]);
      testutil::for_each_isa([&, nl = nl, nc = nc] {
        IMGCOR r = mediana(a, ms[k]);
        for (int l = 0; l < nl; l++)
          for (int c = 0; c < nc; c++) {
            const COR p = r(l, c);
            ASSERT_TRUE(p.r == want[0](l, c) && p.g == want[1](l, c) && p.b == want[2](l, c))
                << "pixel (" << l << ", " << c << ")";
          }
      });
    }
}

TEST(WeightedMedian, DocumentedCases) {
  Rng g(14);
  IMGGRY a = fixtures::random_grey(6, 7, g);
  // Equal weights give the plain median, selection (9) and histogram (2295) alike.
  EXPECT_TRUE(same_pixels(mediana(a, IMGGRY(3, 3, 255)), mediana(a, IMGGRY(3, 3, 1))));
  // A corner holds 4 samples: the second smallest.
  IMGGRY c(2, 2, 40, 10, 30, 20);
  EXPECT_EQ(mediana(c, IMGGRY(3, 3, 1))(0, 0), 20);
  // (1, 2, 1) counts the centre twice: 10, 50, 50, 20 gives 20.
  EXPECT_EQ(mediana(IMGGRY(1, 3, 10, 50, 20), mask(1, 3, 0, 1, {1, 2, 1}))(0, 1), 20);
  // A 2 x 2 mask reaches down and to the right.
  IMGGRY two = mediana(IMGGRY(2, 2, 10, 20, 30, 40), IMGGRY(2, 2, 1));
  EXPECT_EQ(two(0, 0), 20);
  EXPECT_EQ(two(1, 1), 40);
  // Histogram method, every weighted position outside: 0.
  EXPECT_TRUE(same_pixels(mediana(a, mask(1, 1, 50, 0, {20})), IMGGRY(6, 7, 0)));
}

TEST(WeightedMedian, EmptyWindowIsFatalForSelection) {
  Rng g(15);
  IMGGRY a = fixtures::random_grey(3, 3, g);
  IMGDBL d = random_double(3, 3, g);
  EXPECT_ERRO(mediana(a, IMGGRY(3, 3, 0)), "Erro: deveria ter l<=k<=r", "");
  EXPECT_ERRO(mediana(d, IMGGRY(2, 2, 0)), "Erro: deveria ter l<=k<=r", "");
  EXPECT_ERRO(mediana(a, mask(1, 1, 0, 9, {19})), "Erro: deveria ter l<=k<=r", "");
  EXPECT_ERRO(mediana(d, mask(1, 1, -5, 0, {255})), "Erro: deveria ter l<=k<=r", "");
}

// ---- Moving average.

template <class Img>
double sample(const Img& a, int k, int m, bool edge, bool& inside) {
  inside = k >= 0 && k < a.nl && m >= 0 && m < a.nc;
  return edge ? a(k, m, 'x') : (inside ? a(k, m) : 0);
}

inline unsigned char store(double q, const IMGGRY&) {
  if (!(q > 0)) return 0;
  return static_cast<unsigned char>(std::round(std::min(q, 255.0)));
}
inline float store(double q, const IMGFLT&) { return static_cast<float>(q); }

// Literal: windows summed afresh in increasing order, grey sums held in ints.
template <class Img>
Img ref_mediamov(Img a, int wl, int wc, char e1, char e2) {
  const bool edge = e2 == 'x';
  const int hr = (wl - 1) / 2, hc = (wc - 1) / 2;
  Img t(a.nl, a.nc);
  auto sum_line = [&](const Img& src, int r, int c, bool vertical, double& s, int& count) {
    const int size = vertical ? wl : wc, h = vertical ? hr : hc;
    for (int k = 0; k < size; k++) {
      bool in;
      const double v =
          vertical ? sample(src, r - h + k, c, edge, in) : sample(src, r, c - h + k, edge, in);
      if (edge || in) s += v, count++;
    }
  };
  if (e1 == 's') {
    for (int r = 0; r < a.nl; r++)
      for (int c = 0; c < a.nc; c++) {
        double s = 0;
        int count = 0;
        sum_line(a, r, c, true, s, count);
        t(r, c) = store(s / (edge ? wl : count), t);
      }
    for (int r = 0; r < a.nl; r++)
      for (int c = 0; c < a.nc; c++) {
        double s = 0;
        int count = 0;
        sum_line(t, r, c, false, s, count);
        a(r, c) = store(s / (edge ? wc : count), a);
      }
    return a;
  }
  for (int r = 0; r < a.nl; r++)
    for (int c = 0; c < a.nc; c++) {
      double s = 0;
      int count = 0;
      for (int k = 0; k < wl; k++) {
        const int y = r - hr + k;
        if (edge || (y >= 0 && y < a.nl)) sum_line(a, y, c, false, s, count);
      }
      t(r, c) = store(s / (edge ? wl * wc : count), t);
    }
  return t;
}

struct Letters {
  char e1, e2;
};
const Letters kLetters[] = {{'s', 'e'}, {'s', 'x'}, {'n', 'e'}, {'n', 'x'}};
struct Win {
  int nl, nc;
};
const Win kWindows[] = {{1, 1}, {3, 3},  {4, 1},  {1, 4},   {2, 2},  {5, 2},
                        {9, 9}, {2, 70}, {15, 7}, {3, 600}, {20, 20}};

TEST(MovingAverage, GreyAndFloatMatchReference) {
  Rng g(16);
  for (auto [nl, nc] : fixtures::span_shapes())
    for (const Win& w : kWindows)
      for (const Letters& L : kLetters) {
        SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " window " << w.nl << "x" << w.nc
                                          << " " << L.e1 << L.e2);
        IMGGRY a = fixtures::random_grey(nl, nc, g);
        a.lc = -2;
        a.cc = 11;
        a.backg = 99;
        const IMGGRY want = ref_mediamov(a, w.nl, w.nc, L.e1, L.e2);
        IMGFLT f = fixtures::random_float(nl, nc, g);
        for (int k = 0; k < nl * nc / 8 + 1; k++) f(g.below(nl), g.below(nc)) = -0.0f;
        f.backg = 2.5f;
        const IMGFLT want_f = ref_mediamov(f, w.nl, w.nc, L.e1, L.e2);
        const IMGFLT wide = fixtures::random_float_cancelling(nl, nc, g);
        const IMGFLT want_wide = ref_mediamov(wide, w.nl, w.nc, L.e1, L.e2);
        const bool sep = L.e1 == 's';
        testutil::for_each_isa([&, nl = nl, nc = nc] {
          IMGGRY r = mediamov(a, w.nl, w.nc, L.e1, L.e2);
          EXPECT_TRUE(same_pixels(r, want));
          EXPECT_EQ(r.lc, sep ? -2 : (nl - 1) / 2);
          EXPECT_EQ(r.cc, sep ? 11 : (nc - 1) / 2);
          EXPECT_EQ(r.backg, sep ? 99 : 0);
          IMGFLT rf = mediamov(f, w.nl, w.nc, L.e1, L.e2);
          EXPECT_TRUE(same_pixels(rf, want_f));
          EXPECT_EQ(rf.backg, sep ? 2.5f : 0.0f);
          EXPECT_TRUE(same_pixels(mediamov(wide, w.nl, w.nc, L.e1, L.e2), want_wide));
        });
      }
}

// Infinities of both signs, NaNs, the largest float and subnormals among the samples: every
// tier gives the bits of the literal order. One NaN, the one inf - inf makes: which of two NaNs
// a sum keeps is the compiler's choice of operand order, not the window's.
TEST(MovingAverage, FloatSpecialValuesMatchReference) {
  Rng g(17);
  const uint32_t nan_bits = 0xFFC00000u;
  float nan;
  std::memcpy(&nan, &nan_bits, sizeof nan);
  const float inf = std::numeric_limits<float>::infinity();
  const float specials[] = {inf, -inf, nan, -0.0f, std::numeric_limits<float>::max(), 1e-40f};
  const std::pair<int, int> shapes[] = {{9, 37}, {12, 131}, {1, 257}};
  const Win windows[] = {{3, 3}, {7, 7}, {2, 70}};
  for (auto [nl, nc] : shapes)
    for (const Win& w : windows)
      for (const Letters& L : kLetters) {
        SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " window " << w.nl << "x" << w.nc
                                          << " " << L.e1 << L.e2);
        IMGFLT f = fixtures::random_float_cancelling(nl, nc, g);
        for (int k = 0; k < nl * nc / 16 + 1; k++)
          f(g.below(nl), g.below(nc)) = specials[g.below(6)];
        const IMGFLT want = ref_mediamov(f, w.nl, w.nc, L.e1, L.e2);
        testutil::for_each_isa(
            [&] { EXPECT_TRUE(same_pixels(mediamov(f, w.nl, w.nc, L.e1, L.e2), want)); });
      }
}

// Samples on a grid of 2^-20 (their sums exact in a double in any order), then with a later
// sample too large or too fine for that, and integers under a large first sample (vertical means
// too fine for it). Signed zeros among them.
TEST(MovingAverage, FloatSumsExactInAnyOrder) {
  Rng g(18);
  const std::pair<int, int> shapes[] = {{1, 1}, {5, 7}, {12, 131}, {29, 40}, {2, 600}};
  for (auto [nl, nc] : shapes)
    for (int kind = 0; kind < 4; kind++)
      for (const Win& w : kWindows)
        for (const Letters& L : kLetters) {
          SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " window " << w.nl << "x" << w.nc
                                            << " " << L.e1 << L.e2 << " kind " << kind);
          IMGFLT f(nl, nc);
          const float unit = kind == 3 ? 1.0f : 0x1p-20f;
          for (int l = 0; l < nl; l++)
            for (int c = 0; c < nc; c++)
              f(l, c) = g.below(8) == 0 ? -0.0f : static_cast<float>(g.below(2001) - 1000) * unit;
          if (kind == 1) f(nl - 1, nc / 2) = 0x1p30f;
          if (kind == 2) f(nl - 1, 0) = 0x1.000002p-30f;
          if (kind == 3) f(0, nc - 1) = 0x1p24f;
          const IMGFLT want = ref_mediamov(f, w.nl, w.nc, L.e1, L.e2);
          testutil::for_each_isa(
              [&] { EXPECT_TRUE(same_pixels(mediamov(f, w.nl, w.nc, L.e1, L.e2), want)); });
        }
}

// Bright grey samples under direct windows whose row sums just fit 16 bits (257 columns) or not.
TEST(MovingAverage, GreyBrightWideRows) {
  Rng g(19);
  const std::pair<int, int> shapes[] = {{1, 1}, {7, 67}, {12, 300}, {40, 9}};
  const Win windows[] = {{2, 257}, {9, 257}, {3, 258}, {33, 31}};
  for (auto [nl, nc] : shapes)
    for (const Win& w : windows)
      for (const Letters& L : kLetters) {
        if (L.e1 != 'n') continue;
        SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " window " << w.nl << "x" << w.nc
                                          << " " << L.e1 << L.e2);
        IMGGRY a(nl, nc);
        for (int l = 0; l < nl; l++)
          for (int c = 0; c < nc; c++) a(l, c) = static_cast<unsigned char>(250 + g.below(6));
        const IMGGRY want = ref_mediamov(a, w.nl, w.nc, L.e1, L.e2);
        testutil::for_each_isa(
            [&] { EXPECT_TRUE(same_pixels(mediamov(a, w.nl, w.nc, L.e1, L.e2), want)); });
      }
}

// The span kernels round grey means without dividing: every sum of every divisor up to 256
// (the float kernels, sums in 32 and 16 bits) and a spread of sums for larger divisors (the double
// one), as round() does.
TEST(MovingAverage, MeanKernelsRoundLikeRound) {
  testutil::for_each_isa([] {
    const vistelmo::SpanKernels& k = vistelmo::span_kernels();
    for (int d = 1; d <= 256; d++) {
      const int n = 255 * d + 1;
      std::vector<int32_t> s(n);
      std::vector<uint16_t> s16(n);
      for (int i = 0; i < n; i++) s[i] = s16[i] = static_cast<uint16_t>(i);
      std::vector<float> dd(n, static_cast<float>(d)), rs(n, vistelmo::small_mean_reciprocal(d));
      std::vector<double> half(n, 0.5 * d), rcp(n, vistelmo::mean_reciprocal(d));
      std::vector<unsigned char> small(n), small16(n), big(n);
      k.sums32.mean_small(s.data(), dd.data(), rs.data(), small.data(), n);
      k.sums16.mean_small(s16.data(), dd.data(), rs.data(), small16.data(), n);
      k.mean_u8(s.data(), half.data(), rcp.data(), big.data(), n);
      for (int i = 0; i < n; i++) {
        const int want = static_cast<int>(std::round(static_cast<double>(i) / d));
        ASSERT_EQ(small[i], want) << i << " / " << d;
        ASSERT_EQ(small16[i], want) << i << " / " << d;
        ASSERT_EQ(big[i], want) << i << " / " << d;
      }
    }
    for (int d : {257, 1000, 65535, (1 << 22) - 1})
      for (int64_t i = 0; i <= 255LL * d; i += d / 64 + 1) {
        const int32_t s = static_cast<int32_t>(i);
        const double half = 0.5 * d, rcp = vistelmo::mean_reciprocal(d);
        unsigned char got;
        k.mean_u8(&s, &half, &rcp, &got, 1);
        ASSERT_EQ(got, static_cast<int>(std::round(static_cast<double>(i) / d))) << i << " / " << d;
      }
  });
}

TEST(MovingAverage, DocumentedCases) {
  // Grey separable rounds between the passes: 1 with 's', 0 with 'n'.
  IMGGRY a(2, 2, 0, 1, 0, 0);
  EXPECT_EQ(mediamov(a, 2, 2, 's', 'e')(0, 0), 1);
  EXPECT_EQ(mediamov(a, 2, 2, 'n', 'e')(0, 0), 0);
  // Halves round up, 2.4 rounds down.
  EXPECT_EQ(mediamov(IMGGRY(1, 2, 2, 3), 1, 2, 'n', 'e')(0, 0), 3);
  EXPECT_EQ(mediamov(IMGGRY(1, 5, 2, 2, 2, 3, 3), 1, 9, 'n', 'e')(0, 2), 2);
  // Corner of a 3 x 3 window: edge-repeated sum over 9, or the mean of four pixels.
  IMGFLT f(3, 3, 1.0, 2.0, 0.0, 4.0, 8.0, 0.0, 0.0, 0.0, 0.0);
  EXPECT_EQ(mediamov(f, 3, 3, 'n', 'x')(0, 0), static_cast<float>((4 + 4 + 8 + 8) / 9.0));
  EXPECT_EQ(mediamov(f, 3, 3, 'n', 'e')(0, 0), static_cast<float>(15 / 4.0));
  // A 4 x 1 window averages rows r-1 .. r+2.
  IMGFLT col(5, 1, 1.0, 2.0, 4.0, 8.0, 16.0);
  EXPECT_EQ(mediamov(col, 4, 1, 'n', 'e')(1, 0), static_cast<float>(15 / 4.0));
  // A 1 x 1 window returns the pixels.
  Rng g(17);
  IMGGRY r = fixtures::random_grey(4, 6, g);
  for (const Letters& L : kLetters) EXPECT_TRUE(same_pixels(mediamov(r, 1, 1, L.e1, L.e2), r));
}

TEST(MovingAverage, UnknownLettersAndEmptyWindows) {
  Rng g(18);
  IMGGRY a = fixtures::random_grey(3, 4, g);
  a.lc = 0;
  for (Letters L : {Letters{'S', 'e'}, Letters{'s', 'n'}, Letters{'e', 'x'}, Letters{0, 0}}) {
    IMGGRY r = mediamov(a, 3, 3, L.e1, L.e2);
    EXPECT_TRUE(same_pixels(r, IMGGRY(3, 4, 0)));
    EXPECT_EQ(r.lc, 1);
    EXPECT_EQ(mediamov(IMGFLT(a), 3, 3, L.e1, L.e2)(2, 3), 0.0f);
  }
  // A window below 1 has no samples: grey 0, float NaN where the mean is 0 / 0.
  for (const Letters& L : kLetters) {
    EXPECT_TRUE(same_pixels(mediamov(a, 0, 3, L.e1, L.e2), IMGGRY(3, 4, 0)));
    EXPECT_TRUE(same_pixels(mediamov(a, 2, -3, L.e1, L.e2), IMGGRY(3, 4, 0)));
  }
  EXPECT_TRUE(std::isnan(mediamov(IMGFLT(a), 0, 3, 'n', 'e')(1, 1)));
  EXPECT_TRUE(std::isnan(mediamov(IMGFLT(a), 3, 0, 's', 'x')(1, 1)));
  // An empty image gives an empty result.
  EXPECT_EQ(mediamov(IMGGRY(0, 5), 3, 3, 's', 'e').nc, 5);
  EXPECT_EQ(mediamov(IMGFLT(4, 0), 3, 3, 'n', 'x').nl, 4);
}

}  // namespace
