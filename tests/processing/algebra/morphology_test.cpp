// Morphology against literal per-pixel references.
#include "processing/algebra/morphology.h"

#include <climits>
#include <cmath>
#include <limits>
#include <vector>

#include "foundation/constants.h"
#include "neighbourhood_fixtures.h"

namespace {

using fixtures::Rng;
using fixtures::same_pixels;
using fixtures::shapes;

// Pixel access for the references: a position outside reads the outside value.
inline bool get(const IMGBIN& a, int l, int c) { return a(l, c); }
template <class Img>
auto get(const Img& a, int l, int c) {
  return a(l, c);
}

// The rectangle as two literal passes (row pass into a temporary, column pass back).
template <class Img, class T, class Better>
Img ref_rectangle(Img a, int wl, int wc, bool erode, T start, Better better) {
  const int hr = erode ? (wl - 1) / 2 : wl - 1 - (wl - 1) / 2;
  const int hc = erode ? (wc - 1) / 2 : wc - 1 - (wc - 1) / 2;
  Img t(a.nl, a.nc);
  t.backg = a.backg;
  for (int l = 0; l < a.nl; l++)
    for (int c = 0; c < a.nc; c++) {
      T acc = start;
      for (int k = 0; k < wc; k++) {
        const T v = get(a, l, c - hc + k);
        if (better(v, acc)) acc = v;
      }
      t(l, c) = acc;
    }
  for (int l = 0; l < a.nl; l++)
    for (int c = 0; c < a.nc; c++) {
      T acc = start;
      for (int k = 0; k < wl; k++) {
        const T v = get(t, l - hr + k, c);
        if (better(v, acc)) acc = v;
      }
      a(l, c) = acc;
    }
  return a;
}

const auto smaller = [](auto v, auto acc) { return v < acc; };
const auto greater = [](auto v, auto acc) { return v > acc; };

struct Win {
  int nl, nc;
};
const Win kWindows[] = {{1, 1},  {3, 3},  {1, 4},  {4, 1},   {2, 2},  {5, 3},  {2, 7},
                        {0, 3},  {3, 0},  {-2, 1}, {70, 1},  {1, 70}, {6, 66}, {15, 15},
                        {16, 9}, {1, 33}, {40, 2}, {3, 600}, {8, 8},  {6, 5},  {8, 9}};

TEST(Rectangle, BinaryMatchesReference) {
  Rng g(1);
  for (auto [nl, nc] : shapes())
    for (const Win& w : kWindows)
      for (int percent : {20, 80}) {
        SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " window " << w.nl << "x" << w.nc);
        IMGBIN a = fixtures::random_bin(nl, nc, g, percent);
        a.lc = -3;
        a.cc = 40;
        a.backg = 0xF0u;  // the operations decide the outside pixel themselves
        const auto spare = fixtures::spare_bits(a);

        IMGBIN er = erosao(a, w.nl, w.nc);
        IMGBIN want = a;
        want.backg |= 1u;
        want = ref_rectangle(want, w.nl, w.nc, true, true, smaller);
        EXPECT_TRUE(same_pixels(er, want));
        EXPECT_EQ(er.backg, 0xF1u);
        EXPECT_EQ(er.lc, -3);
        EXPECT_EQ(er.cc, 40);
        EXPECT_EQ(fixtures::spare_bits(er), spare);

        IMGBIN di = dilat(a, w.nl, w.nc);
        want = a;
        want.backg &= ~1u;
        want = ref_rectangle(want, w.nl, w.nc, false, false, greater);
        EXPECT_TRUE(same_pixels(di, want));
        EXPECT_EQ(di.backg, 0xF0u);
        EXPECT_EQ(fixtures::spare_bits(di), spare);
      }
}

