// Zoom to a new size by area averaging and interpolation, aligned at the first row and column.
#include "processing/algebra/zoom_area.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "images/colour_internal.h"
#include "processing/algebra/planes.h"
#include "processing/algebra/resample_internal.h"
#include "processing/kernels/zoom_area.h"
#include "support/isa_levels.h"
#include "support/test_support.h"

namespace {

IMGFLT make(int nl, int nc, std::vector<float> v) {
  IMGFLT a(nl, nc);
  a.fill(v.data());
  return a;
}

template <class Img>
std::vector<double> values(const Img& a) {
  return std::vector<double>(a.data, a.data + (a.data ? a.n() : 0));
}

IMGFLT transpose(const IMGFLT& a) {
  IMGFLT t(a.nc, a.nl);
  for (int l = 0; l < a.nl(); l++)
    for (int c = 0; c < a.nc(); c++) t.rows[c][l] = a.rows[l][c];
  return t;
}

// Two rows per case: the second is the first times 10, with its own expected line.
struct PassCase {
  const char* name;
  std::vector<float> line;
  int out;
  double f;
  std::vector<float> want, want10;
};

const PassCase kPassCases[] = {
    // j * 0.6 rounds to 0, 1, 1, 2, 2.
    {"5 to 3", {1, 2, 4, 8, 16}, 3, 0.6, {1, 3, 12}, {10, 30, 120}},
    // j = 3 rounds to 2 and is clamped to 1: a float sum, then a float division.
    {"4 to 2", {1, 2, 4, 8}, 2, 0.5, {1, 14.0f / 3}, {10, 140.0f / 3}},
    // The last output reads beyond the edge and gets the last sample.
    {"2 to 4", {1, 3}, 4, 2, {1, 2, 3, 3}, {10, 20, 30, 30}},
    {"3 to 3", {5, -6, 7}, 3, 1, {5, -6, 7}, {50, -60, 70}},
    // Fractions 0, 1/3, 2/3: blends in double, stored as float.
    {"2 to 5", {0, 3}, 5, 1.5, {0, 2, 3, 3, 3}, {0, 20, 30, 30, 30}},
};

IMGFLT two_rows(const std::vector<float>& first, const std::vector<float>& second) {
  const int n = static_cast<int>(first.size());
  IMGFLT a(2, n);
  for (int c = 0; c < n; c++) {
    a.rows[0][c] = first[c];
    a.rows[1][c] = second[c];
  }
  return a;
}

TEST(ZoomArea, ColumnAndRowPasses) {
  for (const PassCase& t : kPassCases) {
    SCOPED_TRACE(t.name);
    std::vector<float> line10;
    for (float v : t.line) line10.push_back(10 * v);
    const IMGFLT a = two_rows(t.line, line10), want = two_rows(t.want, t.want10);
    IMGFLT b(2, t.out);
    ZoomF::zoomc(a, b, t.f);
    EXPECT_EQ(values(b), values(want));
    IMGFLT c(t.out, 2);
    ZoomF::zooml(transpose(a), c, t.f);
    EXPECT_EQ(values(c), values(transpose(want)));
  }
}

TEST(ZoomArea, EnlargingClampsTheOtherAxisToo) {
  const IMGFLT a = make(2, 2, {1, 2, 3, 4});
  IMGFLT b(3, 2), c(2, 3);
  ZoomF::zoomc(a, b, 1);
  EXPECT_EQ(values(b), (std::vector<double>{1, 2, 3, 4, 3, 4}));
  ZoomF::zooml(a, c, 1);
  EXPECT_EQ(values(c), (std::vector<double>{1, 2, 2, 3, 4, 4}));
}

TEST(ZoomArea, UnitFactorsKeepTheImage) {
  IMGFLT a = make(3, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12.5});
  a.lc = 0;
  a.cc = 3;
  a.backg = -7;
  for (const IMGFLT& r : {zoomfat(a, 1, 1), zoomnp(a, 3, 4)}) {
    EXPECT_EQ(values(r), values(a));
    EXPECT_EQ(r.lc, 0);
    EXPECT_EQ(r.cc, 3);
    EXPECT_EQ(r.backg, -7);
  }
}

