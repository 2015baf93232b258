// The pointwise operators on every kernel tier the processor has, against per-pixel rules
// written here, on random images of awkward sizes (vector bodies and tails of every length).
#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "processing/algebra/grey_ops.h"
#include "processing/algebra/planes.h"
#include "processing/algebra/pointwise.h"
#include "processing/algebra/pointwise_fixtures.h"
#include "processing/algebra/statistics.h"
#include "processing/kernels/pointwise.h"
#include "support/isa_levels.h"

namespace {

using Complex = std::complex<float>;

const std::pair<int, int> kShapes[] = {{1, 1},   {7, 67}, {12, 131}, {1, 257},
                                       {3, 129}, {2, 63}, {5, 1000}, {2, 4133}};

// Random pixels from g: bytes; floats a quarter of them of random bits (NaNs, infinities,
// subnormals), the rest in -1000..1000; colours as three bytes.
template <class Img>
Img random_image(int nl, int nc, std::mt19937& g) {
  std::uniform_int_distribution<uint32_t> bits;
  auto real = [&] {
    const uint32_t u = bits(g);
    float f;
    if (u % 4 == 0) {
      const uint32_t v = bits(g);
      std::memcpy(&f, &v, sizeof f);
    } else {
      f = static_cast<float>(static_cast<int32_t>(u) / 2147483.648);
    }
    return f;
  };
  auto value = [&]() -> typename Img::Pixel {
    if constexpr (std::is_same_v<Img, IMGGRY>)
      return static_cast<unsigned char>(bits(g));
    else if constexpr (std::is_same_v<Img, IMGCOR>)
      return COR{static_cast<unsigned char>(bits(g)), static_cast<unsigned char>(bits(g)),
                 static_cast<unsigned char>(bits(g))};
    else if constexpr (std::is_same_v<Img, IMGCPX>)
      return Complex(real(), real());
    else
      return real();
  };
  Img a(nl, nc);
  for (int64_t i = 0; i < static_cast<int64_t>(nl) * nc; i++) a.data[i] = value();
  a.backg = value();
  return a;
}

bool same(const COR& x, const COR& y) { return x.r == y.r && x.g == y.g && x.b == y.b; }
using pwtest::same;

// got holds want's pixels and outside value (floats bit for bit, any NaN for a NaN).
template <class Img>
::testing::AssertionResult same_image(const Img& got, const Img& want) {
  if (got.nl() != want.nl() || got.nc() != want.nc())
    return ::testing::AssertionFailure() << "size";
  for (int64_t i = 0; i < static_cast<int64_t>(want.nl()) * want.nc(); i++)
    if (!same(got.data[i], want.data[i]))
      return ::testing::AssertionFailure()
             << "pixel " << i << " of " << want.nl() << "x" << want.nc();
  if (!same(got.backg, want.backg)) return ::testing::AssertionFailure() << "outside value";
  return ::testing::AssertionSuccess();
}

// The image of rule applied to a's pixels and outside value.
template <class Img, class Rule>
Img mapped(const Img& a, Rule rule) {
  Img r(a.nl(), a.nc());
  for (int64_t i = 0; i < static_cast<int64_t>(a.nl()) * a.nc(); i++) r.data[i] = rule(a.data[i]);
  r.backg = rule(a.backg);
  return r;
}

using Byte = unsigned char;
Byte clamp_byte(int64_t v) { return static_cast<Byte>(v < 0 ? 0 : v > 255 ? 255 : v); }

struct GreyPairCase {
  const char* name;
  std::function<IMGGRY(const IMGGRY&, const IMGGRY&)> op;
  std::function<int(int, int)> pixel;
  bool zero_outside;  // difabs keeps the constructor's outside value
};

const GreyPairCase kGreyPairs[] = {
    {"a + b", [](auto& a, auto& b) { return a + b; },
     [](int x, int y) { return clamp_byte(x + y); }, false},
    {"a - b", [](auto& a, auto& b) { return a - b; },
     [](int x, int y) { return clamp_byte(x - y); }, false},
    {"a && b", [](auto& a, auto& b) { return a && b; }, [](int x, int y) { return std::min(x, y); },
     false},
    {"a || b", [](auto& a, auto& b) { return a || b; }, [](int x, int y) { return std::max(x, y); },
     false},
    {"difabs", [](auto& a, auto& b) { return difabs(a, b); },
     [](int x, int y) { return std::abs(x - y); }, true},
};

TEST(PointwiseKernels, GreyPairs) {
  std::mt19937 g(1);
  for (auto [nl, nc] : kShapes) {
    const IMGGRY a = random_image<IMGGRY>(nl, nc, g), b = random_image<IMGGRY>(nl, nc, g);
    for (const GreyPairCase& k : kGreyPairs) {
      IMGGRY want(nl, nc);
      for (int64_t i = 0; i < static_cast<int64_t>(nl) * nc; i++)
        want.data[i] = static_cast<Byte>(k.pixel(a.data[i], b.data[i]));
      want.backg = k.zero_outside ? 0 : static_cast<Byte>(k.pixel(a.backg, b.backg));
      testutil::for_each_isa([&] { EXPECT_TRUE(same_image(k.op(a, b), want)) << k.name; });
    }
  }
}

TEST(PointwiseKernels, GreyWithScalar) {
  const int adds[] = {INT_MIN, -300, -255, -254, -17, -1, 0, 1, 17, 254, 255, 256, INT_MAX};
  const double scales[] = {0.0,     -0.0, 1.0,   1.3,    -0.5,  0.5,          2.5,
                           1.0 / 3, 99.0, 1e300, -1e300, 255.5, std::nan(""), 1.0 - 1e-16};
  std::mt19937 g(2);
  for (auto [nl, nc] : kShapes) {
    const IMGGRY a = random_image<IMGGRY>(nl, nc, g);
    testutil::for_each_isa([&] {
      for (int k : adds)
        EXPECT_TRUE(
            same_image(k + a, mapped(a, [k](Byte p) { return clamp_byte(int64_t{k} + p); })))
            << "k + a, k = " << k;
      for (double k : scales)
        EXPECT_TRUE(same_image(k * a, mapped(a,
                                             [k](Byte p) {
                                               const double v = k * p;
                                               return static_cast<Byte>(
                                                   !(v > 0) ? 0 : std::round(std::min(v, 255.0)));
                                             })))
            << "k * a, k = " << k;
      const IMGGRY complement = mapped(a, [](Byte p) { return static_cast<Byte>(255 - p); });
      EXPECT_TRUE(same_image(-a, complement));
      EXPECT_TRUE(same_image(!a, complement));
    });
  }
}

TEST(PointwiseKernels, Threshold) {
  const int thresholds[] = {INT_MIN, -1, 0, 1, 2, 127, 128, 200, 255, 256, INT_MAX};
  std::mt19937 g(3);
  for (auto [nl, nc] : kShapes) {
    const IMGGRY a = random_image<IMGGRY>(nl, nc, g);
    testutil::for_each_isa([&, nl = nl, nc = nc] {
      for (int t : thresholds) {
        const IMGBIN r = limiariza(a, t);
        ASSERT_EQ(r.nl(), nl);
        ASSERT_EQ(r.nc(), nc);
        for (int l = 0; l < nl; l++)
          for (int c = 0; c < nc; c++)
            ASSERT_EQ(bool(r(l, c)), a.rows[l][c] >= t) << "t " << t << " at " << l << "," << c;
        EXPECT_TRUE(pwtest::spare_bits_clear(r)) << "t " << t;
      }
    });
  }
}

TEST(PointwiseKernels, ColourNegative) {
  std::mt19937 g(4);
  for (auto [nl, nc] : kShapes) {
    const IMGCOR a = random_image<IMGCOR>(nl, nc, g);
    const IMGCOR want = mapped(a, [](COR c) {
      return COR{static_cast<Byte>(255 - c.r), static_cast<Byte>(255 - c.g),
                 static_cast<Byte>(255 - c.b)};
    });
    testutil::for_each_isa([&] {
      EXPECT_TRUE(same_image(-a, want));
      EXPECT_TRUE(same_image(!a, want));
    });
  }
}

// Blocks past kStreamBytes take the streaming stores: every rule and tier, destinations at
// every offset from a vector boundary, against the rule applied byte by byte.
TEST(PointwiseKernels, LargeBlocksStoredPastTheCaches) {
  using vistelmo::ByteOp;
  const int64_t n = vistelmo::kStreamBytes + 77;
  std::mt19937 g(7);
  std::vector<uint8_t> a(n + 64), b(n + 64), got(n + 64), want(n);
  for (auto& v : a) v = static_cast<uint8_t>(g());
  for (auto& v : b) v = static_cast<uint8_t>(g());
  const std::pair<ByteOp, int (*)(int, int)> rules[] = {
      {ByteOp::add_sat, [](int x, int y) { return std::min(x + y, 255); }},
      {ByteOp::sub_sat, [](int x, int y) { return std::max(x - y, 0); }},
      {ByteOp::min, [](int x, int y) { return std::min(x, y); }},
      {ByteOp::max, [](int x, int y) { return std::max(x, y); }},
      {ByteOp::absdiff, [](int x, int y) { return std::abs(x - y); }},
      {ByteOp::bit_xor, [](int x, int y) { return x ^ y; }}};
  const int offsets[] = {0, 1, 13, 31, 33, 63};
  for (auto [op, rule] : rules)
    for (int off : offsets) {
      SCOPED_TRACE("rule " + std::to_string(static_cast<int>(op)) + ", offset " +
                   std::to_string(off));
      const uint8_t* x = a.data() + (off * 7) % 64;
      const uint8_t* y = b.data() + (off * 3) % 64;
      const uint8_t k = static_cast<uint8_t>(off * 37 + 5);
      for (int64_t i = 0; i < n; i++) want[i] = static_cast<uint8_t>(rule(x[i], y[i]));
      testutil::for_each_isa([&, op = op] {
        std::fill(got.begin(), got.end(), 0);
        vistelmo::bytes_zip(op, x, y, got.data() + off, n);
        EXPECT_EQ(std::memcmp(got.data() + off, want.data(), n), 0) << "pair";
      });
      for (int64_t i = 0; i < n; i++) want[i] = static_cast<uint8_t>(rule(x[i], k));
      testutil::for_each_isa([&, op = op] {
        std::fill(got.begin(), got.end(), 0);
        vistelmo::bytes_with(op, x, k, got.data() + off, n);
        EXPECT_EQ(std::memcmp(got.data() + off, want.data(), n), 0) << "with k " << int(k);
      });
    }
}

// The image operators on blocks past kStreamBytes: grey pairs, a scalar, and the colour negative.
TEST(PointwiseKernels, LargeImages) {
  const int nl = 3, nc = static_cast<int>(vistelmo::kStreamBytes / 3) + 131;
  std::mt19937 g(8);
  const IMGGRY a = random_image<IMGGRY>(nl, nc, g), b = random_image<IMGGRY>(nl, nc, g);
  const IMGCOR c = random_image<IMGCOR>(nl, nc / 3 + 5, g);
  const IMGCOR negative = mapped(c, [](COR p) {
    return COR{static_cast<Byte>(255 - p.r), static_cast<Byte>(255 - p.g),
               static_cast<Byte>(255 - p.b)};
  });
  testutil::for_each_isa([&] {
    for (const GreyPairCase& k : kGreyPairs) {
      IMGGRY want(nl, nc);
      for (int64_t i = 0; i < static_cast<int64_t>(nl) * nc; i++)
        want.data[i] = static_cast<Byte>(k.pixel(a.data[i], b.data[i]));
      want.backg = k.zero_outside ? 0 : static_cast<Byte>(k.pixel(a.backg, b.backg));
      EXPECT_TRUE(same_image(k.op(a, b), want)) << k.name;
    }
    for (int k : {-17, 17})
      EXPECT_TRUE(same_image(k + a, mapped(a, [k](Byte p) { return clamp_byte(int64_t{k} + p); })))
          << "k + a, k = " << k;
    EXPECT_TRUE(same_image(-a, mapped(a, [](Byte p) { return static_cast<Byte>(255 - p); })));
    EXPECT_TRUE(same_image(-c, negative));
  });
}

// sqrt and abs keep the outside value; k * a maps it too.
TEST(PointwiseKernels, Floats) {
  const double scales[] = {1.7, -0.3, 0.0, -0.0, 1e-40, 3e38};
  std::mt19937 g(5);
  for (auto [nl, nc] : kShapes) {
    const IMGFLT a = random_image<IMGFLT>(nl, nc, g);
    IMGFLT root = mapped(a, [](float p) { return static_cast<float>(std::sqrt(double(p))); });
    IMGFLT magnitude = mapped(a, [](float p) { return std::fabs(p); });
    root.backg = magnitude.backg = a.backg;
    testutil::for_each_isa([&] {
      EXPECT_TRUE(same_image(sqrt(a), root));
      EXPECT_TRUE(same_image(abs(a), magnitude));
      for (double k : scales)
        EXPECT_TRUE(
            same_image(k * a, mapped(a, [k](float p) { return static_cast<float>(k * p); })))
            << "k = " << k;
    });
  }
}

TEST(PointwiseKernels, Complex) {
  const float scales[] = {1.7f, -0.3f, 0.0f, -0.0f, 3e38f, std::numeric_limits<float>::infinity()};
  std::mt19937 g(6);
  for (auto [nl, nc] : kShapes) {
    const IMGCPX a = random_image<IMGCPX>(nl, nc, g), b = random_image<IMGCPX>(nl, nc, g);
    IMGCPX sum(nl, nc), difference(nl, nc);
    for (int64_t i = 0; i <= static_cast<int64_t>(nl) * nc; i++) {
      const bool out = i == static_cast<int64_t>(nl) * nc;
      const Complex x = out ? a.backg : a.data[i], y = out ? b.backg : b.data[i];
      const Complex s(x.real() + y.real(), x.imag() + y.imag());
      const Complex d(x.real() - y.real(), x.imag() - y.imag());
      (out ? sum.backg : sum.data[i]) = s;
      (out ? difference.backg : difference.data[i]) = d;
    }
    testutil::for_each_isa([&] {
      EXPECT_TRUE(same_image(a + b, sum));
      EXPECT_TRUE(same_image(a - b, difference));
      for (float k : scales) {
        const IMGCPX want = mapped(a, [k](Complex z) {
          const double re = z.real(), im = z.imag();
          return Complex(static_cast<float>(re * k - im * 0.0),
                         static_cast<float>(im * k + re * 0.0));
        });
        EXPECT_TRUE(same_image(k * a, want)) << "k = " << k;
        EXPECT_TRUE(same_image(k * IMGCPX(a), want)) << "k = " << k << ", temporary";
      }
    });
  }
}

}  // namespace