TEST(Rectangle, GreyMatchesReference) {
  Rng g(2);
  for (auto [nl, nc] : fixtures::span_shapes())
    for (const Win& w : kWindows) {
      SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " window " << w.nl << "x" << w.nc);
      IMGGRY a = fixtures::random_grey(nl, nc, g);
      a.lc = 5;
      a.backg = 77;
      IMGGRY want_er = a;
      want_er.backg = 255;
      want_er = ref_rectangle(want_er, w.nl, w.nc, true, static_cast<unsigned char>(255), smaller);
      IMGGRY want_di = a;
      want_di.backg = 0;
      want_di = ref_rectangle(want_di, w.nl, w.nc, false, static_cast<unsigned char>(0), greater);
      testutil::for_each_isa([&] {
        IMGGRY er = erosao(a, w.nl, w.nc);
        EXPECT_TRUE(same_pixels(er, want_er));
        EXPECT_EQ(er.backg, 255);
        EXPECT_EQ(er.lc, 5);
        IMGGRY di = dilat(a, w.nl, w.nc);
        EXPECT_TRUE(same_pixels(di, want_di));
        EXPECT_EQ(di.backg, 0);
      });
    }
}

TEST(Rectangle, FloatMatchesReferenceWithCallersOutsideAndNaN) {
  Rng g(3);
  const float big = static_cast<float>(infinito);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float tiny = std::numeric_limits<float>::denorm_min();
  // NaNs, signed zeros, infinities and denormals, to tell apart samples of equal value: a
  // quarter of the pixels from all of them, or every pixel from those of one sign and zeros (so
  // that signed zeros tie at the minimum or the maximum, borders included; NaN in even rows only).
  struct Fill {
    std::vector<float> kinds;
    bool every;
  };
  const Fill fills[] = {{{nan, 0.0f, -0.0f, inf, -inf, big, -big, tiny, -tiny, 1e-40f}, false},
                        {{nan, 0.0f, -0.0f, inf, big, tiny, 1e-40f}, true},
                        {{nan, 0.0f, -0.0f, -inf, -big, -tiny, -1e-40f}, true}};
  for (auto [nl, nc] : fixtures::span_shapes())
    for (const Win& w : kWindows)
      for (float outside : {0.0f, -0.0f, -5.0f, nan, inf, -inf})
        for (const Fill& fill : fills) {
          SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " window " << w.nl << "x" << w.nc
                                            << " outside " << outside << " fill " << &fill - fills);
          IMGFLT a = fixtures::random_float(nl, nc, g);
          const int kinds = static_cast<int>(fill.kinds.size());
          if (fill.every)
            for (int l = 0; l < nl; l++)
              for (int c = 0; c < nc; c++) a(l, c) = fill.kinds[l % 2 + g.below(kinds - l % 2)];
          else
            for (int k = 0; k < a.nl * a.nc / 4 + 1; k++)
              a(g.below(nl), g.below(nc)) = fill.kinds[g.below(kinds)];
          a.backg = outside;
          const IMGFLT want_er = ref_rectangle(a, w.nl, w.nc, true, big, smaller);
          const IMGFLT want_di = ref_rectangle(a, w.nl, w.nc, false, -big, greater);
          testutil::for_each_isa([&] {
            IMGFLT er = erosao(a, w.nl, w.nc);
            EXPECT_TRUE(same_pixels(er, want_er));
            EXPECT_EQ(fixtures::bits_of(er.backg), fixtures::bits_of(outside));
            IMGFLT di = dilat(a, w.nl, w.nc);
            EXPECT_TRUE(same_pixels(di, want_di));
          });
        }
}

// Images tall enough that the span form works in several strips of columns.
TEST(Rectangle, TallImagesInColumnStrips) {
  Rng g(9);
  const float big = static_cast<float>(infinito);
  for (const Win& w : {Win{3, 3}, Win{16, 9}, Win{1, 40}}) {
    SCOPED_TRACE(::testing::Message() << "window " << w.nl << "x" << w.nc);
    IMGGRY a = fixtures::random_grey(4200, 300, g);
    IMGGRY want_er = a, want_di = a;
    want_er.backg = 255;
    want_di.backg = 0;
    want_er = ref_rectangle(want_er, w.nl, w.nc, true, static_cast<unsigned char>(255), smaller);
    want_di = ref_rectangle(want_di, w.nl, w.nc, false, static_cast<unsigned char>(0), greater);
    IMGFLT f = fixtures::random_float(1100, 300, g);
    for (int k = 0; k < 20000; k++)
      f(g.below(f.nl), g.below(f.nc)) = k % 2 ? -0.0f : std::numeric_limits<float>::quiet_NaN();
    f.backg = -1.0f;
    const IMGFLT want_fer = ref_rectangle(f, w.nl, w.nc, true, big, smaller);
    testutil::for_each_isa([&] {
      EXPECT_TRUE(same_pixels(erosao(a, w.nl, w.nc), want_er));
      EXPECT_TRUE(same_pixels(dilat(a, w.nl, w.nc), want_di));
      EXPECT_TRUE(same_pixels(erosao(f, w.nl, w.nc), want_fer));
    });
  }
}

