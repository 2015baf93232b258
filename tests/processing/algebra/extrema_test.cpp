// Darkest and brightest positions: ordered lists, spaced picks and the picker, against plain
// references that sort the pixels by value and scan order.
#include "processing/algebra/extrema.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "support/test_support.h"

namespace {

using Points = std::vector<PONTOI2>;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

IMGFLT make(int nl, int nc, const std::vector<float>& v) {
  IMGFLT a(nl, nc);
  a.fill(v.data());
  return a;
}

// Values on a coarse grid of 0..1 (many ties, both ends included), a few NaN.
IMGFLT noise(int nl, int nc, unsigned seed) {
  return testutil::noise<IMGFLT>(nl, nc, seed, [](std::mt19937& g) {
    const unsigned r = g() % 12;
    return r == 11 ? kNaN : r / 10.0f;
  });
}

Points vec(const VETOR<PONTOI2>& v) { return Points(v.data, v.data + v.n()); }

// Candidates accepted by keep, extreme first, ties in scan order.
Points ordered(const IMGFLT& a, bool dark, float limit) {
  std::vector<int> idx;
  for (int i = 0; i < a.n(); i++)
    if (dark ? a.data[i] < limit : a.data[i] > limit) idx.push_back(i);
  std::stable_sort(idx.begin(), idx.end(), [&](int x, int y) {
    return dark ? a.data[x] < a.data[y] : a.data[x] > a.data[y];
  });
  Points out;
  for (int i : idx) out.push_back(PONTOI2(i / a.nc(), i % a.nc()));
  return out;
}

double dist(const PONTOI2& p, const PONTOI2& q) {
  return std::hypot(static_cast<double>(p.lin - q.lin), static_cast<double>(p.col - q.col));
}

// Greedy picks from an ordered list, each farther than d from those before.
Points spaced(const Points& cands, int k, double d) {
  Points out;
  for (const PONTOI2& p : cands) {
    if (static_cast<int>(out.size()) >= k) break;
    bool ok = true;
    if (d > 0)
      for (const PONTOI2& q : out) ok = ok && dist(p, q) > d;
    if (ok) out.push_back(p);
  }
  return out;
}

TEST(ExtremaKarg, MatchesSortedPixelsAndKeepsScanOrderOnTies) {
  for (unsigned seed = 1; seed <= 6; seed++) {
    const IMGFLT a = noise(5, 7, seed);
    for (int k : {0, 1, 3, 10, 35}) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " k " << k);
      Points lo = ordered(a, true, 1.0f), hi = ordered(a, false, 0.0f);
      lo.resize(std::min<size_t>(lo.size(), k));
      hi.resize(std::min<size_t>(hi.size(), k));
      EXPECT_EQ(kargmin(a, k), lo);
      EXPECT_EQ(kargmax(a, k), hi);
    }
  }
  const IMGFLT a = make(2, 2, {0.5f, 0.2f, 0.2f, 0.9f});
  EXPECT_EQ(kargmin(a, 2), (Points{{0, 1}, {1, 0}}));
}

TEST(ExtremaKarg, EndsOfTheScaleAndCounts) {
  EXPECT_EQ(kargmin(make(1, 3, {1.0f, 0.99f, 1.5f}), 3), (Points{{0, 1}}));
  EXPECT_EQ(kargmax(make(1, 3, {0.0f, 0.01f, -2.0f}), 3), (Points{{0, 1}}));
  EXPECT_TRUE(kargmin(IMGFLT(3, 3, 1.0f), 4).empty());
  EXPECT_TRUE(kargmax(IMGFLT(3, 3, 0.0f), 4).empty());
  EXPECT_TRUE(kargmin(IMGFLT(2, 2, 0.5f), -3).empty());
  EXPECT_TRUE(kargmax(IMGFLT(), 0).empty());
  EXPECT_ERRO(kargmin(IMGFLT(2, 2, 0.5f), 5), "Erro: kargmax a.n()<k", "");
  EXPECT_ERRO(kargmax(IMGFLT(2, 2, 0.5f), 5), "Erro: kargmax a.n()<k", "");
}

