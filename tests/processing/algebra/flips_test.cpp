// Quarter turns, the upside-down flip and the point reflection on every pixel type.
#include "processing/algebra/flips.h"

#include <complex>
#include <cstdint>
#include <functional>
#include <random>
#include <type_traits>

#include "processing/algebra/pointwise.h"
#include "processing/kernels/isa.h"
#include "support/isa_levels.h"
#include "support/test_support.h"

namespace {

// A distinct value for each index k, and an outside value no pixel holds.
unsigned char px(IMGGRY*, int k) { return static_cast<unsigned char>(k * 7 + 3); }
COR px(IMGCOR*, int k) {
  return COR{static_cast<unsigned char>(k), static_cast<unsigned char>(100 + k),
             static_cast<unsigned char>(200 - k)};
}
short px(IMGSHT*, int k) { return static_cast<short>(-1000 * k - 1); }
float px(IMGFLT*, int k) { return 0.5f * k + 0.25f; }
std::complex<float> px(IMGCPX*, int k) { return {1.0f * k, -2.0f * k - 1}; }

using testutil::same;

// An nl x nc image of distinct pixels with a moved centre and an unusual outside value.
template <class Img>
Img fixture(int nl, int nc, int lc = 0, int cc = 0) {
  Img a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a.rows[l][c] = px(static_cast<Img*>(nullptr), l * nc + c);
  a.backg = px(static_cast<Img*>(nullptr), 77);
  a.lc = lc;
  a.cc = cc;
  return a;
}

using Map = std::function<void(int l, int c, int* rl, int* rc)>;

// r has size rnl x rnc and centre (rlc, rcc), a's outside value, and r(map(l, c)) = a(l, c).
template <class Img>
void expect_moved(const Img& a, const Img& r, int rnl, int rnc, int rlc, int rcc, const Map& map) {
  ASSERT_EQ(r.nl(), rnl);
  ASSERT_EQ(r.nc(), rnc);
  EXPECT_EQ(r.lc, rlc);
  EXPECT_EQ(r.cc, rcc);
  EXPECT_TRUE(same(r.backg, a.backg));
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) {
      int rl, rc;
      map(l, c, &rl, &rc);
      EXPECT_TRUE(same(r.rows[rl][rc], a.rows[l][c])) << l << "," << c;
    }
}

struct Shape {
  int nl, nc, lc, cc;
};
// The wider ones cross the 32 x 32 blocks of the quarter turns.
const Shape kShapes[] = {{1, 1, 0, 0},   {2, 3, 0, 1},    {3, 2, 2, 0},   {4, 5, -1, 7},
                         {1, 6, 0, 5},   {5, 1, 3, 0},    {7, 67, 3, 33}, {12, 131, 0, 2},
                         {1, 257, 0, 9}, {70, 33, 69, 0}, {64, 64, 5, 5}};

template <class Img>
void check_rot90(Img (*f)(const Img&)) {
  for (const Shape& s : kShapes) {
    const Img a = fixture<Img>(s.nl, s.nc, s.lc, s.cc);
    expect_moved(a, f(a), s.nc, s.nl, s.nc - 1 - s.cc, s.lc, [&](int l, int c, int* rl, int* rc) {
      *rl = s.nc - 1 - c;
      *rc = l;
    });
  }
}
template <class Img>
void check_rot270(Img (*f)(const Img&)) {
  for (const Shape& s : kShapes) {
    const Img a = fixture<Img>(s.nl, s.nc, s.lc, s.cc);
    expect_moved(a, f(a), s.nc, s.nl, s.cc, s.nl - 1 - s.lc, [&](int l, int c, int* rl, int* rc) {
      *rl = c;
      *rc = s.nl - 1 - l;
    });
  }
}
template <class Img>
void check_rot180(Img (*f)(const Img&)) {
  for (const Shape& s : kShapes) {
    const Img a = fixture<Img>(s.nl, s.nc, s.lc, s.cc);
    expect_moved(a, f(a), s.nl, s.nc, s.nl - 1 - s.lc, s.nc - 1 - s.cc,
                 [&](int l, int c, int* rl, int* rc) {
                   *rl = s.nl - 1 - l;
                   *rc = s.nc - 1 - c;
                 });
  }
}
template <class Img>
void check_virah(Img (*f)(const Img&)) {
  for (const Shape& s : kShapes) {
    const Img a = fixture<Img>(s.nl, s.nc, s.lc, s.cc);
    expect_moved(a, f(a), s.nl, s.nc, s.lc, s.cc, [&](int l, int c, int* rl, int* rc) {
      *rl = s.nl - 1 - l;
      *rc = c;
    });
  }
}