// Wide rows and tall windows: column levels too large to keep, so the columns go in strips.
TEST(Rectangle, WideRowsTallWindows) {
  Rng g(10);
  IMGGRY a = fixtures::random_grey(40, 2100, g);
  IMGGRY want_er = a;
  want_er.backg = 255;
  want_er = ref_rectangle(want_er, 250, 3, true, static_cast<unsigned char>(255), smaller);
  IMGFLT f = fixtures::random_float(40, 2100, g);
  for (int k = 0; k < 8000; k++)
    f(g.below(f.nl), g.below(f.nc)) = k % 2 ? -0.0f : std::numeric_limits<float>::quiet_NaN();
  f.backg = -1.0f;
  const IMGFLT want_fdi = ref_rectangle(f, 64, 3, false, static_cast<float>(-infinito), greater);
  testutil::for_each_isa([&] {
    EXPECT_TRUE(same_pixels(erosao(a, 250, 3), want_er));
    EXPECT_TRUE(same_pixels(dilat(f, 64, 3), want_fdi));
  });
}

TEST(Rectangle, DocumentedCases) {
  // Even widths: erosion takes columns c-1 .. c+2, dilation c-2 .. c+1.
  IMGBIN row(1, 8, true);
  row(0, 4) = false;
  IMGBIN er = erosao(row, 1, 4);
  for (int c = 0; c < 8; c++) EXPECT_EQ(er(0, c), !(c >= 2 && c <= 5)) << c;
  IMGBIN one(1, 8, false);
  one(0, 4) = true;
  IMGBIN di = dilat(one, 1, 4);
  for (int c = 0; c < 8; c++) EXPECT_EQ(di(0, c), c >= 3 && c <= 6) << c;

  // White up to the edges stays white; black stays black.
  EXPECT_TRUE(same_pixels(erosao(IMGBIN(4, 5, true), 3, 3), IMGBIN(4, 5, true)));
  EXPECT_TRUE(same_pixels(dilat(IMGBIN(4, 5, false), 3, 3), IMGBIN(4, 5, false)));

  // Non-positive sizes give the start value everywhere.
  EXPECT_TRUE(same_pixels(erosao(IMGBIN(2, 3, false), 0, 2), IMGBIN(2, 3, true)));
  EXPECT_TRUE(same_pixels(dilat(IMGBIN(2, 3, true), 2, -1), IMGBIN(2, 3, false)));
  EXPECT_TRUE(same_pixels(erosao(IMGGRY(2, 3, 9), 0, 0), IMGGRY(2, 3, 255)));
  EXPECT_TRUE(same_pixels(dilat(IMGGRY(2, 3, 9), -1, 3), IMGGRY(2, 3, 0)));
  EXPECT_TRUE(same_pixels(erosao(IMGFLT(2, 3, 1.0f), 0, 1), IMGFLT(2, 3, 1e30f)));
  EXPECT_TRUE(same_pixels(dilat(IMGFLT(2, 3, 1.0f), 1, 0), IMGFLT(2, 3, -1e30f)));

  // IMGFLT reads the caller's outside value: 0 pulls a positive border down, 1e30 does not.
  IMGFLT f(4, 4, 5.0f);
  f(2, 2) = 3.0f;
  IMGFLT e0 = erosao(f, 3, 3);
  EXPECT_EQ(e0(0, 0), 0.0f);
  EXPECT_EQ(e0(1, 1), 3.0f);
  f.backg = 1e30f;
  IMGFLT e1 = erosao(f, 3, 3);
  EXPECT_EQ(e1(0, 0), 5.0f);
  EXPECT_EQ(e1(3, 3), 3.0f);
  EXPECT_EQ(e1.backg, 1e30f);

  // No rows: returned as it is, with the outside value set.
  IMGGRY empty(0, 4);
  empty.backg = 3;
  EXPECT_EQ(erosao(empty, 3, 3).backg, 255);
  EXPECT_EQ(dilat(IMGBIN(0, 0), 3, 3).backg & 1u, 0u);
}