// Columns first when the row factor is smaller, rows first otherwise.
TEST(ZoomArea, TwoPassOrderAndResultFrame) {
  IMGFLT a(4, 6);
  for (int k = 0; k < 24; k++) a.data[k] = static_cast<float>((k * 7) % 11) / 3;
  a.lc = 3;
  a.backg = 5;
  struct Case {
    double fatl, fatc;
    int N, M;
  };
  for (const Case t :
       {Case{0.5, 1.5, 2, 9}, Case{1.5, 0.5, 6, 3}, Case{0.75, 0.75, 3, 5}, Case{2, 2, 8, 12}}) {
    SCOPED_TRACE(t.fatl * 100 + t.fatc);
    const IMGFLT r = zoomfat(a, t.fatl, t.fatc);
    IMGFLT want(t.N, t.M);
    if (t.fatl < t.fatc) {
      IMGFLT tmp(a.nl, t.M);
      ZoomF::zoomc(a, tmp, t.fatc);
      ZoomF::zooml(tmp, want, t.fatl);
    } else {
      IMGFLT tmp(t.N, a.nc);
      ZoomF::zooml(a, tmp, t.fatl);
      ZoomF::zoomc(tmp, want, t.fatc);
    }
    EXPECT_EQ(values(r), values(want));
    EXPECT_EQ(r.lc, (t.N - 1) / 2);
    EXPECT_EQ(r.cc, (t.M - 1) / 2);
    EXPECT_EQ(r.backg, 0);
    const IMGFLT s = zoomnp(a, t.N, t.M);
    EXPECT_EQ(s.nl(), t.N);
    EXPECT_EQ(s.nc(), t.M);
  }
}

TEST(ZoomArea, GreyTruncatesOnTheWayBack) {
  IMGGRY g(1, 2);
  struct Case {
    int a, b, want;
  };
  for (const Case t : {Case{0, 1, 0}, Case{10, 20, 15}, Case{254, 255, 254}, Case{255, 255, 255}}) {
    g.data[0] = static_cast<unsigned char>(t.a);
    g.data[1] = static_cast<unsigned char>(t.b);
    const IMGGRY r = zoomnp(g, 1, 1);
    ASSERT_EQ(r.n(), 1);
    EXPECT_EQ(r.data[0], t.want) << t.a << "," << t.b;
  }
}

TEST(ZoomArea, GreyFrameAndOutsideValue) {
  IMGGRY g(3, 3);
  for (int k = 0; k < 9; k++) g.data[k] = static_cast<unsigned char>(28 * k);
  g.lc = 2;
  g.cc = 0;
  g.backg = 51;
  const IMGGRY same = zoomnp(g, 3, 3);
  EXPECT_EQ(values(same), values(g));
  EXPECT_EQ(same.lc, 1);  // always the default centre
  EXPECT_EQ(same.cc, 1);
  EXPECT_EQ(same.backg, 51);
  const IMGGRY other = zoomnp(g, 5, 2);
  EXPECT_EQ(other.nl(), 5);
  EXPECT_EQ(other.nc(), 2);
  EXPECT_EQ(other.lc, 2);
  EXPECT_EQ(other.cc, 0);
  EXPECT_EQ(other.backg, 0);
}

TEST(ZoomArea, ColourRunsOnEachChannel) {
  IMGCOR a(3, 5);
  for (int k = 0; k < 15; k++)
    a.data[k] = COR{static_cast<unsigned char>(17 * k), static_cast<unsigned char>(250 - 11 * k),
                    static_cast<unsigned char>((k * 101) % 256)};
  a.lc = 0;
  a.backg = COR{4, 5, 6};
  const IMGCOR r = zoomnp(a, 4, 2);
  ASSERT_EQ(r.nl(), 4);
  ASSERT_EQ(r.nc(), 2);
  EXPECT_EQ(r.lc, 1);
  EXPECT_EQ(r.cc, 0);
  EXPECT_EQ(r.backg, (COR{0, 0, 0}));
  const IMGGRY want[3] = {zoomnp(red(a), 4, 2), zoomnp(green(a), 4, 2), zoomnp(blue(a), 4, 2)};
  for (int k = 0; k < 8; k++) {
    EXPECT_EQ(r.data[k].r, want[0].data[k]);
    EXPECT_EQ(r.data[k].g, want[1].data[k]);
    EXPECT_EQ(r.data[k].b, want[2].data[k]);
  }
}

