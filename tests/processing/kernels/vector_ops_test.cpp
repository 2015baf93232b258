// The shared vector operations and the round-half-away constant.
#include "processing/kernels/vector_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <utility>

namespace {

using vistelmo::kHalfDown;

double round_half_down_trick(double v) { return std::trunc(v + std::copysign(kHalfDown, v)); }

// Halves, the doubles next to them, the doubles next to whole numbers and random ones, up to
// 2^52, both signs: the truncated sum is std::round's result.
TEST(HalfDown, RoundsHalvesAwayFromZeroAndNothingElseAcross) {
  std::vector<double> values = {0.0, 0.5, 1.5, 2.5, 0x1p52, 0x1p52 - 0.5, 0x1p51 + 0.5, 0x1p-1074};
  for (int64_t k : {int64_t{0}, int64_t{1}, int64_t{2}, int64_t{254}, int64_t{255},
                    int64_t{1} << 30, (int64_t{1} << 52) - 1})
    for (double v : {k + 0.5, static_cast<double>(k)}) {
      values.push_back(v);
      values.push_back(std::nextafter(v, 0.0));
      values.push_back(std::nextafter(v, 0x1p53));
    }
  std::mt19937_64 g(5);
  for (int i = 0; i < 100000; i++) {
    values.push_back(std::ldexp(static_cast<double>(g() >> 11), -static_cast<int>(g() % 60)));
  }
  for (double v : values)
    for (double s : {v, -v}) {
      if (std::fabs(s) > 0x1p52) continue;
      ASSERT_EQ(round_half_down_trick(s), std::round(s)) << std::hexfloat << s;
    }
}

// 0.5 itself would round the double below a half up, and a half plus its ulp.
TEST(HalfDown, PlainHalfWouldFail) {
  const double below = std::nextafter(0.5, 0.0);
  EXPECT_EQ(std::trunc(below + 0.5), 1.0);
  EXPECT_EQ(round_half_down_trick(below), 0.0);
  EXPECT_EQ(kHalfDown, 0.5 - 0x1p-54);
}

// Round to byte: min(v, 255) + kHalfDown truncated, for v >= 0.
TEST(HalfDown, RoundsToBytes) {
  for (int k = 0; k <= 300; k++)
    for (double v : {k + 0.5, std::nextafter(k + 0.5, 0.0), std::nextafter(k + 0.5, 1e9), k + 0.0})
      ASSERT_EQ(std::trunc(std::min(v, 255.0) + kHalfDown), std::min(std::round(v), 255.0)) << v;
}

typedef uint8_t Bytes16 __attribute__((vector_size(16)));
typedef uint16_t Words8 __attribute__((vector_size(16)));
typedef uint8_t Bytes32 __attribute__((vector_size(32)));
typedef double Doubles2 __attribute__((vector_size(16)));

template <int S, class V>
void expect_lanes_from() {
  constexpr int L = sizeof(V) / sizeof(V{}[0]);
  V a, b;
  for (int i = 0; i < L; i++) a[i] = static_cast<decltype(a[0] + 0)>(i + 1), b[i] = a[i] + L;
  const V r = vistelmo::lanes_from<S>(a, b, std::make_index_sequence<L>());
  for (int i = 0; i < L; i++) EXPECT_EQ(r[i], i + S < L ? a[i + S] : b[i + S - L]) << S << " " << i;
}

TEST(VectorOps, LanesFromTakesTheLanesAfterS) {
  expect_lanes_from<1, Bytes16>();
  expect_lanes_from<15, Bytes16>();
  expect_lanes_from<1, Words8>();
  expect_lanes_from<7, Words8>();
  expect_lanes_from<3, Bytes32>();
  expect_lanes_from<1, Doubles2>();
}

TEST(VectorOps, SaturatedBytesClampToByteRange) {
  for (int x = 0; x < 256; x += 5)
    for (int y = 0; y < 256; y += 3) {
      const Bytes16 a = Bytes16{} + static_cast<uint8_t>(x),
                    b = Bytes16{} + static_cast<uint8_t>(y);
      const Bytes16 s = vistelmo::saturated_u8<true>(a, b), d = vistelmo::saturated_u8<false>(a, b);
      ASSERT_EQ(s[7], std::min(255, x + y));
      ASSERT_EQ(d[7], std::max(0, x - y));
    }
}

TEST(VectorOps, LoadsAndStoresAtAnyAlignment) {
  uint8_t buf[80];
  for (int i = 0; i < 80; i++) buf[i] = static_cast<uint8_t>(i * 7);
  for (int at = 0; at < 16; at++) {
    const Bytes32 v = vistelmo::load_vector<Bytes32>(buf + at);
    for (int i = 0; i < 32; i++) ASSERT_EQ(v[i], buf[at + i]);
    uint8_t out[48] = {};
    vistelmo::store_vector(out + at, v);
    for (int i = 0; i < 32; i++) ASSERT_EQ(out[at + i], buf[at + i]);
  }
}

}  // namespace