// Literal references of the structuring-image operators.
IMGBIN ref_bin_structure(const IMGBIN& a, const IMGBIN& b, bool erode) {
  IMGBIN r(a.nl, a.nc);
  for (int l = 0; l < a.nl; l++)
    for (int c = 0; c < a.nc; c++) {
      bool v = erode;
      for (int i = 0; i < b.nl; i++)
        for (int j = 0; j < b.nc; j++) {
          if (!b(i, j)) continue;
          const int y = erode ? l + i - b.lc : l - (i - b.lc);
          const int x = erode ? c + j - b.cc : c - (j - b.cc);
          const bool inside = y >= 0 && y < a.nl && x >= 0 && x < a.nc;
          const bool p = inside ? a(y, x) : erode;
          if (erode && !p) v = false;
          if (!erode && p) v = true;
        }
      r(l, c) = v;
    }
  return r;
}

IMGBIN make_bin(int nl, int nc, int lc, int cc, std::vector<int> px) {
  IMGBIN b(nl, nc);
  b.lc = lc;
  b.cc = cc;
  for (int k = 0; k < nl * nc; k++) b(k / nc, k % nc) = px[k] != 0;
  return b;
}

std::vector<IMGBIN> structuring_bins(Rng& g) {
  std::vector<IMGBIN> v;
  v.push_back(IMGBIN(3, 3, true));
  v.push_back(make_bin(3, 3, 1, 1, {0, 1, 0, 1, 1, 1, 0, 1, 0}));
  v.push_back(make_bin(1, 2, 0, 0, {1, 1}));
  v.push_back(make_bin(2, 3, -1, 5, {1, 0, 1, 0, 1, 1}));  // far offsets, beyond narrow images
  v.push_back(make_bin(1, 1, 0, -40, {1}));
  v.push_back(make_bin(2, 2, 0, 0, {0, 0, 0, 0}));  // no members
  v.push_back(IMGBIN(0, 0));
  IMGBIN r = fixtures::random_bin(4, 5, g, 40);
  r.lc = 3;
  r.cc = 0;
  v.push_back(r);
  // Full rectangles of members: off-centre, framed by non-members, wide.
  v.push_back(make_bin(2, 3, 0, 2, {1, 1, 1, 1, 1, 1}));
  v.push_back(make_bin(3, 4, 2, -1, {0, 0, 0, 0, 0, 1, 1, 1, 0, 1, 1, 1}));
  v.push_back(IMGBIN(15, 15, true));
  v.push_back(IMGBIN(1, 40, true));
  return v;
}

TEST(Structure, BinaryErosionAndDilationMatchReference) {
  Rng g(4);
  const auto bs = structuring_bins(g);
  for (auto [nl, nc] : fixtures::span_shapes())
    for (size_t k = 0; k < bs.size(); k++)
      for (int percent : {30, 85}) {
        SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " element " << k);
        IMGBIN a = fixtures::random_bin(nl, nc, g, percent);
        a.lc = 7;
        a.backg = 0;  // neither operator reads the caller's outside value
        const IMGBIN want_er = ref_bin_structure(a, bs[k], true);
        const IMGBIN want_di = ref_bin_structure(a, bs[k], false);
        testutil::for_each_isa([&, nl = nl] {
          IMGBIN er = a - bs[k];
          EXPECT_TRUE(same_pixels(er, want_er));
          IMGBIN di = a + bs[k];
          EXPECT_TRUE(same_pixels(di, want_di));
          for (const IMGBIN* r : {&er, &di}) {
            EXPECT_EQ(r->lc, (nl - 1) / 2);
            EXPECT_EQ(r->backg & 1u, 1u);
            for (uint32_t s : fixtures::spare_bits(*r)) EXPECT_EQ(s, 0u);
          }
        });
      }
}