// The grey shrink on every tier (portable, AVX2, AVX-512 where the processor has them) against the
// float zoom of the converted image, bit for bit: random bytes, bytes ramping along the rows (every
// value in every lane), constant 0, 1 and 255; factors with rows and columns in either order, odd
// sizes, groups of one to many. The colour zoom of three of them as planes is those planes' zooms.
TEST(ZoomArea, GreyShrinkIsTheFloatZoomOnEveryTier) {
  struct Size {
    int nl, nc;
  };
  const Size sources[] = {{1, 1}, {7, 67},  {12, 131}, {1, 257},  {2, 2},
                          {5, 9}, {33, 29}, {64, 200}, {67, 1031}};
  const double factors[] = {0.5, 1.0 / 3, 2.5, 1, 0.7, 0.49, 0.9, 0.26, 0.37, 0.25, 0.75, 0.6, 1.5};
  std::mt19937 gen(5);
  auto fills = [&](int nl, int nc) {
    std::vector<IMGGRY> v;
    v.push_back(testutil::image<IMGGRY>(nl, nc, [&](int, int) { return gen() % 256; }));
    v.push_back(testutil::image<IMGGRY>(nl, nc, [](int l, int c) { return (c + 37 * l) % 256; }));
    for (int k : {0, 1, 255}) v.push_back(IMGGRY(nl, nc, static_cast<unsigned char>(k)));
    for (IMGGRY& a : v) {
      a.backg = 77;
      a.lc = nl - 1;
    }
    return v;
  };
  // Planes of the colour image: random, ramp, 255.
  const int kRgb[3] = {0, 1, 4};
  for (const Size& s : sources) {
    const std::vector<IMGGRY> planes = fills(s.nl, s.nc);
    IMGCOR colour = iprisma(planes[kRgb[0]], planes[kRgb[1]], planes[kRgb[2]]);
    colour.lc = s.nl - 1;
    colour.backg = COR{77, 78, 79};
    std::vector<Size> targets = {{s.nl / 2 + 1, s.nc / 2 + 1}, {s.nl / 3 + 2, s.nc / 2}};
    for (double fl : factors)
      for (double fc : factors)
        targets.push_back({std::max(1, static_cast<int>(std::lround(s.nl * fl))),
                           std::max(1, static_cast<int>(std::lround(s.nc * fc)))});
    for (const Size& t : targets) {
      if (t.nl < 1 || t.nc < 1) continue;
      SCOPED_TRACE(std::to_string(s.nl) + "x" + std::to_string(s.nc) + " to " +
                   std::to_string(t.nl) + "x" + std::to_string(t.nc));
      std::vector<IMGGRY> want;
      {
        vistelmo::ScopedIsa plain(vistelmo::Isa::kPlain);
        for (const IMGGRY& a : planes) want.push_back(IMGGRY(zoomnp(IMGFLT(a), t.nl, t.nc)));
      }
      const IMGCOR want_colour = iprisma(want[kRgb[0]], want[kRgb[1]], want[kRgb[2]]);
      testutil::for_each_isa([&] {
        for (size_t k = 0; k < planes.size(); k++) {
          SCOPED_TRACE("plane " + std::to_string(k));
          const IMGGRY got = zoomnp(planes[k], t.nl, t.nc);
          EXPECT_EQ(got.lc, want[k].lc);
          EXPECT_EQ(got.cc, want[k].cc);
          EXPECT_EQ(got.backg, want[k].backg);
          EXPECT_TRUE(testutil::same_pixels(got, want[k]));
        }
        const IMGCOR got = zoomnp(colour, t.nl, t.nc);
        EXPECT_EQ(got.lc, want_colour.lc);
        EXPECT_EQ(got.cc, want_colour.cc);
        EXPECT_EQ(got.backg, want_colour.backg);
        EXPECT_TRUE(testutil::same_pixels(got, want_colour));
      });
    }
  }
}