TEST(Rot90, EveryTypeFollowsThePixelMapAndCarriesTheCentre) {
  check_rot90<IMGGRY>(rot90);
  check_rot90<IMGCOR>(rot90);
  check_rot90<IMGSHT>(rot90);
  check_rot90<IMGFLT>(rot90);
  check_rot90<IMGCPX>(rot90);
}

TEST(Rot270, EveryTypeFollowsThePixelMapAndCarriesTheCentre) {
  check_rot270<IMGGRY>(rot270);
  check_rot270<IMGCOR>(rot270);
  check_rot270<IMGFLT>(rot270);
  check_rot270<IMGCPX>(rot270);
}

TEST(Rot180, EveryTypeAndTheReflectionReverseThePixelSequence) {
  check_rot180<IMGGRY>(rot180);
  check_rot180<IMGCOR>(rot180);
  check_rot180<IMGFLT>(rot180);
  check_rot180<IMGCPX>(rot180);
  check_rot180<IMGCPX>(operator~);
}

TEST(Virah, ReversesRowsAndKeepsTheCentre) {
  check_virah<IMGGRY>(virah);
  check_virah<IMGSHT>(virah);
}

// Random pixels of every type (the px values of random indices), for the tiled turns.
template <class Img>
Img random_fixture(int nl, int nc, uint32_t seed) {
  std::mt19937 gen(seed);
  Img a = fixture<Img>(nl, nc, nl / 2, nc / 3);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++)
      a.rows[l][c] = px(static_cast<Img*>(nullptr), static_cast<int>(gen() % 30000));
  return a;
}

// Around the 16-byte tiles and the blocks of a few hundred bytes, and thinner than one tile.
const Shape kTiledShapes[] = {{1, 1, 0, 0},    {7, 67, 0, 0},  {12, 131, 0, 0}, {1, 257, 0, 0},
                              {131, 12, 0, 0}, {257, 1, 0, 0}, {16, 16, 0, 0},  {32, 48, 0, 0},
                              {33, 47, 0, 0},  {50, 70, 0, 0}, {17, 600, 0, 0}, {600, 17, 0, 0},
                              {300, 270, 0, 0}};

template <class Img>
void check_tiled_turns(uint32_t seed) {
  for (const Shape& s : kTiledShapes) {
    SCOPED_TRACE(testing::Message() << s.nl << "x" << s.nc);
    const Img a = random_fixture<Img>(s.nl, s.nc, seed++);
    expect_moved(a, rot90(a), s.nc, s.nl, s.nc - 1 - a.cc, a.lc,
                 [&](int l, int c, int* rl, int* rc) {
                   *rl = s.nc - 1 - c;
                   *rc = l;
                 });
    if constexpr (!std::is_same_v<Img, IMGSHT>) {  // no rot270 or rot180 for this type
      expect_moved(a, rot270(a), s.nc, s.nl, a.cc, s.nl - 1 - a.lc,
                   [&](int l, int c, int* rl, int* rc) {
                     *rl = c;
                     *rc = s.nl - 1 - l;
                   });
      const auto half_turn = [&](int l, int c, int* rl, int* rc) {
        *rl = s.nl - 1 - l;
        *rc = s.nc - 1 - c;
      };
      expect_moved(a, rot180(a), s.nl, s.nc, s.nl - 1 - a.lc, s.nc - 1 - a.cc, half_turn);
      if constexpr (std::is_same_v<Img, IMGGRY> || std::is_same_v<Img, IMGFLT>)  // ~ reflects
        expect_moved(a, ~a, s.nl, s.nc, s.nl - 1 - a.lc, s.nc - 1 - a.cc, half_turn);
    }
  }
}
TEST(Turns, EveryTierFollowsThePixelMapOnRandomImages) {
  testutil::for_each_isa([] {
    check_tiled_turns<IMGGRY>(1);
    check_tiled_turns<IMGSHT>(2);
    check_tiled_turns<IMGFLT>(3);
    check_tiled_turns<IMGCPX>(4);
    check_tiled_turns<IMGCOR>(5);
  });
}

