#include "processing/filters/zigzag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "support/test_support.h"

namespace {

std::vector<int> indices(int nl, int nc) {
  VETOR<int> v;
  dctzigzag(nl, nc, v);
  return std::vector<int>(v.data, v.data + std::max(0, v.n()));
}

TEST(Zigzag, JpegBlock) {
  const std::vector<int> want = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
  EXPECT_EQ(indices(8, 8), want);
  VETOR<PONTOI2> p;
  dctzigzag(8, 8, p);
  ASSERT_EQ(p.n(), 64);
  for (int k = 0; k < 64; k++) {
    EXPECT_EQ(p.data[k].lin, want[k] / 8);
    EXPECT_EQ(p.data[k].col, want[k] % 8);
  }
}

TEST(Zigzag, SmallShapes) {
  EXPECT_EQ(indices(2, 3), (std::vector<int>{0, 1, 3, 4, 2, 5}));
  EXPECT_EQ(indices(3, 2), (std::vector<int>{0, 1, 2, 4, 3, 5}));
  EXPECT_EQ(indices(1, 1), (std::vector<int>{0}));
  EXPECT_EQ(indices(1, 4), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(indices(4, 1), (std::vector<int>{0, 1, 2, 3}));
}

// Along the anti-diagonals, falling rows on even diagonals and rising on odd ones.
TEST(Zigzag, EveryShapeFollowsTheDiagonals) {
  for (int nl = 1; nl <= 9; nl++)
    for (int nc = 1; nc <= 9; nc++) {
      std::vector<int> want;
      for (int d = 0; d <= nl + nc - 2; d++) {
        const int lo = std::max(0, d - nc + 1), hi = std::min(d, nl - 1);
        if (d % 2 == 0)
          for (int r = hi; r >= lo; r--) want.push_back(r * nc + d - r);
        else
          for (int r = lo; r <= hi; r++) want.push_back(r * nc + d - r);
      }
      const std::vector<int> got = indices(nl, nc);
      EXPECT_EQ(got, want) << nl << "x" << nc;
      for (size_t k = 1; k < got.size(); k++) {
        EXPECT_LE(std::abs(got[k] / nc - got[k - 1] / nc), 1);
        EXPECT_LE(std::abs(got[k] % nc - got[k - 1] % nc), 1);
      }
    }
}

TEST(Zigzag, ResizesOnlyWhenTheCountDiffers) {
  VETOR<int> v(6, -1);
  v.centro = 2;
  int* block = v.data;
  dctzigzag(2, 3, v);
  EXPECT_EQ(v.data, block);
  EXPECT_EQ(v.centro, 2);
  EXPECT_EQ(v.data[2], 3);
  dctzigzag(3, 3, v);
  EXPECT_EQ(v.n(), 9);
  EXPECT_EQ(v.centro, 0);
  dctzigzag(0, 5, v);
  EXPECT_EQ(v.n(), 0);
}

TEST(Zigzag, SizesBelowOneGiveAnEmptyList) {
  for (auto [nl, nc] : {std::pair{-2, -3}, {-1, -1}, {-4, 5}, {3, -2}, {0, -7}}) {
    VETOR<int> v(4, 9);
    VETOR<PONTOI2> p(4);
    dctzigzag(nl, nc, v);
    dctzigzag(nl, nc, p);
    EXPECT_EQ(v.n(), 0) << nl << "x" << nc;
    EXPECT_EQ(p.n(), 0) << nl << "x" << nc;
  }
}

TEST(ZigzagDeath, GridBeyondAVectorsCount) {
  VETOR<int> v;
  VETOR<PONTOI2> p;
  EXPECT_ERRO(dctzigzag(65536, 65536, v), "Erro VETOR::aloca - Falta memoria", "");
  EXPECT_ERRO(dctzigzag(70000, 40000, p), "Erro VETOR::aloca - Falta memoria", "");
}

}  // namespace
