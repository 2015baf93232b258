// Image statistics, pixelwise transforms, normalisation, thresholds and complex element
// functions: small fixtures with known answers, result forms and the one fatal path.
#include "processing/algebra/statistics.h"

#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "processing/algebra/pointwise_fixtures.h"
#include "support/isa_levels.h"
#include "support/test_support.h"

namespace {

using pwtest::same;
using Complex = std::complex<float>;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const float kNaNf = std::numeric_limits<float>::quiet_NaN();
const float kPi = static_cast<float>(M_PI);

// A 1 x n image (or nl x nc when given) holding v in row-major order.
template <class Img>
Img make(const std::vector<typename Img::Pixel>& v, int nl = 1, int nc = -1) {
  if (nc < 0) nc = static_cast<int>(v.size());
  Img a(nl, nc);
  for (size_t i = 0; i < v.size(); i++) a.data[i] = v[i];
  return a;
}

// Moves the centre and the outside value away from their defaults.
template <class Img>
Img marked(Img a, typename Img::Pixel backg) {
  a.backg = backg;
  a.lc = a.nl() - 1;
  a.cc = 0;
  return a;
}

template <class Img>
void expect_default_centre(const Img& r) {
  EXPECT_EQ(r.lc, (r.nl() - 1) / 2);
  EXPECT_EQ(r.cc, (r.nc() - 1) / 2);
}

template <class Img>
void expect_same_frame(const Img& r, const Img& a) {
  EXPECT_EQ(r.nl(), a.nl());
  EXPECT_EQ(r.nc(), a.nc());
  EXPECT_EQ(r.lc, a.lc);
  EXPECT_EQ(r.cc, a.cc);
  EXPECT_TRUE(same(r.backg, a.backg));
}

template <class Img>
void expect_pixels(const Img& r, const std::vector<typename Img::Pixel>& want) {
  ASSERT_EQ(static_cast<size_t>(r.n()), want.size());
  for (size_t i = 0; i < want.size(); i++)
    EXPECT_TRUE(same(r.data[i], want[i]))
        << "pixel " << i << ": " << r.data[i] << " vs " << want[i];
}

// ---- reductions

struct MeanCase {
  std::vector<float> pixels;
  double mean;
  double deviation;
};

TEST(Statistics, MeanAndSampleDeviation) {
  const MeanCase cases[] = {
      {{1, 2, 3, 4}, 2.5, std::sqrt(5.0 / 3.0)},  // divisor n - 1
      {{7}, 7, kNaN},                             // 0 / 0
      {{}, kNaN, kNaN},
      // The sum runs in double over the float pixels.
      {{0.1f, 0.2f, 0.3f}, (double(0.1f) + double(0.2f) + double(0.3f)) / 3, -1},
  };
  for (const MeanCase& k : cases) {
    SCOPED_TRACE(k.pixels.size());
    const IMGFLT f = make<IMGFLT>(k.pixels);
    const IMGDBL d = make<IMGDBL>(std::vector<double>(k.pixels.begin(), k.pixels.end()));
    EXPECT_TRUE(testutil::same_or_both_nan(media(f), k.mean)) << media(f);
    EXPECT_TRUE(testutil::same_or_both_nan(media(d), k.mean)) << media(d);
    if (k.deviation != -1) {
      EXPECT_TRUE(testutil::same_or_both_nan(desvio(f), k.deviation)) << desvio(f);
      EXPECT_TRUE(testutil::same_or_both_nan(desvio(d), k.deviation)) << desvio(d);
    }
  }
  const IMGGRY g = make<IMGGRY>({0, 255, 100, 1}, 2, 2);
  EXPECT_EQ(media(g), 89.0);
  EXPECT_TRUE(std::isnan(media(IMGGRY(0, 3))));
}

TEST(Statistics, GreyMeanIsThePlainSum) {
  // Sizes around the 16-byte steps and a very wide row, bytes up to 255.
  std::mt19937 gen(7);
  for (const auto& [nl, nc] : std::vector<std::pair<int, int>>{
           {1, 1}, {1, 15}, {1, 16}, {1, 17}, {7, 67}, {12, 131}, {1, 257}, {3, 4099}}) {
    IMGGRY g(nl, nc);
    double want = 0;
    for (int l = 0; l < nl; l++)
      for (int c = 0; c < nc; c++) {
        g(l, c) = static_cast<unsigned char>(c % 5 == 0 ? 255 : gen() % 256);
        want += g(l, c);
      }
    EXPECT_EQ(media(g), want / (double(nl) * nc)) << nl << "x" << nc;
  }
}

TEST(Statistics, DeviationAccumulatesInDouble) {
  // Float accumulation would lose the small spread on top of the large offset.
  const IMGFLT a = make<IMGFLT>({16777216.0f, 16777218.0f, 16777216.0f, 16777218.0f});
  EXPECT_EQ(media(a), 16777217.0);
  EXPECT_DOUBLE_EQ(desvio(a), std::sqrt(4.0 / 3.0));
}

struct ExtremeCase {
  std::vector<float> pixels;
  double lo, hi;
};

TEST(Statistics, ExtremesStartFromInfinito) {
  const ExtremeCase cases[] = {
      {{3, -2, 5, 0}, -2, 5},    {{}, 1e30, -1e30},
      {{2e30f}, 1e30, 2e30f},                                     // nothing below the start value
      {{-2e30f}, -2e30f, -1e30}, {{kNaNf, 4, kNaNf, -1}, -1, 4},  // a NaN never wins
      {{kNaNf}, 1e30, -1e30},
  };
  for (const ExtremeCase& k : cases) {
    const IMGFLT a = make<IMGFLT>(k.pixels);
    EXPECT_EQ(minimo(a), k.lo);
    EXPECT_EQ(maximo(a), k.hi);
  }
  EXPECT_EQ(maximo(make<IMGSHT>({-5, 300, -32768, 299}, 2, 2)), 300);
  EXPECT_EQ(maximo(make<IMGSHT>({-32768})), -32768);
  EXPECT_EQ(maximo(IMGSHT()), -32768);
}

struct ArgCase {
  int nl, nc;
  std::vector<float> pixels;
  PONTOI2 at_max, at_min;
};

TEST(Statistics, ArgmaxArgminTakeTheFirstInScanOrder) {
  std::vector<float> ties(4 * 6, 0.5f);
  ties[2 * 6 + 5] = 0.9f;
  ties[3 * 6 + 1] = 0.9f;
  ties[1 * 6 + 4] = 0.1f;
  ties[3 * 6 + 0] = 0.1f;
  const ArgCase cases[] = {
      {4, 6, ties, {2, 5}, {1, 4}},
      {2, 3, std::vector<float>(6, 1.0f), {0, 0}, {0, 0}},
      {2, 2, {9, 1, 2, 3}, {0, 0}, {0, 1}},
      {3, 1, {1, 2, 0}, {1, 0}, {2, 0}},
      {2, 2, {kNaNf, 5, 6, 4}, {0, 0}, {0, 0}},  // nothing compares with a NaN start
      {0, 0, {}, {0, 0}, {0, 0}},
  };
  for (const ArgCase& k : cases) {
    const IMGFLT a = make<IMGFLT>(k.pixels, k.nl, k.nc);
    const PONTOI2 hi = argmax(a);
    const PONTOI2 lo = argmin(a);
    EXPECT_EQ(hi.lin, k.at_max.lin);
    EXPECT_EQ(hi.col, k.at_max.col);
    EXPECT_EQ(lo.lin, k.at_min.lin);
    EXPECT_EQ(lo.col, k.at_min.col);
  }
}

TEST(Statistics, SumsAndEuclideanNorm) {
  const IMGDBL a = make<IMGDBL>({3, -4, 0, 12}, 2, 2);
  EXPECT_EQ(somatoria(a), 11.0);
  EXPECT_EQ(comprimento(a), 13.0);
  EXPECT_EQ(somatoria(IMGDBL()), 0.0);
  EXPECT_EQ(comprimento(IMGDBL(3, 0)), 0.0);
}

struct NormCase {
  std::vector<float> pixels;
  double p;
  double want;
};

TEST(Statistics, LpNorms) {
  const NormCase cases[] = {
      {{3, 4}, 2.0, 5.0},
      {{-7, 2}, 1e30, 7.0},
      {{-7, 2}, 1.0, 9.0},
      {{1, 1}, 3.0, std::pow(2.0, 1.0 / 3.0)},
      {{-1, 2, -2}, 1.5, std::pow(1.0 + 2 * std::pow(2.0, 1.5), 1.0 / 1.5)},
      {{kNaNf, -3}, 1e30, 3.0},  // the maximum norm skips a NaN
      {{}, 2.0, 0.0},
      {{}, 1e30, 0.0},
      {{}, 1.0, 0.0},
      {{}, 4.0, 0.0},
  };
  for (const NormCase& k : cases) {
    SCOPED_TRACE(k.p);
    EXPECT_DOUBLE_EQ(comprimento(make<IMGFLT>(k.pixels), k.p), k.want);
  }
  // The squares are formed in double: a float square of 1e20 would overflow.
  EXPECT_DOUBLE_EQ(comprimento(make<IMGFLT>({1e20f, 0}), 2.0), double(1e20f));
}

TEST(StatisticsDeath, NormBelowOne) {
  const IMGFLT a = make<IMGFLT>({1, 2});
  EXPECT_ERRO(comprimento(a, 0.5), "Erro: p<1.0", "");
  EXPECT_ERRO(comprimento(a, kNaN), "Erro: p<1.0", "");
  EXPECT_ERRO(comprimento(IMGFLT(), 0.999), "Erro: p<1.0", "");
}

TEST(Statistics, CountsBlackPixelsOfEveryRow) {
  IMGBIN a(3, 33, true);
  for (int l = 0; l < 3; l++) a(l, 32) = false;
  EXPECT_EQ(contapreto(a), 3);
  EXPECT_EQ(contapreto(IMGBIN()), 0);
  for (int nc : pwtest::kBinWidths) {
    IMGBIN b = pwtest::pattern(4, nc, nc);
    int want = 0;
    for (int l = 0; l < 4; l++)
      for (int c = 0; c < nc; c++) want += b(l, c) ? 0 : 1;
    pwtest::soil_spare_bits(b);
    b.backg = 0;
    EXPECT_EQ(contapreto(b), want) << nc;
  }
}

// ---- pixelwise transforms

TEST(Statistics, CopyTransformsKeepFrameAndOutsideValue) {
  const float inf = std::numeric_limits<float>::infinity();
  const IMGFLT a = marked(make<IMGFLT>({-1.5f, -0.0f, 4, kNaNf, -inf, 2.25f}, 2, 3), -1.0f);

  const IMGFLT ab = abs(a);
  expect_same_frame(ab, a);
  expect_pixels(ab, {1.5f, 0.0f, 4, kNaNf, inf, 2.25f});

  const IMGFLT sq = sqrt(a);
  expect_same_frame(sq, a);
  expect_pixels(sq, {kNaNf, -0.0f, 2, kNaNf, kNaNf, 1.5f});

  const IMGFLT zn = zeraneg(a);
  expect_same_frame(zn, a);
  expect_pixels(zn, {0, -0.0f, 4, kNaNf, 0, 2.25f});

  const IMGDBL d = marked(make<IMGDBL>({-1.5, -0.0, 3}), -2.0);
  const IMGDBL abd = abs(d);
  expect_same_frame(abd, d);
  expect_pixels(abd, {1.5, 0.0, 3});
}

TEST(Statistics, SquareIsAFreshImage) {
  const IMGFLT a = marked(make<IMGFLT>({-3, 0.5f, 1e20f, 0.1f}, 2, 2), -2.0f);
  const IMGFLT r = elev2(a);
  expect_default_centre(r);
  EXPECT_EQ(r.backg, 4.0f);
  expect_pixels(r, {9, 0.25f, std::numeric_limits<float>::infinity(),
                    static_cast<float>(double(0.1f) * double(0.1f))});
}

TEST(Statistics, DcRejectRemovesTheMean) {
  const IMGFLT a = marked(make<IMGFLT>({1, 2, 3, 6}, 2, 2), 9.0f);
  const IMGFLT r = dcreject(a);
  expect_same_frame(r, a);
  expect_pixels(r, {-2, -1, 0, 3});
  const IMGFLT z = marked(IMGFLT(0, 0), 5.0f);
  expect_same_frame(dcreject(z), z);
  // The mean is taken in double and each difference rounded once.
  const IMGFLT b = make<IMGFLT>({0.1f, 0.2f, 0.7f});
  const double m = (double(0.1f) + double(0.2f) + double(0.7f)) / 3;
  expect_pixels(dcreject(b), {float(0.1f - m), float(0.2f - m), float(0.7f - m)});
}

TEST(Statistics, SomatoriaUmScalesTheAbsoluteSumToOne) {
  IMGFLT f = marked(make<IMGFLT>({1, -3}), 7.0f);
  SomatoriaUm(f);
  expect_pixels(f, {0.25f, -0.75f});
  EXPECT_EQ(f.backg, 7.0f);
  EXPECT_EQ(f.lc, 0);

  IMGDBL d = marked(make<IMGDBL>({1, -3, 0, 4}, 2, 2), 7.0);
  SomatoriaUm(d);
  expect_pixels(d, {0.125, -0.375, 0, 0.5});
  EXPECT_EQ(d.backg, 7.0);
  EXPECT_EQ(d.lc, 1);

  // Float pixels are divided in double: 0.1f / 0.3... rounded once.
  IMGFLT g = make<IMGFLT>({0.1f, 0.2f});
  SomatoriaUm(g);
  const double s = double(0.1f) + double(0.2f);
  expect_pixels(g, {float(0.1f / s), float(0.2f / s)});

  IMGFLT zero = make<IMGFLT>({0, 0});
  SomatoriaUm(zero);
  expect_pixels(zero, {kNaNf, kNaNf});
}

struct ThresholdCase {
  int t;
  std::vector<bool> white;  // for the pixels 0, 1, 127, 128, 254, 255
};

// Runs each test on the instruction-set level of its parameter (every level this machine has).
class OnIsa : public testutil::IsaTest {};

// SomatoriaUm's division runs on every instruction set this processor has: each quotient as the
// plain rule gives it, on awkward sizes (with zeros and negatives).
class SomatoriaUmIsa : public OnIsa {
 protected:
  template <class Img>
  void check() {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> u(-3, 3);
    for (auto [nl, nc] : {std::pair{1, 1}, {7, 67}, {12, 131}, {1, 257}}) {
      SCOPED_TRACE(std::to_string(nl) + "x" + std::to_string(nc));
      Img a(nl, nc);
      for (int i = 0; i < a.n(); i++)
        a.data[i] = static_cast<typename Img::Pixel>(i % 5 ? u(gen) : 0);
      Img want = a;
      double s = 0;
      for (int i = 0; i < a.n(); i++) s += std::fabs(double(a.data[i]));
      for (int i = 0; i < a.n(); i++)
        want.data[i] = static_cast<typename Img::Pixel>(want.data[i] / s);
      SomatoriaUm(a);
      // Bitwise: the one-pixel image is 0 / 0.
      for (int i = 0; i < a.n(); i++)
        ASSERT_EQ(std::memcmp(&a.data[i], &want.data[i], sizeof a.data[i]), 0) << "pixel " << i;
    }
  }
};

TEST_P(SomatoriaUmIsa, Float) { check<IMGFLT>(); }
TEST_P(SomatoriaUmIsa, Double) { check<IMGDBL>(); }

VISTELMO_INSTANTIATE_ISAS(SomatoriaUmIsa);

// The mean's sum in pixel order, one double: what media gives whatever order it sums in.
template <class Img>
double ordered_mean(const Img& a) {
  double s = 0;
  for (int i = 0; i < a.n(); i++) s += a.data[i];
  return s / static_cast<double>(a.n());
}

template <class Img>
void expect_ordered_mean(const Img& a) {
  const double got = media(a), want = ordered_mean(a);
  EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << got << " vs " << want;
}

// desvio: the squared deviations from the ordered mean, summed in pixel order.
template <class Img>
void expect_ordered_deviation(const Img& a) {
  const double m = ordered_mean(a);
  double s = 0;
  for (int i = 0; i < a.n(); i++) {
    const double d = a.data[i] - m;
    s += d * d;
  }
  const double got = desvio(a), want = std::sqrt(s / static_cast<double>(a.n() - 1));
  EXPECT_TRUE(testutil::same_or_both_nan(got, want)) << got << " vs " << want;
}

// The sums, L1 and L2 norms: pixels, magnitudes and squares added in pixel order.
void expect_ordered_norms(const IMGFLT& a) {
  double s1 = 0, s2 = 0;
  for (int i = 0; i < a.n(); i++) {
    s1 += std::fabs(double(a.data[i]));
    s2 += double(a.data[i]) * a.data[i];
  }
  EXPECT_TRUE(testutil::same_or_both_nan(comprimento(a, 1.0), s1))
      << comprimento(a, 1.0) << " vs " << s1;
  EXPECT_TRUE(testutil::same_or_both_nan(comprimento(a, 2.0), std::sqrt(s2)));
}
void expect_ordered_norms(const IMGDBL& a) {
  double s = 0, s2 = 0;
  for (int i = 0; i < a.n(); i++) {
    s += a.data[i];
    s2 += a.data[i] * a.data[i];
  }
  EXPECT_TRUE(testutil::same_or_both_nan(somatoria(a), s)) << somatoria(a) << " vs " << s;
  EXPECT_TRUE(testutil::same_or_both_nan(comprimento(a), std::sqrt(s2)));
}

// SomatoriaUm divides by the sum of magnitudes in pixel order, whatever order it sums in.
template <class Img>
void expect_ordered_abs_scale(const Img& a) {
  double s = 0;
  for (int i = 0; i < a.n(); i++) s += std::fabs(double(a.data[i]));
  Img got = a;
  SomatoriaUm(got);
  for (int i = 0; i < a.n(); i++) {
    const auto want = static_cast<typename Img::Pixel>(a.data[i] / s);
    ASSERT_EQ(std::memcmp(&got.data[i], &want, sizeof want), 0) << "pixel " << i;
  }
}

// Every reduction of a float or double image against its rule in pixel order.
template <class Img>
void expect_ordered_reductions(const Img& a) {
  expect_ordered_mean(a);
  expect_ordered_abs_scale(a);
  expect_ordered_deviation(a);
  expect_ordered_norms(a);
}

// Fillers of float test images: pixel i of n.
struct FloatFill {
  const char* name;
  float (*pixel)(int i, std::mt19937& gen);
};

const FloatFill kFloatFills[] = {
    // Exact in any order: small integers, signs, zeros, -0.0, binary fractions, denormals.
    {"integers",
     [](int i, std::mt19937& gen) { return float(int(gen() % 511) - 255) * (i % 7 != 0); }},
    {"negative zeros", [](int i, std::mt19937&) { return i % 2 ? -0.0f : 0.0f; }},
    {"eighths", [](int, std::mt19937& gen) { return float(int(gen() % 4096) - 2000) / 8; }},
    {"denormals", [](int, std::mt19937& gen) { return std::ldexp(float(gen() % 1000), -149); }},
    {"large integers", [](int, std::mt19937& gen) { return float(gen() % (1u << 24)) * 64; }},
    // Full significands in [1/16, 1): exact by the smallest exponent alone.
    {"fractions above 1/16",
     [](int, std::mt19937& gen) { return 0.0625f + float(gen() >> 8) * 0x1p-24f * 0.9f; }},
    // Not provably exact: the ordered chain (here the order changes the sum).
    {"mixed scales",
     [](int, std::mt19937& gen) {
       const float v = std::ldexp(float(gen() % (1u << 24) | 1), int(gen() % 32));
       return gen() % 2 ? v : -v;
     }},
    {"fractions", [](int, std::mt19937& gen) { return float(gen() % 100000) / 255.0f; }},
    {"wide range",
     [](int i, std::mt19937&) { return i % 3 == 0   ? 1e30f
                                       : i % 3 == 1 ? 1.0f
                                                    : -1e30f; }},
    // Exact at first, then one pixel that is not (after several blocks, and in the tail).
    {"late fraction", [](int i, std::mt19937&) { return i == 9001 ? 0.1f : float(i % 200); }},
    {"late huge", [](int i, std::mt19937&) { return i == 12290 ? 3e38f : float(i % 3); }},
    {"late infinity", [](int i, std::mt19937&) { return i == 8200 ? INFINITY : 1.0f; }},
    {"late NaN", [](int i, std::mt19937&) { return i == 4100 ? kNaNf : 2.0f; }},
    // Full significands under a growing sum: each addition rounds, ties included.
    {"random significands", [](int, std::mt19937& gen) { return float(gen()) * 0x1p-32f; }},
    {"negative significands", [](int, std::mt19937& gen) { return -float(gen()) * 0x1p-32f; }},
    {"signs around 1", [](int, std::mt19937& gen) { return float(gen()) * 0x1p-30f - 1.0f; }},
    // Ones, and every third pixel an odd multiple of 2^-42 .. 2^-38: halfway between two
    // doubles while the sum is between 2^11 and 2^16.
    {"ties",
     [](int i, std::mt19937& gen) {
       return i % 3 ? 1.0f : std::ldexp(float(gen() % 64 * 2 + 1), -42 + int(gen() % 5));
     }},
    {"ties and denormals",
     [](int i, std::mt19937& gen) {
       return i % 3 == 0   ? std::ldexp(float(gen() % 8 * 2 + 1), -41)
              : i % 3 == 1 ? std::ldexp(float(gen() % 1000), -149)
                           : float(gen() % 4096) * 0x1p-11f;
     }},
    // After 4 blocks of 1.2 (a sum near 2^14.3), swings of +16 then -16 within 4096 pixels that
    // take the sum past 2^15 and back, between odd multiples of 2^-38 (rounded above 2^15).
    {"swings",
     [](int i, std::mt19937& gen) {
       const int j = i % 4096;
       return i < 4 * 4096 ? 1.2f
              : j % 2      ? std::ldexp(float(gen() % 4 * 2 + 1), -38)
              : j < 2048   ? 16.0f
                           : -16.0f;
     }},
    // One pixel far off the others: its squared deviation is more than a third of the sum so far.
    {"outlier",
     [](int i, std::mt19937& gen) {
       return i == 41960 ? 9.0f : (float(gen()) * 0x1p-31f - 1.0f) * 0.1f;
     }},
    {"significands then NaN",
     [](int i, std::mt19937& gen) { return i == 90001 ? kNaNf : float(gen()) * 0x1p-32f; }},
    {"significands then infinity",
     [](int i, std::mt19937& gen) { return i == 60001 ? -INFINITY : float(gen()) * 0x1p-32f; }},
    {"significands then huge",
     [](int i, std::mt19937& gen) { return i == 70001 ? 1e30f : float(gen()) * 0x1p-32f; }},
};

// The reductions of float and double images give the sums in pixel order whatever order they
// add in, on every instruction set.
TEST_P(OnIsa, SumsEqualOrderedSum) {
  for (const FloatFill& f : kFloatFills)
    for (auto [nl, nc] :
         {std::pair{1, 1}, {7, 67}, {12, 131}, {1, 257}, {130, 131}, {1, 12291}, {311, 401}}) {
      SCOPED_TRACE(std::string(f.name) + " " + std::to_string(nl) + "x" + std::to_string(nc));
      std::mt19937 gen(nl * 1000 + nc);
      IMGFLT a(nl, nc);
      IMGDBL d(nl, nc);
      for (int i = 0; i < a.n(); i++) d.data[i] = a.data[i] = f.pixel(i, gen);
      expect_ordered_reductions(a);
      expect_ordered_reductions(d);
      IMGGRY g(nl, nc);
      for (int i = 0; i < g.n(); i++) g.data[i] = static_cast<unsigned char>(gen());
      expect_ordered_mean(g);
    }
}

TEST_P(OnIsa, MeanOfLargeImagesEqualsOrderedSum) {
  // Sums past 2^32: 4200 x 4200 pixels near 255, and floats up to 2^24 (all exact in double).
  std::mt19937 gen(3);
  IMGGRY g(4200, 4200);
  for (int i = 0; i < g.n(); i++) g.data[i] = static_cast<unsigned char>(250 + gen() % 6);
  expect_ordered_mean(g);
  IMGFLT a(2048, 2048);
  for (int i = 0; i < a.n(); i++) a.data[i] = float(gen() % (1u << 24));
  expect_ordered_mean(a);
  expect_ordered_abs_scale(a);
  // Past 2^53 in all: the exactness bound fails part way, later additions round.
  for (int i = 0; i < a.n(); i++) a.data[i] = std::ldexp(float(gen() % (1u << 24) | 1), 30);
  expect_ordered_mean(a);
  expect_ordered_deviation(a);
  const IMGFLT d = a;  // dcreject centres on the same mean
  const IMGFLT c = dcreject(d);
  const double m = ordered_mean(d);
  for (int i : {0, 1, a.n() - 1}) EXPECT_EQ(c.data[i], static_cast<float>(d.data[i] - m));
  // Full significands from 0 to 1.5 and from -0.5 to 1: a sum that rounds over millions of pixels.
  for (int i = 0; i < a.n(); i++) a.data[i] = float(gen()) * 0x1p-32f * (i % 2 ? 1.0f : 2.0f);
  expect_ordered_reductions(a);
  for (int i = 0; i < a.n(); i++) a.data[i] = float(gen()) * 0x1p-32f * 1.5f - 0.5f;
  expect_ordered_reductions(a);
  // Doubles with 53-bit significands, and doubles 1 + k 2^-33 (half of them ties while the sum
  // is between 2^20 and 2^21).
  IMGDBL w(1024, 2048);
  for (int i = 0; i < w.n(); i++) w.data[i] = (double(gen()) + 0x1p-32 * gen()) * 0x1p-32 - 0.25;
  expect_ordered_reductions(w);
  for (int i = 0; i < w.n(); i++) w.data[i] = 1 + double(gen()) * 0x1p-33;
  expect_ordered_reductions(w);
}

// The extremes as a scan in pixel order keeping the better pixel gives them: from +-infinito for
// the values, from the first pixel for the positions.
void expect_scanned_extremes(const IMGFLT& a) {
  double lo = 1e30, hi = -1e30;
  int at_lo = 0, at_hi = 0;
  for (int i = 0; i < a.n(); i++) {
    if (a.data[i] < lo) lo = a.data[i];
    if (a.data[i] > hi) hi = a.data[i];
    if (a.data[i] < a.data[at_lo]) at_lo = i;
    if (a.data[i] > a.data[at_hi]) at_hi = i;
  }
  const double got_lo = minimo(a), got_hi = maximo(a);
  EXPECT_EQ(std::memcmp(&got_lo, &lo, sizeof lo), 0) << got_lo << " vs " << lo;
  EXPECT_EQ(std::memcmp(&got_hi, &hi, sizeof hi), 0) << got_hi << " vs " << hi;
  const PONTOI2 pl = argmin(a), ph = argmax(a);
  EXPECT_EQ(pl.lin * a.nc() + pl.col, at_lo);
  EXPECT_EQ(ph.lin * a.nc() + ph.col, at_hi);
}

TEST_P(OnIsa, ExtremesAndCountsEqualScan) {
  std::vector<FloatFill> fills(std::begin(kFloatFills), std::end(kFloatFills));
  fills.push_back({"zero signs late", [](int i, std::mt19937& gen) {
                     return i < 5000 ? float(gen() % 100 + 1) : i % 3 ? 0.0f : -0.0f;
                   }});
  fills.push_back(
      {"negative zero first", [](int i, std::mt19937&) { return i % 2 ? 0.0f : -0.0f; }});
  fills.push_back(
      {"NaN first", [](int i, std::mt19937& gen) { return i == 0 ? kNaNf : float(gen() % 1000); }});
  fills.push_back({"peak in a later block", [](int i, std::mt19937& gen) {
                     return i % 9000 == 8999 ? 5e3f : i % 4100 == 17 ? -5e3f : float(gen() % 1000);
                   }});
  fills.push_back({"beyond infinito", [](int i, std::mt19937&) {
                     return i % 2 ? 2e30f : i % 3 ? -INFINITY : kNaNf;
                   }});
  for (const FloatFill& f : fills)
    for (auto [nl, nc] :
         {std::pair{1, 1}, {7, 67}, {12, 131}, {1, 257}, {130, 131}, {1, 12291}, {311, 401}}) {
      SCOPED_TRACE(std::string(f.name) + " " + std::to_string(nl) + "x" + std::to_string(nc));
      std::mt19937 gen(nl * 1000 + nc);
      IMGFLT a(nl, nc);
      for (int i = 0; i < a.n(); i++) a.data[i] = f.pixel(i, gen);
      expect_scanned_extremes(a);
      IMGBIN b(nl, nc);
      int black = 0;
      for (int l = 0; l < nl; l++)
        for (int c = 0; c < nc; c++) {
          b(l, c) = gen() % 3 != 0;
          black += !b(l, c);
        }
      pwtest::soil_spare_bits(b);
      EXPECT_EQ(contapreto(b), black);
    }
}

VISTELMO_INSTANTIATE_ISAS(OnIsa);

TEST(Statistics, ThresholdComparesAsInt) {
  const ThresholdCase cases[] = {
      {128, {false, false, false, true, true, true}},
      {0, {true, true, true, true, true, true}},
      {-7, {true, true, true, true, true, true}},
      {1, {false, true, true, true, true, true}},
      {255, {false, false, false, false, false, true}},
      {256, {false, false, false, false, false, false}},
  };
  const IMGGRY a = marked(make<IMGGRY>({0, 1, 127, 128, 254, 255}, 2, 3), 200);
  for (const ThresholdCase& k : cases) {
    SCOPED_TRACE(k.t);
    const IMGBIN r = limiariza(a, k.t);
    ASSERT_EQ(r.nl(), 2);
    ASSERT_EQ(r.nc(), 3);
    expect_default_centre(r);
    EXPECT_EQ(r.backg & 1u, 1u);
    for (int i = 0; i < 6; i++) EXPECT_EQ(r(i / 3, i % 3), k.white[i]) << i;
    EXPECT_TRUE(pwtest::spare_bits_clear(r));
  }
  for (int nc : pwtest::kBinWidths) {
    IMGGRY g(3, nc);
    for (int i = 0; i < g.n(); i++) g.data[i] = static_cast<unsigned char>(i * 37);
    const IMGBIN r = limiariza(g, 100);
    for (int i = 0; i < g.n(); i++) EXPECT_EQ(r(i / nc, i % nc), g.data[i] >= 100) << nc;
    EXPECT_TRUE(pwtest::spare_bits_clear(r));
  }
  EXPECT_EQ(limiariza(IMGGRY(), 5).n(), 0);
}

// ---- normalisation

TEST(Statistics, NormalizaGreyTruncates) {
  const IMGGRY a = marked(make<IMGGRY>({10, 20, 30, 10}, 2, 2), 99);
  const IMGGRY r = normaliza(a);
  expect_pixels(r, {0, 127, 255, 0});
  expect_default_centre(r);
  EXPECT_EQ(r.backg, 0);

  const IMGGRY d = make<IMGGRY>({3, 4, 5, 6});  // 85 exactly for 1/3 and 2/3
  expect_pixels(normaliza(d), {0, 85, 170, 255});

  const IMGGRY flat = marked(make<IMGGRY>({42, 42, 42}), 7);
  const IMGGRY same_img = normaliza(flat);
  expect_same_frame(same_img, flat);
  expect_pixels(same_img, {42, 42, 42});
  const IMGGRY empty = marked(IMGGRY(0, 4), 3);
  expect_same_frame(normaliza(empty), empty);
}

TEST(Statistics, NormalizaRealStretchesToUnit) {
  const IMGFLT a = marked(make<IMGFLT>({2, 4, 3, 2.5f}, 2, 2), -5.0f);
  const IMGFLT r = normaliza(a);
  expect_pixels(r, {0, 1, 0.5f, 0.25f});
  expect_default_centre(r);
  EXPECT_EQ(r.backg, 0.0f);
  // Each pixel is (p - min) / (max - min) in double, rounded once.
  const IMGFLT b = make<IMGFLT>({0.1f, 0.7f, 0.3f});
  expect_pixels(normaliza(b),
                {0, 1, float((double(0.3f) - double(0.1f)) / (double(0.7f) - double(0.1f)))});

  const IMGFLT flat = marked(make<IMGFLT>({1.5f, 1.5f}), 2.0f);
  const IMGFLT f = normaliza(flat);
  expect_same_frame(f, flat);
  expect_pixels(f, {1.5f, 1.5f});

  const IMGDBL d = marked(make<IMGDBL>({-1, 3, 1}), 8.0);
  const IMGDBL rd = normaliza(d);
  expect_pixels(rd, {0, 1, 0.5});
  expect_default_centre(rd);
  EXPECT_EQ(rd.backg, 0.0);
  // A range below epsilon counts as flat.
  const IMGDBL tiny = marked(make<IMGDBL>({1e-30, 2e-30}), 4.0);
  const IMGDBL rt = normaliza(tiny);
  expect_same_frame(rt, tiny);
  expect_pixels(rt, {1e-30, 2e-30});
}

TEST(Statistics, NormalizaComplexByLargestMagnitude) {
  const IMGCPX a =
      marked(make<IMGCPX>({Complex(3, 4), Complex(0, 1), Complex(-1, 0)}), Complex(9, 9));
  const IMGCPX r = normaliza(a);
  expect_pixels(r, {Complex(0.6f, 0.8f), Complex(0, 0.2f), Complex(-0.2f, 0)});
  expect_default_centre(r);
  EXPECT_TRUE(same(r.backg, Complex(0, 0)));
  // Parts near the float limit.
  const IMGCPX big = make<IMGCPX>({Complex(1.8e38f, 2.4e38f), Complex(3e37f, 0)});
  const IMGCPX rb = normaliza(big);
  EXPECT_NEAR(rb.data[0].real(), 0.6f, 1e-6);
  EXPECT_NEAR(rb.data[0].imag(), 0.8f, 1e-6);
  EXPECT_NEAR(rb.data[1].real(), 0.1f, 1e-6);

  const IMGCPX flat = marked(make<IMGCPX>({Complex(0, 0), Complex(1e-21f, 0)}), Complex(1, 2));
  const IMGCPX f = normaliza(flat);
  expect_same_frame(f, flat);
  expect_pixels(f, {Complex(0, 0), Complex(1e-21f, 0)});
}

TEST(Statistics, NormalizaMdCentresOnTheMean) {
  const IMGFLT a = marked(make<IMGFLT>({1, 2, 3, 4}, 2, 2), -3.0f);
  const double m = 2.5, s = std::sqrt(5.0 / 3.0);
  struct {
    double k;
    std::vector<float> want;
  } cases[] = {
      {1.0,
       {0, float((2 - m + 1e-20) / (2 * s + 1e-20) + 0.5),
        float((3 - m + 1e-20) / (2 * s + 1e-20) + 0.5), 1}},
      {2.0,
       {float(-1.5 / (4 * s) + 0.5), float(-0.5 / (4 * s) + 0.5), float(0.5 / (4 * s) + 0.5),
        float(1.5 / (4 * s) + 0.5)}},
  };
  for (const auto& k : cases) {
    const IMGFLT r = normalizamd(a, k.k);
    expect_same_frame(r, a);
    expect_pixels(r, k.want);
    EXPECT_FLOAT_EQ(r.data[1] + r.data[2], 1.0f);  // symmetric about 0.5
  }
  const IMGDBL d = marked(make<IMGDBL>({1, 2, 3, 4}), 6.0);
  const IMGDBL rd = normalizamd(d, 2.0);
  expect_same_frame(rd, d);
  EXPECT_DOUBLE_EQ(rd.data[0], -1.5 / (4 * s) + 0.5);
  EXPECT_DOUBLE_EQ(rd.data[3], 1.5 / (4 * s) + 0.5);
  // Flat: epsilon / epsilon + 0.5 clamps to 1 everywhere.
  expect_pixels(normalizamd(make<IMGFLT>({5, 5, 5}), 1.0), {1, 1, 1});
  expect_pixels(normalizamd(make<IMGDBL>({-2, -2}), 3.0), {1, 1});
}

// ---- complex element functions

TEST(Statistics, ConjugateIsFreshWithZeroOutside) {
  const IMGCPX a =
      marked(make<IMGCPX>({Complex(1, 2), Complex(-3, 0), Complex(0, -0.0f)}), Complex(1, 1));
  const IMGCPX r = conj(a);
  expect_pixels(r, {Complex(1, -2), Complex(-3, -0.0f), Complex(0, 0)});
  expect_default_centre(r);
  EXPECT_TRUE(same(r.backg, Complex(0, 0)));
}

TEST(Statistics, VersorAndPolarForm) {
  const IMGCPX a = marked(make<IMGCPX>({Complex(0, 0), Complex(1e-21f, 0), Complex(0, -2),
                                        Complex(3, 4), Complex(-1, 0), Complex(1e-19f, 0)}),
                          Complex(5, 5));
  const IMGCPX v = versor(a);
  expect_same_frame(v, a);
  expect_pixels(v, {Complex(0, 0), Complex(0, 0), Complex(0, -1), Complex(0.6f, 0.8f),
                    Complex(-1, 0), Complex(0.99999994f, 0)});  // 1/m rounded to float first

  const IMGCPX p = ret2pol(a);
  expect_same_frame(p, a);
  expect_pixels(p, {Complex(0, 0), Complex(1e-21f, 0), Complex(2, float(-M_PI / 2)),
                    Complex(5, float(std::atan2(4.0, 3.0))), Complex(1, kPi), Complex(1e-19f, 0)});
}

TEST(Statistics, RealImagArgAreFreshFloatImages) {
  const IMGCPX a = marked(
      make<IMGCPX>(
          {Complex(0, 0), Complex(-1, 0), Complex(1, 1), Complex(0, -3), Complex(-0.0f, 2)}, 1),
      Complex(-1, 1));
  const IMGFLT re = real(a);
  const IMGFLT im = imag(a);
  const IMGFLT ph = arg(a);
  for (const IMGFLT* r : {&re, &im, &ph}) {
    EXPECT_EQ(r->nc(), 5);
    expect_default_centre(*r);
  }
  expect_pixels(re, {0, -1, 1, 0, -0.0f});
  expect_pixels(im, {0, 0, 1, -3, 2});
  expect_pixels(ph,
                {0, kPi, std::atan2(1.0f, 1.0f), std::atan2(-3.0f, 0.0f), std::atan2(2.0f, -0.0f)});
  EXPECT_EQ(re.backg, -1.0f);
  EXPECT_EQ(im.backg, 1.0f);
  EXPECT_EQ(ph.backg, std::atan2(1.0f, -1.0f));
  EXPECT_EQ(real(IMGCPX()).n(), 0);
}

}  // namespace
