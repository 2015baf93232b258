#include <cstdint>
#include <vector>

#include "numerics/hash.h"
#include "support/test_support.h"

namespace {

std::vector<uint32_t> words(const HASH& h) {
  std::vector<uint32_t> out;
  for (int i = 0; i < h.h.n; i++) out.push_back(h.h(i));
  return out;
}

// The first count dwordrand() values after srand(seed).
std::vector<uint32_t> dwords(int seed, int count) {
  RANDOM r(0);
  r.srand(seed);
  std::vector<uint32_t> out;
  for (int i = 0; i < count; i++) out.push_back(r.dwordrand());
  return out;
}

// What HASH::feed(x) does to words w.
std::vector<uint32_t> fed(std::vector<uint32_t> w, uint32_t x) {
  int n = static_cast<int>(w.size());
  std::vector<uint32_t> lo = dwords(x & 0xFFFF, n), hi = dwords((x >> 16) & 0xFFFF, n);
  for (int i = 0; i < n; i++) w[i] ^= lo[i] ^ hi[i];
  return w;
}

TEST(Hash, StartsWithTheSeedsWords) {
  for (int seed : {0, 7, -12, 99999}) {
    HASH h(2, seed);
    EXPECT_EQ(words(h), dwords(seed, 2));
    RANDOM r(seed);
    for (int i = 0; i < 4; i++) r.rand();
    EXPECT_EQ(h.r.state, r.state);
  }
  EXPECT_EQ(HASH(0, 5).h.n(), 0);
  EXPECT_TRUE(words(HASH(-3, 5)).empty());
}

TEST(Hash, FeedXorsThePatternsOfBothHalves) {
  const uint32_t values[] = {0u, 5u, 0x12345678u, 0xFFFF0000u, 0xFFFFFFFFu};
  for (uint32_t x : values) {
    HASH h(3, 11);
    std::vector<uint32_t> before = words(h);
    h.feed(x);
    EXPECT_EQ(words(h), fed(before, x)) << x;
    // r is left where the second pass stopped.
    RANDOM r(static_cast<int>((x >> 16) & 0xFFFF));
    for (int i = 0; i < 6; i++) r.rand();
    EXPECT_EQ(h.r.state, r.state);
  }
}

TEST(Hash, OrderDoesNotMatterAndTwiceCancels) {
  HASH a(4, 3), b(4, 3), c(4, 3);
  a.feed(5);
  a.feed(9);
  b.feed(9);
  b.feed(5);
  EXPECT_EQ(words(a), words(b));
  std::vector<uint32_t> start = words(c);
  c.feed(5);
  EXPECT_NE(words(c), start);
  c.feed(5);
  EXPECT_EQ(words(c), start);
}

TEST(Hash, WithoutWordsFeedOnlyMovesTheGenerator) {
  HASH h(0, 1);
  h.feed(0x00020001u);
  EXPECT_EQ(h.h.n(), 0);
  EXPECT_EQ(h.r.state, RANDOM(2).state);
}

TEST(BitHash, WordCountRoundsUp) {
  const int cases[][2] = {{0, 0}, {-5, 0}, {1, 1}, {32, 1}, {33, 2}, {40, 2}, {64, 2}, {65, 3}};
  for (const auto& c : cases) {
    BITHASH b(c[0], 8);
    EXPECT_EQ(b.h.n(), c[1]) << c[0];
    EXPECT_EQ(b.nbits, c[0]);
    EXPECT_EQ(b.acc, 0u);
    EXPECT_EQ(b.cnt, 0);
    EXPECT_EQ(words(b), dwords(8, c[1]));
  }
}

TEST(BitHash, FeedsEveryThirtySecondBitAndCloseTheRest) {
  // 35 bits: 0xB16B00B5 then 1, 0, 1.
  const uint32_t first = 0xB16B00B5u;
  BITHASH b(40, 21);
  std::vector<uint32_t> w = words(b);
  for (int i = 0; i < 31; i++) b.feed(((first >> (31 - i)) & 1u) != 0);
  EXPECT_EQ(words(b), w);  // nothing hashed yet
  b.feed((first & 1u) != 0);
  EXPECT_EQ(b.cnt, 0);
  EXPECT_EQ(b.acc, first);
  w = fed(w, first);
  EXPECT_EQ(words(b), w);

  b.feed(true);
  b.feed(false);
  b.feed(true);
  EXPECT_EQ(words(b), w);
  uint32_t acc = (first << 3) | 5u;  // the oldest bits fell off the top
  EXPECT_EQ(b.acc, acc);
  EXPECT_EQ(b.cnt, 3);
  b.close();
  EXPECT_EQ(words(b), fed(w, acc));
  EXPECT_EQ(b.acc, acc);
  EXPECT_EQ(b.cnt, 3);
}

TEST(BitHash, CloseWithNothingPendingChangesNothing) {
  BITHASH b(32, 4);
  for (int i = 0; i < 32; i++) b.feed(i % 3 == 0);
  std::vector<uint32_t> w = words(b);
  int32_t state = b.r.state;
  b.close();
  EXPECT_EQ(words(b), w);
  EXPECT_EQ(b.r.state, state);
}

}  // namespace