// The row kernel of pairs on each level that has one against the float means written out here:
// every pair of values of the first two rows (column 4 q + p holds q % 256 and q / 256 for every
// p), random further rows, both orders, one to four rows, an odd start and a short last step.
TEST(ZoomArea, GreyPairKernelTakesEveryPairOfRowValues) {
  const float* unit = vistelmo::kByteUnits<float>.v;
  const int kCols = 4 * 65536 + 10, kCount = kCols / 2;
  std::mt19937 gen(11);
  std::vector<std::vector<unsigned char>> data(4, std::vector<unsigned char>(kCols + 1));
  for (int j = 0; j < kCols + 1; j++) {
    const int q = j / 4 % 65536;
    data[0][j] = static_cast<unsigned char>(j < 4 * 65536 ? q % 256 : gen() % 256);
    data[1][j] = static_cast<unsigned char>(j < 4 * 65536 ? q / 256 : gen() % 256);
    data[2][j] = static_cast<unsigned char>(gen() % 256);
    data[3][j] = static_cast<unsigned char>(gen() % 256);
  }
  std::vector<unsigned char> got(kCount), want(kCount);
  testutil::for_each_isa([&] {
    const vistelmo::AreaKernels& kernels = vistelmo::area_kernels();
    if (kernels.pair_means == nullptr) return;
    for (bool pairs_first : {false, true})
      for (int n = 1; n <= 4; n++)
        for (int j0 : {0, 1}) {
          SCOPED_TRACE(std::string(pairs_first ? "pairs" : "rows") + " n " + std::to_string(n) +
                       " j0 " + std::to_string(j0));
          const unsigned char* rows[4] = {data[0].data(), data[1].data(), data[2].data(),
                                          data[3].data()};
          for (int k = 0; k < kCount; k++) {
            const int c[2] = {j0 + 2 * k, j0 + 2 * k + 1};
            float sum = 0.0f;
            if (pairs_first) {
              for (int r = 0; r < n; r++)
                sum += (0.0f + unit[rows[r][c[0]]] + unit[rows[r][c[1]]]) / 2;
              want[k] = vistelmo::unit_to_byte(sum / n);
            } else {
              for (int i = 0; i < 2; i++) {
                float v = 0.0f;
                for (int r = 0; r < n; r++) v += unit[rows[r][c[i]]];
                sum += v / n;
              }
              want[k] = vistelmo::unit_to_byte(sum / 2);
            }
          }
          std::fill(got.begin(), got.end(), 0);
          ASSERT_EQ(kernels.pair_means(pairs_first, rows, n, j0, kCount, got.data()), kCount);
          EXPECT_TRUE(got == want);
        }
  });
}

// Fills a stretch of the stack with set bits, so that a kernel reading an accumulator it never
// wrote would likely see them.
__attribute__((noinline)) void soil_stack() {
  volatile unsigned char junk[16384];
  for (size_t i = 0; i < sizeof junk; i++) junk[i] = 0xFF;
}

// With no rows the row kernels' sums start and end at zero: 0 / 0 is a NaN, which every output
// takes to 0 (unit_to_byte), on every level that has them, whatever the stack held.
TEST(ZoomArea, RowKernelsWithNoRowsGiveZeros) {
  std::vector<unsigned char> row(256, 200);
  const unsigned char* rows[1] = {row.data()};
  // Sixteen outputs of two adjacent columns each, for the mixed blocks.
  vistelmo::MixedBlock b{};
  b.k0 = 0, b.count = 16, b.j0 = 0, b.span = 32, b.members = 2, b.divide = false;
  for (int d = 0; d < 16; d++) {
    b.size[d] = 2, b.fold[d] = 0.5f;
    for (int i = 0; i < 2; i++) {
      b.at[4 * d + i] = static_cast<unsigned char>(2 * d + i);
      b.near[4 * d + i] = static_cast<unsigned char>(2 * d + i - 8 * (d / 4));
    }
  }
  for (int q = 0; q < 4; q++) b.quarter[q] = 8 * q;
  testutil::for_each_isa([&] {
    const vistelmo::AreaKernels& kernels = vistelmo::area_kernels();
    if (!kernels.shrinks()) return;
    for (bool pairs_first : {false, true}) {
      SCOPED_TRACE(pairs_first ? "pairs" : "rows");
      for (int count : {16, 40}) {
        std::vector<unsigned char> out(count, 0xAA);
        soil_stack();
        ASSERT_EQ(kernels.pair_means(pairs_first, rows, 0, 1, count, out.data()), count);
        EXPECT_EQ(out, std::vector<unsigned char>(count, 0)) << "pairs of " << count;
        if (kernels.quad_means != nullptr) {
          std::fill(out.begin(), out.end(), 0xAA);
          soil_stack();
          ASSERT_EQ(kernels.quad_means(pairs_first, rows, 0, 1, count, out.data()), count);
          EXPECT_EQ(out, std::vector<unsigned char>(count, 0)) << "quads of " << count;
        }
      }
      std::vector<unsigned char> out(16, 0xAA);
      soil_stack();
      kernels.mixed_means(pairs_first, rows, 0, &b, 1, out.data());
      EXPECT_EQ(out, std::vector<unsigned char>(16, 0)) << "mixed";
    }
  });
}

