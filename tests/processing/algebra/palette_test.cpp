// Ramp palette: entries at the ends and seams of the four runs.
#include "processing/algebra/palette.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct Entry {
  int p;
  int r, g, b;
};

TEST(Palette, RampEntries) {
  const Entry table[] = {
      {0, 0, 0, 0},         {1, 0, 0, 4},     {63, 0, 0, 252},  {64, 0, 0, 255},
      {65, 0, 4, 251},      {127, 0, 252, 3}, {128, 0, 255, 0}, {129, 4, 251, 0},
      {191, 252, 3, 0},     {192, 255, 0, 0}, {193, 255, 4, 4}, {254, 255, 248, 248},
      {255, 255, 252, 252},
  };
  const VETOR<COR> pal = palkbgrw();
  ASSERT_EQ(pal.n(), 256);
  EXPECT_EQ(pal.centro, 0);
  for (const Entry& e : table) {
    SCOPED_TRACE(e.p);
    EXPECT_EQ(pal(e.p).r, e.r);
    EXPECT_EQ(pal(e.p).g, e.g);
    EXPECT_EQ(pal(e.p).b, e.b);
  }
}

TEST(Palette, RunsChangeOneStepAtATime) {
  const VETOR<COR> pal = palkbgrw();
  // Within each run every channel moves by at most 4 from the entry before.
  for (int p = 1; p < 256; p++) {
    SCOPED_TRACE(p);
    EXPECT_LE(std::abs(pal(p).r - pal(p - 1).r), 4);
    EXPECT_LE(std::abs(pal(p).g - pal(p - 1).g), 4);
    EXPECT_LE(std::abs(pal(p).b - pal(p - 1).b), 4);
  }
}

TEST(Palette, EveryCallGivesAFreshEqualVector) {
  VETOR<COR> a = palkbgrw();
  const VETOR<COR> b = palkbgrw();
  ASSERT_NE(a.data, b.data);
  for (int p = 0; p < 256; p++) EXPECT_EQ(a(p), b(p)) << p;
  a(10) = COR{1, 2, 3};
  EXPECT_EQ(palkbgrw()(10), (COR{0, 0, 40}));
}

}  // namespace
