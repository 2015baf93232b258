#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "numerics/random.h"
#include "support/test_support.h"

namespace {

constexpr int32_t kMask = 0x075BD924;
constexpr uint64_t kModulus = 2147483647;

// The next value by plain modular arithmetic, for a value already in 0..m-1.
int next_value(int x) { return static_cast<int>(static_cast<uint64_t>(x) * 16807 % kModulus); }

std::vector<int> as_vector(const VETOR<int>& v) {
  std::vector<int> out;
  for (int i = 0; i < v.n; i++) out.push_back(v(i));
  return out;
}

// Leaves the library-wide normal spare empty: a negative state word clears it, the second call
// takes the spare the first one cached.
void clear_spare() {
  RANDOM z;
  z.state = -1;
  z.gauss();
  z.gauss();
}

// Number of rand() steps between two states of copies of one generator (bounded search).
int draws_between(RANDOM before, const RANDOM& after) {
  for (int k = 0; k < 1000; k++) {
    if (before.state == after.state) return k;
    before.rand();
  }
  return -1;
}

TEST(Random, SeedSevenKnownValues) {
  RANDOM r(7);
  EXPECT_EQ(r.state, 408376767);
  EXPECT_EQ(r.rand(), 1893934089);
  EXPECT_EQ(r.rand(), 1347617989);
  EXPECT_EQ(r.rand(), 2052999861);
  EXPECT_EQ(RANDOM().state, 408376767);
  EXPECT_EQ(myrandom.state, 408376767);
}

TEST(Random, UniformByteAndWordDraws) {
  RANDOM a(7), b(7), c(7);
  EXPECT_DOUBLE_EQ(a.uniform(), 0.8819317863704319);
  EXPECT_EQ(a.uniform(), 1347617989 * (1.0 / 2147483647.0));
  EXPECT_EQ(b.byterand(), 1893934089 & 255);
  EXPECT_EQ(c.dwordrand(), 0x23E7E109u);
  RANDOM t(7);
  t.rand();
  t.rand();
  EXPECT_EQ(c.state, t.state);
}

// Every step equals x * 16807 mod (2^31 - 1), and the state word is the value XOR the mask.
TEST(Random, StepsFollowTheMinimalStandardRecurrence) {
  const int seeds[] = {7, 0, 1, -1, 42, 123456789, INT_MAX, INT_MIN, -987654321};
  for (int seed : seeds) {
    RANDOM r(seed);
    int x = r.state ^ kMask;
    ASSERT_GE(x, 0) << seed;
    ASSERT_LT(x, 2147483647) << seed;
    for (int i = 0; i < 200; i++) {
      int expected = next_value(x);
      x = r.rand();
      ASSERT_EQ(x, expected) << "seed " << seed << " draw " << i;
      ASSERT_EQ(r.state, x ^ kMask);
    }
  }
}

TEST(Random, SrandEqualsConstruction) {
  const int seeds[] = {7, 0, 1, -1, 99, 65535, INT_MAX, INT_MIN, 123459876};
  for (int seed : seeds) {
    RANDOM r(3);
    r.rand();
    r.srand(seed);
    EXPECT_EQ(r.state, RANDOM(seed).state) << seed;
  }
}

TEST(Random, GeneratorStuckAtZero) {
  RANDOM r(123459876);
  EXPECT_EQ(r.rand(), 0);
  EXPECT_EQ(r.uniform(), 0.0);
  EXPECT_EQ(r.byterand(), 0);
  EXPECT_EQ(r.dwordrand(), 0u);
  EXPECT_EQ(as_vector(r.vetpermut(6)), (std::vector<int>{1, 2, 3, 4, 0, 5}));
  EXPECT_ERRO(r.gauss(), "Erro RANDOM::gauss - gerador parado em 0", "");
}

TEST(Random, GaussCachesTheSecondDeviate) {
  clear_spare();
  RANDOM r(11);
  RANDOM start = r;
  float first = r.gauss();
  RANDOM after_first = r;
  float second = r.gauss();
  EXPECT_EQ(r.state, after_first.state);  // the spare costs no draw

  // The same polar method, replayed from the start state.
  RANDOM t = start;
  float s1, s2, rsq;
  do {
    s1 = static_cast<float>(2.0 * t.uniform() - 1.0);
    s2 = static_cast<float>(2.0 * t.uniform() - 1.0);
    rsq = s1 * s1 + s2 * s2;
  } while (rsq >= 1.0f || rsq == 0.0f);
  float fac = static_cast<float>(std::sqrt(-2.0 * std::log(rsq) / rsq));
  EXPECT_EQ(first, s2 * fac);
  EXPECT_EQ(second, s1 * fac);
  EXPECT_EQ(t.state, after_first.state);
  int draws = draws_between(start, after_first);
  EXPECT_GE(draws, 2);
  EXPECT_EQ(draws % 2, 0);
}

TEST(Random, GaussSpareIsSharedBetweenGenerators) {
  clear_spare();
  RANDOM ref(5);
  ref.gauss();
  float spare = ref.gauss();

  clear_spare();
  RANDOM a(5), b(6);
  a.gauss();
  RANDOM b_before = b;
  EXPECT_EQ(b.gauss(), spare);
  EXPECT_EQ(b.state, b_before.state);

  // A negative state word drops a cached spare and draws afresh.
  a.gauss();
  RANDOM neg;
  neg.state = -5;
  RANDOM neg_before = neg;
  neg.gauss();
  EXPECT_NE(neg.state, neg_before.state);
}

TEST(Random, GaussMomentsAreStandardNormal) {
  RANDOM r(2024);
  const int count = 20000;
  double sum = 0, sum2 = 0;
  for (int i = 0; i < count; i++) {
    double g = r.gauss();
    sum += g;
    sum2 += g * g;
  }
  double mean = sum / count;
  EXPECT_NEAR(mean, 0.0, 0.03);
  EXPECT_NEAR(sum2 / count - mean * mean, 1.0, 0.04);
}

TEST(Random, PermutationAfterSeedSeven) {
  RANDOM r(7);
  EXPECT_EQ(as_vector(r.vetpermut(8)), (std::vector<int>{6, 3, 4, 0, 1, 2, 5, 7}));
  RANDOM q(7);
  EXPECT_EQ(as_vector(q.vetipermut(8)), (std::vector<int>{3, 4, 5, 1, 2, 6, 0, 7}));
}

TEST(Random, PermutationsOfEverySizeDrawNMinusTwo) {
  for (int n = -2; n <= 40; n++) {
    RANDOM r(1000 + n), s(1000 + n);
    RANDOM start = r;
    VETOR<int> p = r.vetpermut(n);
    VETOR<int> q = s.vetipermut(n);
    ASSERT_EQ(p.n(), n);
    EXPECT_EQ(draws_between(start, r), n >= 3 ? n - 2 : 0) << n;
    EXPECT_EQ(r.state, s.state) << n;
    std::vector<int> seen(n > 0 ? n : 0, 0);
    for (int i = 0; i < n; i++) {
      ASSERT_GE(p(i), 0);
      ASSERT_LT(p(i), n);
      seen[p(i)]++;
      EXPECT_EQ(q(p(i)), i);
    }
    for (int c : seen) EXPECT_EQ(c, 1);
  }
  RANDOM r(3);
  EXPECT_EQ(as_vector(r.vetpermut(1)), std::vector<int>{0});
  EXPECT_EQ(as_vector(r.vetpermut(2)), (std::vector<int>{0, 1}));
  EXPECT_EQ(r.state, RANDOM(3).state);
}

// Position i never keeps its own element during its round, so 0 always moves.
TEST(Random, FirstElementAlwaysMoves) {
  for (int seed = 0; seed < 50; seed++) {
    RANDOM r(seed);
    EXPECT_NE(r.vetpermut(5)(0), 0);
  }
}

TEST(Random, BytePermutationKnownValues) {
  RANDOM a(7), b(7);
  EXPECT_EQ(a.permut(static_cast<unsigned char>(0x80)), 0x10);
  EXPECT_EQ(b.permut(static_cast<unsigned char>(0x01)), 0x01);
  // (6, 3, 4, 0, 1, 2, 5, 7): bit i of the result is bit p[i] of x.
  RANDOM c(7);
  EXPECT_EQ(c.permut(static_cast<unsigned char>(0x02)), 0x80);
  EXPECT_EQ(c.state, [] {
    RANDOM t(7);
    for (int i = 0; i < 6; i++) t.rand();
    return t.state;
  }());
}

TEST(Random, InversePermutationsUndoForBothWidths) {
  for (int seed = 0; seed < 20; seed++) {
    for (int x = 0; x < 256; x++) {
      RANDOM a(seed), b(seed);
      unsigned char y = a.permut(static_cast<unsigned char>(x));
      EXPECT_EQ(b.ipermut(y), x);
    }
    const uint32_t words[] = {0u, 1u, 0x80000000u, 0xDEADBEEFu, 0xFFFFFFFFu, 0x12345678u};
    for (uint32_t w : words) {
      RANDOM a(seed), b(seed);
      uint32_t y = a.permut(w);
      EXPECT_EQ(__builtin_popcount(y), __builtin_popcount(w));
      EXPECT_EQ(b.ipermut(y), w);
      EXPECT_EQ(draws_between(RANDOM(seed), a), 30);
      EXPECT_EQ(a.state, b.state);
    }
  }
}

TEST(Random, WordPermutationMovesSingleBitsByThePermutation) {
  RANDOM p_gen(77);
  VETOR<int> p = p_gen.vetpermut(32);
  for (int i = 0; i < 32; i++) {
    RANDOM r(77);
    // Bit p[i] of x lands in bit i of the result.
    EXPECT_EQ(r.permut(0x80000000u >> p(i)), 0x80000000u >> i);
  }
}

TEST(Random, EqualSeedsGiveEqualSequences) {
  RANDOM a(31337), b(31337);
  for (int i = 0; i < 50; i++) {
    EXPECT_EQ(a.rand(), b.rand());
    EXPECT_EQ(a.uniform(), b.uniform());
    EXPECT_EQ(a.byterand(), b.byterand());
    EXPECT_EQ(a.dwordrand(), b.dwordrand());
    EXPECT_EQ(as_vector(a.vetpermut(9)), as_vector(b.vetpermut(9)));
  }
}

}  // namespace