TEST(Structure, BinaryDocumentedCases) {
  Rng g(5);
  IMGBIN a = fixtures::random_bin(6, 33, g, 70);
  a.lc = 0;
  a.cc = 0;
  // A 3 x 3 square with the default centre is the 3 x 3 rectangle, with a fresh centre.
  IMGBIN s = a - IMGBIN(3, 3, true);
  EXPECT_TRUE(same_pixels(s, erosao(a, 3, 3)));
  EXPECT_EQ(s.lc, 2);
  EXPECT_EQ(s.cc, 16);
  EXPECT_TRUE(same_pixels(a + IMGBIN(3, 3, true), dilat(a, 3, 3)));
  // Centre (0, 0): dilation spreads each white pixel down and to the right.
  IMGBIN dot(4, 4, false);
  dot(1, 1) = true;
  IMGBIN spread = dot + make_bin(2, 2, 0, 0, {1, 1, 1, 1});
  for (int l = 0; l < 4; l++)
    for (int c = 0; c < 4; c++) EXPECT_EQ(spread(l, c), l >= 1 && l <= 2 && c >= 1 && c <= 2);
  // No members: all white erosion, all black dilation.
  EXPECT_TRUE(same_pixels(a - IMGBIN(2, 2, false), IMGBIN(6, 33, true)));
  EXPECT_TRUE(same_pixels(a + IMGBIN(2, 2, false), IMGBIN(6, 33, false)));
  EXPECT_EQ((IMGBIN(0, 5) - IMGBIN(3, 3, true)).nl, 0);
}

IMGGRY ref_grey_structure(const IMGGRY& a, const IMGSHT& b, bool erode) {
  IMGGRY r(a.nl, a.nc);
  for (int l = 0; l < a.nl; l++)
    for (int c = 0; c < a.nc; c++) {
      int v = erode ? 255 : 0;
      for (int i = 0; i < b.nl; i++)
        for (int j = 0; j < b.nc; j++) {
          const int s = b(i, j);
          if (s == -32768) continue;
          const int y = erode ? l + i - b.lc : l - (i - b.lc);
          const int x = erode ? c + j - b.cc : c - (j - b.cc);
          const bool inside = y >= 0 && y < a.nl && x >= 0 && x < a.nc;
          const int p = inside ? a(y, x) : (erode ? 255 : 0);
          const int q = std::min(255, std::max(0, erode ? p - s : p + s));
          v = erode ? std::min(v, q) : std::max(v, q);
        }
      r(l, c) = static_cast<unsigned char>(v);
    }
  return r;
}

