#include "numerics/kth.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "support/test_support.h"

namespace {

const char kOrder[] = "Erro: deveria ter l<=k<=r";
const char kIndex[] = "Erro VETOR::operator() - Indice invalido";

template <class T>
VETOR<T> make(const std::vector<double>& x) {
  VETOR<T> v(static_cast<int>(x.size()));
  for (size_t i = 0; i < x.size(); i++) v(static_cast<int>(i)) = static_cast<T>(x[i]);
  return v;
}

template <class T>
std::vector<T> values(const VETOR<T>& v) {
  return std::vector<T>(v.data, v.data + v.n());
}

TEST(KthElement, WorkedExamplesLeaveTheStatedOrder) {
  VETOR<double> a = make<double>({5, 1, 4, 2, 3});
  EXPECT_EQ(kth_element(a, 0, 4, 2), 3.0);
  EXPECT_EQ(values(a), (std::vector<double>{2, 1, 3, 4, 5}));

  VETOR<double> b = make<double>({9, 8, 7, 6, 5, 4, 3, 2, 1});
  EXPECT_EQ(kth_element(b, 0, 8, 4), 5.0);
  EXPECT_EQ(values(b), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(KthElement, SingleElementRangeMovesNothing) {
  VETOR<double> v = make<double>({4, 3, 2, 1});
  EXPECT_EQ(kth_element(v, 2, 2, 2), 2.0);
  EXPECT_EQ(values(v), (std::vector<double>{4, 3, 2, 1}));
}

TEST(KthElement, UnsignedCharOrdersByUnsignedValue) {
  VETOR<unsigned char> v = make<unsigned char>({200, 100, 255, 0, 128});
  EXPECT_EQ(kth_element(v, 0, 4, 3), 200);
  EXPECT_EQ(kth_element(v, 0, 4, 4), 255);
  EXPECT_EQ(kth_element(v, 0, 4, 0), 0);
}

template <class T>
class KthTyped : public ::testing::Test {};
using KthTypes = ::testing::Types<double, float, unsigned char>;
TYPED_TEST_SUITE(KthTyped, KthTypes);

// Every (l, r, k) on random vectors, with many ties and all-equal runs: v(k) is the sorted
// value, the range is partitioned about it and permuted, and the rest is untouched.
TYPED_TEST(KthTyped, SelectsAndPartitionsEveryRange) {
  using T = TypeParam;
  std::mt19937 gen(12345);
  for (int trial = 0; trial < 60; trial++) {
    const int n = 1 + trial % 13;
    const int spread = trial % 3 == 0 ? 1 : trial % 3 == 1 ? 4 : 250;
    std::vector<double> x(n);
    for (double& e : x) e = static_cast<double>(gen() % spread);
    for (int l = 0; l < n; l++) {
      for (int r = l; r < n; r++) {
        for (int k = l; k <= r; k++) {
          VETOR<T> v = make<T>(x);
          const std::vector<T> before = values(v);
          std::vector<T> sorted(before.begin() + l, before.begin() + r + 1);
          std::sort(sorted.begin(), sorted.end());
          const T got = kth_element(v, l, r, k);
          const std::vector<T> after = values(v);
          ASSERT_EQ(got, sorted[k - l]);
          ASSERT_EQ(after[k], got);
          for (int i = l; i < k; i++) ASSERT_LE(after[i], got);
          for (int i = k + 1; i <= r; i++) ASSERT_GE(after[i], got);
          for (int i = 0; i < n; i++) {
            if (i < l || i > r) {
              ASSERT_EQ(after[i], before[i]);
            }
          }
          std::vector<T> range(after.begin() + l, after.begin() + r + 1);
          std::sort(range.begin(), range.end());
          ASSERT_EQ(range, sorted);
        }
      }
    }
  }
}

TEST(KthElement, NotANumberInTheRangeStaysInBounds) {
  const double nan = std::nan("");
  for (int k = 0; k < 5; k++) {
    VETOR<double> v = make<double>({3, nan, 1, nan, 2});
    kth_element(v, 0, 4, k);
    std::vector<double> x = values(v);
    EXPECT_EQ(std::count_if(x.begin(), x.end(), [](double d) { return std::isnan(d); }), 2);
  }
}

struct BadRange {
  int l, r, k;
  const char* message;
};

class KthBadRange : public ::testing::TestWithParam<BadRange> {};

TEST_P(KthBadRange, IsFatal) {
  const BadRange& c = GetParam();
  VETOR<double> v = make<double>({1, 2, 3, 4});
  EXPECT_ERRO(kth_element(v, c.l, c.r, c.k), c.message, "");
}

INSTANTIATE_TEST_SUITE_P(Ranges, KthBadRange,
                         ::testing::Values(BadRange{3, 3, 2, kOrder}, BadRange{0, 1, 2, kOrder},
                                           BadRange{2, 1, 1, kOrder}, BadRange{0, 4, 2, kIndex},
                                           BadRange{-1, 3, 1, kIndex}, BadRange{4, 4, 4, kIndex},
                                           BadRange{-1, -1, -1, kIndex}));

TEST(MediaDesvio, SampleDeviationOverTheLeadingElements) {
  VETOR<double> a = make<double>({1, 2, 3, 4});
  double m = 0, d = 0;
  mediadesvio(a, m, d, -1);
  EXPECT_DOUBLE_EQ(m, 2.5);
  EXPECT_DOUBLE_EQ(d, std::sqrt(5.0 / 3.0));

  VETOR<double> b = make<double>({1, 3, 100});
  mediadesvio(b, m, d, 2);
  EXPECT_DOUBLE_EQ(m, 2);
  EXPECT_DOUBLE_EQ(d, std::sqrt(2.0));
  EXPECT_EQ(values(b), (std::vector<double>{1, 3, 100}));
}

TEST(MediaDesvio, DegenerateCountsGiveNotANumber) {
  VETOR<double> v = make<double>({7, 8});
  double m = 0, d = 0;
  mediadesvio(v, m, d, 1);
  EXPECT_EQ(m, 7);
  EXPECT_TRUE(std::isnan(d));
  mediadesvio(v, m, d, 0);
  EXPECT_TRUE(std::isnan(m));
  // A count below -1 reads nothing: 0 over a negative count, also at the int limit.
  for (int count : {-3, std::numeric_limits<int>::min()}) {
    mediadesvio(v, m, d, count);
    EXPECT_EQ(m, 0) << count;
    EXPECT_EQ(d, 0) << count;
  }
}

TEST(MediaDesvio, CountBeyondTheVectorIsFatal) {
  VETOR<double> v = make<double>({1, 2});
  double m, d;
  EXPECT_ERRO(mediadesvio(v, m, d, 3), kIndex, "");
}

}  // namespace