TEST(Rot90, TwoByThreeExample) {
  const IMGGRY a = fixture<IMGGRY>(2, 3, 0, 1);
  const IMGGRY r = rot90(a);
  ASSERT_EQ(r.nl(), 3);
  ASSERT_EQ(r.nc(), 2);
  EXPECT_EQ(r.lc, 1);
  EXPECT_EQ(r.cc, 0);
  EXPECT_EQ(r.rows[0][0], a.rows[0][2]);
  EXPECT_EQ(r.rows[2][0], a.rows[0][0]);
  EXPECT_EQ(r.rows[0][1], a.rows[1][2]);

  const IMGGRY s = rot270(a);
  EXPECT_EQ(s.lc, 1);
  EXPECT_EQ(s.cc, 1);
  EXPECT_EQ(s.rows[0][1], a.rows[0][0]);
  EXPECT_EQ(s.rows[2][0], a.rows[1][2]);
}

TEST(Rot90, FourTurnsGiveBackPixelsAndCentre) {
  const IMGFLT a = fixture<IMGFLT>(3, 5, 2, 1);
  const IMGFLT r = rot90(rot90(rot90(rot90(a))));
  EXPECT_EQ(r.lc, 2);
  EXPECT_EQ(r.cc, 1);
  for (int k = 0; k < a.n(); k++) EXPECT_EQ(r.data[k], a.data[k]);
}

TEST(Turns, EmptyImagesApplyTheCentreRule) {
  IMGGRY a(0, 4);
  a.lc = 5;
  a.cc = 2;
  a.backg = 9;
  const IMGGRY r = rot90(a);
  EXPECT_EQ(r.nl(), 4);
  EXPECT_EQ(r.nc(), 0);
  EXPECT_EQ(r.lc, 1);
  EXPECT_EQ(r.cc, 5);
  EXPECT_EQ(r.backg, 9);
  const IMGGRY h = rot180(a);
  EXPECT_EQ(h.lc, -6);
  EXPECT_EQ(h.cc, 1);
  const IMGGRY v = virah(a);
  EXPECT_EQ(v.lc, 5);
  EXPECT_EQ(v.cc, 2);
}

TEST(Turns, ExtremeCentresWrapWithoutOverflow) {
  IMGGRY a(2, 3, 0);
  a.lc = INT32_MIN;
  a.cc = INT32_MIN;
  EXPECT_EQ(rot90(a).lc, INT32_MIN + 2);  // 3 - 1 - INT32_MIN, wrapped
  EXPECT_EQ(rot270(a).cc, INT32_MIN + 1);
  EXPECT_EQ(rot180(a).lc, INT32_MIN + 1);
  IMGBIN b(2, 3);
  b.lc = INT32_MIN;
  b.cc = INT32_MIN;
  EXPECT_EQ((~b).cc, INT32_MIN + 2);
  EXPECT_EQ(rot90(b).lc, INT32_MIN + 2);
}

// ---- binary images: word-wide forms against the pixel rule ----

IMGBIN random_bin(int nl, int nc, uint32_t seed) {
  std::mt19937 gen(seed);
  IMGBIN a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a(l, c) = (gen() & 1u) != 0;
  a.lc = nl / 3;
  a.cc = nc - 1;
  a.backg = 0x12345670u;  // black outside, other bits set
  return a;
}