TEST(Structure, GreyErosionAndDilationMatchReference) {
  Rng g(6);
  std::vector<IMGSHT> bs;
  bs.push_back(IMGSHT(3, 3, short{0}));
  bs.push_back(IMGSHT(1, 1, short{300}));
  bs.push_back(IMGSHT(2, 2, short{-32768}));
  for (auto [lc, cc] : {std::pair{1, 2}, {0, 0}, {-2, 6}, {3, -1}}) {
    IMGSHT b(3, 4);
    for (int i = 0; i < 3; i++)
      for (int j = 0; j < 4; j++)
        b(i, j) = g.below(4) == 0 ? short{-32768} : static_cast<short>(g.below(601) - 300);
    b.lc = lc;
    b.cc = cc;
    bs.push_back(b);
  }
  // Flat and equal-height rectangles (inside a frame of non-members), off-centre too, and a disk.
  for (short height : {short{0}, short{7}, short{-20}}) {
    IMGSHT b(6, 7, short{-32768});
    for (int i = 1; i < 6; i++)
      for (int j = 0; j < 4; j++) b(i, j) = height;
    bs.push_back(b);
    b.lc = 0;
    b.cc = 6;
    bs.push_back(b);
  }
  bs.push_back(IMGSHT(15, 15, short{0}));
  IMGSHT gaps(3, 6, short{5});  // several runs a row
  for (auto [i, j] : {std::pair{0, 2}, {1, 1}, {1, 4}, {2, 0}, {2, 3}}) gaps(i, j) = -32768;
  gaps.cc = 4;
  bs.push_back(gaps);
  IMGSHT disk;
  eecircular(9, disk);
  bs.push_back(disk);
  // A flat cross of height 30: runs of lengths 1 and 17, 17 made through 4 and 16.
  IMGSHT cross(5, 17, short{-32768});
  for (int j = 0; j < 17; j++) cross(2, j) = 30;
  for (int i = 0; i < 5; i++) cross(i, 8) = 30;
  bs.push_back(cross);
  // Rows that repeat, their results made together: five distinct rows of heights of one sign,
  // and two distinct rows with the same gaps and heights past either clamp.
  IMGSHT bands(9, 5);
  for (int i = 0; i < 9; i++)
    for (int j = 0; j < 5; j++) bands(i, j) = static_cast<short>((i % 5) * 7 + j * 3);
  bs.push_back(bands);
  // The same rows off-centre, members all on one side, and rows wider than most images: the
  // columns that read the source row in place move or vanish.
  bands.cc = -3;
  bs.push_back(bands);
  IMGSHT wide(4, 70);
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 70; j++) wide(i, j) = static_cast<short>((i % 2) * 5 + j % 3 - 1);
  wide.lc = 1;
  wide.cc = 66;
  bs.push_back(wide);
  IMGSHT gapped(4, 5, short{-32768});
  const short rows[2][5] = {{300, -20, 0, 0, -300}, {9, 0, 0, 40, -1}};
  for (int i = 0; i < 4; i++)
    for (int j : {0, 1, 3, 4}) gapped(i, j) = rows[i % 2][j];
  gapped.cc = 1;
  bs.push_back(gapped);
  // Two distinct rows of one sign sharing their columns, about a row of no members, off-centre.
  IMGSHT hollow(5, 4, short{-32768});
  for (int i : {0, 1, 3, 4})
    for (int j = 0; j < 4; j++) hollow(i, j) = static_cast<short>((i % 3) * 4 + j * 2);
  hollow.lc = 3;
  bs.push_back(hollow);
  // Heights that repeat, of both signs, on a square and on a disk.
  IMGSHT square(7, 7);
  for (int i = 0; i < 7; i++)
    for (int j = 0; j < 7; j++) square(i, j) = static_cast<short>(((i * 3 + j * 5) % 9 - 4) * 9);
  bs.push_back(square);
  for (int i = 0; i < disk.nl; i++)
    for (int j = 0; j < disk.nc; j++)
      if (disk(i, j) != -32768) disk(i, j) = static_cast<short>(12 - (i - 4) * (i - 4) - j / 3);
  bs.push_back(disk);
  auto sizes = fixtures::span_shapes();
  sizes.push_back({6, 1100});
  for (auto [nl, nc] : sizes)
    for (size_t k = 0; k < bs.size(); k++) {
      SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " element " << k);
      IMGGRY a = fixtures::random_grey(nl, nc, g);
      a.backg = 100;
      a.lc = -1;
      const IMGGRY want_er = ref_grey_structure(a, bs[k], true);
      const IMGGRY want_di = ref_grey_structure(a, bs[k], false);
      testutil::for_each_isa([&, nl = nl] {
        IMGGRY er = a - bs[k];
        EXPECT_TRUE(same_pixels(er, want_er));
        IMGGRY di = a + bs[k];
        EXPECT_TRUE(same_pixels(di, want_di));
        for (const IMGGRY* r : {&er, &di}) {
          EXPECT_EQ(r->backg, 0);
          EXPECT_EQ(r->lc, (nl - 1) / 2);
        }
      });
    }
  // Documented: no members give 255 and 0; a height of 300 saturates every dilated pixel.
  IMGGRY a = fixtures::random_grey(3, 4, g);
  EXPECT_TRUE(same_pixels(a - IMGSHT(2, 2, short{-32768}), IMGGRY(3, 4, 255)));
  EXPECT_TRUE(same_pixels(a + IMGSHT(2, 2, short{-32768}), IMGGRY(3, 4, 0)));
  EXPECT_TRUE(same_pixels(a + IMGSHT(3, 3, short{300}), IMGGRY(3, 4, 255)));
}