TEST(ExtremaKspaced, MatchesGreedyReference) {
  for (unsigned seed = 10; seed <= 14; seed++) {
    const IMGFLT a = noise(6, 9, seed);
    for (double d : {-1.0, 0.0, 1.0, 1.5, 2.9, std::nan("")})
      for (int k : {0, 1, 4, 60}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " d " << d << " k " << k);
        EXPECT_EQ(kmin(a, k, d), spaced(ordered(a, true, 1.0f), k, d));
        EXPECT_EQ(kmax(a, k, d), spaced(ordered(a, false, 0.0f), k, d));
      }
  }
}

TEST(ExtremaKspaced, DistanceIsStrict) {
  // Brightest at (1,1); its edge neighbours lie at exactly 1, its diagonals at 1.414.
  const IMGFLT a = make(3, 3,
                        {0.5f, 0.8f, 0.4f,  //
                         0.7f, 0.9f, 0.6f,  //
                         0.3f, 0.2f, 0.1f});
  EXPECT_EQ(kmax(a, 3, 1.0), (Points{{1, 1}, {0, 0}, {0, 2}}));
  EXPECT_EQ(kmin(a, 2, 1.0), (Points{{2, 2}, {2, 0}}));
  EXPECT_EQ(kmin(a, 2, 0.0), kmin(a, 2, -3.0));
  EXPECT_EQ(kmin(a, 2, 0.0), (Points{{2, 2}, {2, 1}}));
}

TEST(ExtremaOrders, CompareTheValueOnly) {
  const FI2 lo{0.25f, 3, 4}, hi{0.75f, 0, 0}, lo2{0.25f, 0, 1};
  EXPECT_TRUE(FI2maior()(hi, lo));
  EXPECT_FALSE(FI2maior()(lo, hi));
  EXPECT_TRUE(FI2menor()(lo, hi));
  EXPECT_FALSE(FI2menor()(hi, lo));
  // Equal values: neither goes first, whatever the positions.
  EXPECT_FALSE(FI2maior()(lo, lo2));
  EXPECT_FALSE(FI2maior()(lo2, lo));
  EXPECT_FALSE(FI2menor()(lo, lo2));
  EXPECT_FALSE(FI2menor()(lo2, lo));
}

TEST(ExtremaKmaxPicker, TakesWithdrawsAndRunsOut) {
  const IMGFLT a = make(1, 4, {0.9f, 0.8f, 0.0f, 0.7f});
  KMAX p;
  p.insere(a);
  EXPECT_EQ(p.candidatos.size(), 3u);
  EXPECT_EQ(p.retira(1.0), PONTOI2(0, 0));
  // (0,1) lies at exactly 1 from (0,0): refused and dropped.
  EXPECT_EQ(p.retira(1.0), PONTOI2(0, 3));
  EXPECT_EQ(p.retira(1.0), PONTOI2(-1, -1));
  p.remove_fim();
  p.remove_fim();
  p.remove_fim();  // nothing left: no effect
  EXPECT_TRUE(p.escolhidos.empty());

  KMAX q;
  q.insere(a);
  q.insere(a);  // every candidate twice
  EXPECT_EQ(q.retira(0.5), PONTOI2(0, 0));
  EXPECT_EQ(q.retira(-1.0), PONTOI2(0, 0));  // the copy, allowed by a negative distance
  q.remove_fim();
  EXPECT_EQ(q.escolhidos, (Points{{0, 0}}));
  EXPECT_EQ(q.retira(0.5), PONTOI2(0, 1));
  EXPECT_EQ(q.retira(0.5), PONTOI2(0, 3));
  EXPECT_EQ(q.escolhidos, (Points{{0, 0}, {0, 1}, {0, 3}}));
}

// kminlmax reference: each point is the first in the ordered list of allowed pixels.
template <class Img>
Points reference_kminlmax(const Img& a, int k, int l, double d) {
  IMGFLT f(a.nl, a.nc);
  for (int i = 0; i < a.n(); i++) f.data[i] = static_cast<float>(a.data[i]);
  const Points dark = ordered(f, true, std::numeric_limits<float>::infinity());
  const Points bright = ordered(f, false, -std::numeric_limits<float>::infinity());
  Points out;
  for (int i = 0; i < k + l; i++) {
    for (const PONTOI2& p : i < k ? dark : bright) {
      bool ok = true;
      for (const PONTOI2& q : out) ok = ok && d < dist(p, q);
      if (ok) {
        out.push_back(p);
        break;
      }
    }
    if (static_cast<int>(out.size()) != i + 1) return {};
  }
  return out;
}