// The spare bits past the last column of every row.
bool spare_bits_clear(const IMGBIN& r) {
  if (r.nc() % 32 == 0 || r.n() == 0) return true;
  const uint32_t spare = 0xFFFFFFFFu >> (r.nc() % 32);
  for (int l = 0; l < r.nl(); l++)
    if ((r.rows[l][r.wpr - 1] & spare) != 0) return false;
  return true;
}

void expect_bin_moved(const IMGBIN& a, const IMGBIN& r, int rnl, int rnc, int rlc, int rcc,
                      const Map& map) {
  ASSERT_EQ(r.nl(), rnl);
  ASSERT_EQ(r.nc(), rnc);
  EXPECT_EQ(r.lc, rlc);
  EXPECT_EQ(r.cc, rcc);
  EXPECT_EQ(r.backg, a.backg);
  int wrong = 0;
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) {
      int rl, rc;
      map(l, c, &rl, &rc);
      const IMGBIN& cr = r;
      if (cr(rl, rc) != a(l, c)) wrong++;
    }
  EXPECT_EQ(wrong, 0);
}

const int kBinSizes[] = {1, 2, 31, 32, 33, 63, 64, 65};

TEST(BinaryTurns, WordFormsMatchThePixelRuleAcrossWordBoundaries) {
  uint32_t seed = 1;
  for (int nl : kBinSizes)
    for (int nc : kBinSizes) {
      SCOPED_TRACE(testing::Message() << nl << "x" << nc);
      const IMGBIN a = random_bin(nl, nc, seed++);
      const IMGBIN r90 = rot90(a), r270 = rot270(a), r180 = rot180(a), refl = ~a, v = virah(a);
      expect_bin_moved(a, r90, nc, nl, nc - 1 - a.cc, a.lc, [&](int l, int c, int* rl, int* rc) {
        *rl = nc - 1 - c;
        *rc = l;
      });
      expect_bin_moved(a, r270, nc, nl, a.cc, nl - 1 - a.lc, [&](int l, int c, int* rl, int* rc) {
        *rl = c;
        *rc = nl - 1 - l;
      });
      const Map half = [&](int l, int c, int* rl, int* rc) {
        *rl = nl - 1 - l;
        *rc = nc - 1 - c;
      };
      expect_bin_moved(a, r180, nl, nc, nl - 1 - a.lc, nc - 1 - a.cc, half);
      expect_bin_moved(a, refl, nl, nc, nl - 1 - a.lc, nc - 1 - a.cc, half);
      expect_bin_moved(a, v, nl, nc, a.lc, a.cc, [&](int l, int c, int* rl, int* rc) {
        *rl = nl - 1 - l;
        *rc = c;
      });
      EXPECT_TRUE(spare_bits_clear(r90));
      EXPECT_TRUE(spare_bits_clear(r270));
      EXPECT_TRUE(spare_bits_clear(r180));
    }
}

TEST(BinaryTurns, GarbageInSpareBitsDoesNotLeakIn) {
  IMGBIN a(3, 5, false);
  for (int l = 0; l < 3; l++) a.rows[l][0] |= 0x07FFFFFFu;  // columns 5..31 are spare
  a(1, 4) = true;
  const IMGBIN r180 = rot180(a), r90 = rot90(a), r270 = rot270(a);
  for (int l = 0; l < 3; l++)
    for (int c = 0; c < 5; c++) EXPECT_EQ(r180(l, c), l == 1 && c == 0) << l << "," << c;
  for (int l = 0; l < 5; l++)
    for (int c = 0; c < 3; c++) {
      EXPECT_EQ(r90(l, c), l == 0 && c == 1) << l << "," << c;
      EXPECT_EQ(r270(l, c), l == 4 && c == 1) << l << "," << c;
    }
}

TEST(BinaryTurns, KeepTheOutsideValue) {
  for (bool white : {true, false}) {
    IMGBIN a(2, 3, true);
    a.backg = white ? 1u : 0u;
    EXPECT_EQ(rot90(a).backg, a.backg);
    EXPECT_EQ(rot270(a).backg, a.backg);
    EXPECT_EQ(rot180(a).backg, a.backg);
    EXPECT_EQ(virah(a).backg, a.backg);
  }
}

}  // namespace