IMGBIN ref_hitmiss(const IMGBIN& a, const IMGGRY& m) {
  IMGBIN r(a.nl, a.nc);
  for (int l = 0; l < a.nl; l++)
    for (int c = 0; c < a.nc; c++) {
      bool v = true;
      for (int i = 0; i < m.nl && v; i++)
        for (int j = 0; j < m.nc && v; j++) {
          const bool q = a(l + i - m.lc, c + j - m.cc);
          if ((m(i, j) == 0 && q) || (m(i, j) == 255 && !q)) v = false;
        }
      r(l, c) = v;
    }
  return r;
}

TEST(HitMiss, MatchesReference) {
  Rng g(7);
  std::vector<IMGGRY> masks;
  masks.push_back(IMGGRY(3, 3, 0, 255, 0, 128, 255, 128, 0, 0, 0));
  masks.push_back(IMGGRY(1, 2, 255, 0));
  masks.push_back(IMGGRY(2, 2, 128));
  masks.push_back(IMGGRY(0, 0));
  IMGGRY far(2, 3, 255, 0, 7, 0, 255, 255);
  far.lc = -1;
  far.cc = 40;
  masks.push_back(far);
  for (auto [nl, nc] : shapes())
    for (size_t k = 0; k < masks.size(); k++)
      for (bool outside : {false, true}) {
        SCOPED_TRACE(::testing::Message() << nl << "x" << nc << " mask " << k << " " << outside);
        IMGBIN a = fixtures::random_bin(nl, nc, g, 55);
        a.backg = outside ? 1u : 0u;
        IMGBIN r = hitmiss(a, masks[k]);
        EXPECT_TRUE(same_pixels(r, ref_hitmiss(a, masks[k])));
        EXPECT_EQ(r.backg & 1u, 0u);
        for (uint32_t s : fixtures::spare_bits(r)) EXPECT_EQ(s, 0u);
      }
  // Don't-care everywhere: all white.
  EXPECT_TRUE(
      same_pixels(hitmiss(fixtures::random_bin(3, 40, g), IMGGRY(3, 3, 128)), IMGBIN(3, 40, true)));
}

TEST(Disk, CountsAndShapes) {
  const int counts[] = {1, 5, 13, 29, 49, 81};
  for (int k = 0; k < 6; k++) {
    const int tam = 2 * k + 1;
    IMGBIN b;
    IMGSHT s;
    EXPECT_EQ(eecircular(tam, b), counts[k]);
    EXPECT_EQ(eecircular(tam, s), counts[k]);
    EXPECT_EQ(b.nl, tam);
    EXPECT_EQ(b.lc, k);
    int white = 0;
    for (int y = 0; y < tam; y++)
      for (int x = 0; x < tam; x++) {
        const bool in = (y - k) * (y - k) + (x - k) * (x - k) <= k * k;
        EXPECT_EQ(b(y, x), in);
        EXPECT_EQ(s(y, x), in ? 0 : -32768);
        white += b(y, x);
      }
    EXPECT_EQ(white, counts[k]);
  }
  // A 3 x 3 image is resized to 5 x 5 with the default centre.
  IMGBIN small(3, 3);
  small.lc = 0;
  EXPECT_EQ(eecircular(5, small), 13);
  EXPECT_EQ(small.nl, 5);
  EXPECT_EQ(small.lc, 2);
  // A 5 x 5 image keeps its centre: (0, 0) gives a quarter disk.
  IMGSHT q(5, 5);
  q.lc = 0;
  q.cc = 0;
  EXPECT_EQ(eecircular(5, q), 6);
  EXPECT_EQ(q(0, 2), 0);
  EXPECT_EQ(q(1, 2), -32768);
  IMGBIN far(5, 5);
  far.lc = INT_MIN;
  far.cc = INT_MAX;
  EXPECT_EQ(eecircular(5, far), 0);
}

class DiskSize : public ::testing::TestWithParam<int> {};

TEST_P(DiskSize, EvenZeroOrNegativeIsFatal) {
  IMGBIN b;
  IMGSHT s;
  EXPECT_ERRO(eecircular(GetParam(), b), "Erro: tam deve ser impar", "");
  EXPECT_ERRO(eecircular(GetParam(), s), "Erro: tam deve ser impar", "");
}

INSTANTIATE_TEST_SUITE_P(Morphology, DiskSize, ::testing::Values(0, 2, 10, -1, -3, -4));

}  // namespace