// Floats to bytes on every level as unit_to_byte takes each: NaN, infinities, signed zeros, values
// outside [0, 1] and on either side of each step k / 255, in runs of every length around the
// vector widths.
TEST(ZoomArea, UnitsToBytesIsUnitToByteOnEveryLevel) {
  std::vector<float> v = {std::numeric_limits<float>::quiet_NaN(),
                          -std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          0.0f,
                          -0.0f,
                          -1e-30f,
                          1e-45f,
                          1.0f,
                          std::nextafter(1.0f, 2.0f),
                          std::nextafter(1.0f, 0.0f),
                          3e38f,
                          -2.5f};
  for (int k = 0; k <= 255; k++) {
    const float step = static_cast<float>(k / 255.0);
    v.push_back(step);
    v.push_back(std::nextafter(step, 0.0f));
    v.push_back(std::nextafter(step, 2.0f));
  }
  testutil::Rng rng(3);
  while (v.size() < 1000) v.push_back(static_cast<float>(rng.below(1200001) / 1e6 - 0.1));
  testutil::for_each_isa([&] {
    const auto units_to_bytes = vistelmo::area_kernels().units_to_bytes;
    for (int n : {0, 1, 3, 4, 7, 8, 15, 16, 17, 31, 33, 65, 999}) {
      for (int at : {0, 1, 5}) {
        SCOPED_TRACE("n " + std::to_string(n) + " from " + std::to_string(at));
        std::vector<unsigned char> got(n + 1, 0xAA), want(n + 1, 0xAA);
        for (int c = 0; c < n; c++) want[c] = vistelmo::unit_to_byte(v[at + c]);
        units_to_bytes(v.data() + at, n, got.data());
        EXPECT_EQ(got, want);
      }
    }
  });
}

// The channel rows of colour pixels and back on every level, against the bytes picked one by one:
// widths around the vector steps, with and without a row to fetch ahead, nothing written past n.
TEST(ZoomArea, ChannelSplitAndMergeOnEveryLevel) {
  testutil::Rng rng(17);
  testutil::for_each_isa([&] {
    const vistelmo::AreaKernels& kernels = vistelmo::area_kernels();
    for (int n : {0, 1, 2, 31, 32, 33, 63, 64, 65, 127, 200, 1031}) {
      SCOPED_TRACE("n " + std::to_string(n));
      std::vector<unsigned char> src(3 * n + 3), ahead(3 * n);
      for (unsigned char& v : src) v = static_cast<unsigned char>(rng.below(256));
      std::vector<std::vector<unsigned char>> want(3, std::vector<unsigned char>(n + 1, 0xAA));
      for (int i = 0; i < n; i++)
        for (int ch = 0; ch < 3; ch++) want[ch][i] = src[3 * i + ch];
      for (const unsigned char* next : {static_cast<const unsigned char*>(nullptr),
                                        static_cast<const unsigned char*>(ahead.data())}) {
        std::vector<std::vector<unsigned char>> got(3, std::vector<unsigned char>(n + 1, 0xAA));
        unsigned char* const planes[3] = {got[0].data(), got[1].data(), got[2].data()};
        kernels.split_channels(src.data(), n, planes, next);
        EXPECT_EQ(got, want);
      }
      const unsigned char* const planes[3] = {want[0].data(), want[1].data(), want[2].data()};
      std::vector<unsigned char> merged(3 * n + 3, 0xAA);
      kernels.merge_channels(planes, n, merged.data());
      EXPECT_TRUE(std::equal(merged.begin(), merged.begin() + 3 * n, src.begin()));
      EXPECT_EQ(merged[3 * n], 0xAA);
    }
  });
}

