// The comparator lists of batcher.h, by the 0-1 principle: a comparator network sorts (or selects
// a rank) for every input once it does for every input of zeros and ones. Sixty-four inputs run
// at once, one per bit: the smaller of two bits is their and, the larger their or.
#include "processing/kernels/batcher.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using vistelmo::Network;

template <int W>
void run(const Network<W>& net, uint64_t* x) {
  for (int c = 0; c < net.count; c++) {
    const uint64_t a = x[net.op[c].a], b = x[net.op[c].b];
    if (net.op[c].keep & 1) x[net.op[c].a] = a & b;
    if (net.op[c].keep & 2) x[net.op[c].b] = a | b;
  }
}

// Every input of n zeros and ones (bit w of an input number the sample of wire w): rank r of
// lo .. hi, on variable out[r], is one where n - r or fewer samples are zeros.
template <int n, int lo, int hi>
void expect_sorts() {
  constexpr auto net = vistelmo::sort_network<n, lo, hi>();
  for (int c = 0; c < net.count; c++) {
    ASSERT_LT(net.op[c].a, net.op[c].b);
    ASSERT_LT(net.op[c].b, n);
  }
  for (uint64_t base = 0; base < (uint64_t{1} << n); base += 64) {
    uint64_t x[net.kWires] = {};
    for (int w = 0; w < n; w++)
      for (int j = 0; j < 64; j++) x[w] |= ((base + j) >> w & 1) << j;
    run(net, x);
    for (int j = 0; j < 64 && base + j < (uint64_t{1} << n); j++) {
      const int ones = __builtin_popcountll(base + j);
      for (int r = lo; r <= hi; r++)
        ASSERT_EQ(x[net.out[r]] >> j & 1, uint64_t{r >= n - ones})
            << n << " wires, input " << base + j << ", rank " << r;
    }
  }
}

TEST(Batcher, SortsEveryZeroOneInput) {
  expect_sorts<1, 0, 0>();
  expect_sorts<2, 0, 1>();
  expect_sorts<5, 0, 4>();
  expect_sorts<8, 0, 7>();
  expect_sorts<11, 0, 10>();
  expect_sorts<16, 0, 15>();
}

TEST(Batcher, SelectsTheMiddleOfEveryZeroOneInput) {
  expect_sorts<3, 1, 1>();
  expect_sorts<13, 6, 6>();
  expect_sorts<21, 10, 10>();
  expect_sorts<25, 12, 12>();
}

// Pruning leaves fewer comparators for fewer ranks, none for none needed beyond the whole sort.
TEST(Batcher, PrunesToTheRanksNeeded) {
  constexpr auto whole = vistelmo::sort_network<25, 0, 24>();
  constexpr auto middle = vistelmo::sort_network<25, 12, 12>();
  EXPECT_LT(middle.count, whole.count);
  for (int c = 0; c < whole.count; c++) EXPECT_EQ(whole.op[c].keep, 3);
}

// The merge of sorted lists of A and B samples at 0 and W / 2: every pair of sorted 0-1 lists.
template <int W, int A, int B, int lo, int hi>
void expect_merges() {
  constexpr auto net = vistelmo::merge_network<W, A, B, lo, hi>();
  for (int p = 0; p <= A; p++)
    for (int q = 0; q <= B; q++) {  // p and q ones at the top of each list
      uint64_t x[W] = {};
      for (int w = 0; w < A; w++) x[w] = w >= A - p ? ~uint64_t{0} : 0;
      for (int w = 0; w < B; w++) x[W / 2 + w] = w >= B - q ? ~uint64_t{0} : 0;
      run(net, x);
      for (int r = lo; r <= hi; r++)
        ASSERT_EQ(x[net.out[r]] & 1, uint64_t{r >= A + B - p - q})
            << A << "+" << B << ", ones " << p << " and " << q << ", rank " << r;
    }
}

TEST(Batcher, MergesEverySortedZeroOnePair) {
  expect_merges<16, 5, 5, 0, 9>();
  expect_merges<32, 10, 10, 7, 12>();
  expect_merges<32, 10, 10, 0, 19>();
  expect_merges<8, 3, 4, 0, 6>();
  expect_merges<8, 4, 1, 2, 2>();
}

}  // namespace