TEST(ExtremaKminlmax, MatchesReferenceOnGreyAndFloat) {
  std::mt19937 gen(5);
  for (int round = 0; round < 8; round++) {
    IMGGRY g(7, 6);
    for (int i = 0; i < g.n(); i++) g.data[i] = static_cast<unsigned char>(gen() % 5 * 60);
    const IMGFLT f = noise(6, 7, 50 + round);
    for (double d : {0.0, 1.0, 1.5, 2.5})
      for (auto kl : {std::pair<int, int>{0, 0}, {1, 0}, {0, 2}, {3, 3}, {2, 5}}) {
        SCOPED_TRACE(testing::Message() << "round " << round << " d " << d);
        // Spacings that leave no room are the failure tests' business.
        const Points rg = reference_kminlmax(g, kl.first, kl.second, d);
        if (!rg.empty() || kl.first + kl.second == 0) {
          EXPECT_EQ(vec(kminlmax(g, kl.first, kl.second, d)), rg);
        }
        const Points rf = reference_kminlmax(f, kl.first, kl.second, d);
        if (!rf.empty() || kl.first + kl.second == 0) {
          EXPECT_EQ(vec(kminlmax(f, kl.first, kl.second, d)), rf);
        }
      }
  }
}

TEST(ExtremaKminlmax, UniformImageAndResultShape) {
  const IMGGRY u(3, 3, 7);
  EXPECT_EQ(vec(kminlmax(u, 2, 0, 0.0)), (Points{{0, 0}, {0, 1}}));
  EXPECT_EQ(vec(kminlmax(u, 2, 0, 1.0)), (Points{{0, 0}, {0, 2}}));
  // The bright point keeps away from the dark one too.
  EXPECT_EQ(vec(kminlmax(u, 1, 1, 1.0)), (Points{{0, 0}, {0, 2}}));
  const VETOR<PONTOI2> none = kminlmax(IMGGRY(), 0, 0, 5.0);
  EXPECT_EQ(none.n(), 0);
  const VETOR<PONTOI2> v = kminlmax(IMGFLT(2, 2, 0.5f), 1, 1, 0.0);
  EXPECT_EQ(v.centro, 0);
}

struct KminlmaxFailure {
  int nl, nc, k, l;
  double d;
  const char* message;
};

class ExtremaKminlmaxFails : public ::testing::TestWithParam<KminlmaxFailure> {};

TEST_P(ExtremaKminlmaxFails, WithTheMessage) {
  const KminlmaxFailure& f = GetParam();
  EXPECT_ERRO(kminlmax(IMGGRY(f.nl, f.nc, 3), f.k, f.l, f.d), f.message, "");
  EXPECT_ERRO(kminlmax(IMGFLT(f.nl, f.nc, 0.5f), f.k, f.l, f.d), f.message, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtremaKminlmaxFails,
    ::testing::Values(KminlmaxFailure{3, 3, -1, 0, 0.0, "Erro: kminlmax"},
                      KminlmaxFailure{3, 3, 0, -1, 0.0, "Erro: kminlmax"},
                      KminlmaxFailure{3, 3, 1, 1, -0.5, "Erro: kminlmax"},
                      KminlmaxFailure{1, 1, 1, 1, 0.0, "Erro inesperado 2"},
                      KminlmaxFailure{0, 0, 1, 0, 0.0, "Erro inesperado 1"},
                      KminlmaxFailure{0, 0, 0, 1, 0.0, "Erro inesperado 2"},
                      // Only 4 points keep more than 1.5 apart on 3 x 3.
                      KminlmaxFailure{3, 3, 5, 0, 1.5, "Erro inesperado 1"},
                      KminlmaxFailure{3, 3, 2, 3, 1.5, "Erro inesperado 2"},
                      // Far more points than pixels.
                      KminlmaxFailure{2, 2, 2000000000, 2000000000, 0.0, "Erro inesperado 1"},
                      KminlmaxFailure{3, 3, 1, 1, std::nan(""), "Erro inesperado 1"}));

TEST(ExtremaKminlmax, FloatNeverPicksNaN) {
  const IMGFLT a = make(1, 3, {kNaN, 0.4f, kNaN});
  EXPECT_EQ(vec(kminlmax(a, 1, 0, 0.0)), (Points{{0, 1}}));
  EXPECT_ERRO(kminlmax(a, 1, 1, 0.0), "Erro inesperado 2", "");
}

}  // namespace