// The float zoom on every tier is the plain tier's, bit for bit (signed zeros and NaN too).
TEST(ZoomArea, FloatZoomIsThePlainOneOnEveryTier) {
  struct Size {
    int nl, nc;
  };
  const Size sources[] = {{1, 1}, {7, 67}, {12, 131}, {1, 257}, {40, 1031}};
  const double factors[] = {0.5, 1.0 / 3, 2.5, 1, 0.7, 1.5};
  std::mt19937 gen(9);
  std::uniform_real_distribution<float> value(-2, 2);
  for (const Size& s : sources) {
    IMGFLT a = testutil::image<IMGFLT>(s.nl, s.nc, [&](int, int) { return value(gen); });
    a.rows[0][0] = -0.0f;
    a.rows[s.nl - 1][s.nc / 2] = std::numeric_limits<float>::quiet_NaN();
    for (double fl : factors)
      for (double fc : factors) {
        const int nl = std::max(1, static_cast<int>(std::lround(s.nl * fl))),
                  nc = std::max(1, static_cast<int>(std::lround(s.nc * fc)));
        SCOPED_TRACE(std::to_string(s.nl) + "x" + std::to_string(s.nc) + " to " +
                     std::to_string(nl) + "x" + std::to_string(nc));
        const IMGFLT want = [&] {
          vistelmo::ScopedIsa plain(vistelmo::Isa::kPlain);
          return zoomnp(a, nl, nc);
        }();
        testutil::for_each_isa(
            [&] { ASSERT_TRUE(testutil::same_pixels(zoomnp(a, nl, nc), want)); });
      }
  }
}

TEST(ZoomArea, EmptySourceGivesTheRequestedSize) {
  const IMGFLT r = zoomnp(IMGFLT(), 2, 3);
  EXPECT_EQ(values(r), std::vector<double>(6, 0.0));
}

TEST(ZoomAreaDeath, Messages) {
  const IMGFLT a(4, 4, 1.0f);
  const char* index = "Erro VETOR::operator() - Indice invalido";
  EXPECT_ERRO(zoomfat(a, 0.1, 1), index, "");  // round(0.4) = 0 rows
  EXPECT_ERRO(zoomfat(a, 1, 0.1), index, "");
  EXPECT_ERRO(zoomfat(a, 0, 2), "Erro: fatl<=0", "");
  EXPECT_ERRO(zoomfat(a, 2, -1), "Erro: fatc<=0", "");
  EXPECT_ERRO(zoomfat(a, -1, -1), "Erro: fatl<=0", "");
  EXPECT_ERRO(zoomfat(a, std::numeric_limits<double>::quiet_NaN(), 1), "Erro: fatl<=0", "");
  EXPECT_ERRO(zoomnp(a, 0, 5), "Erro: b.nl<=0", "");
  EXPECT_ERRO(zoomnp(a, 5, 0), "Erro: b.nc<=0", "");
  EXPECT_ERRO(zoomnp(IMGGRY(a), -1, 5), "Erro: b.nl<=0", "");
  EXPECT_ERRO(zoomnp(IMGCOR(a), 2, 0), "Erro: b.nc<=0", "");
  IMGFLT b(4, 2), narrow(2, 2);
  EXPECT_ERRO(ZoomF::zoomc(a, b, -0.5), index, "");
  EXPECT_ERRO(ZoomF::zooml(a, b, -0.5), index, "");
  // 0 times an infinite factor is no index at all.
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_ERRO(ZoomF::zoomc(a, b, -inf), index, "");
  EXPECT_ERRO(ZoomF::zooml(a, b, -inf), index, "");
  // A shrinking pass whose output has fewer lines along the kept axis.
  EXPECT_ERRO(ZoomF::zoomc(a, narrow, 0.5), "Erro ZoomF::zoomc - b.nl<a.nl", "");
  EXPECT_ERRO(ZoomF::zooml(a, narrow, 0.5), "Erro ZoomF::zooml - b.nc<a.nc", "");
}

}  // namespace
