// Resampling: the border rules against the element access, and the fast loops of rotation and
// zoom against the plain per-sample ones, bit for bit.
#include <immintrin.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "processing/algebra/planes.h"
#include "processing/algebra/rotation.h"
#include "processing/algebra/zoom.h"
#include "processing/algebra/zoom_area.h"
#include "processing/kernels/resample.h"
#include "processing/kernels/resample_rows.h"
#include "support/isa_levels.h"
#include "support/test_support.h"

namespace {

// Every letter and code a sampler takes, but 'e' (outside samples end the program).
const char kModes[] = {'n', 'x', 'r', 'c', 's', 'N', 'X', 'C', 0, 1, 3, 4, 5, 10, 11, 14};

struct Shape {
  int nl, nc, lc, cc;
};
const Shape kShapes[] = {{1, 1, 0, 0},    {1, 4, 0, 2},    {4, 1, 3, 0},  {3, 5, 1, 2},
                         {3, 5, -2, 7},   {0, 0, 0, 0},    {2, 6, 5, -3}, {7, 67, 3, 33},
                         {12, 131, 6, 0}, {1, 257, 0, 128}};

// Random pixels of the shape, its centre and an unusual outside value.
template <class Img>
Img shaped(const Shape& s, unsigned seed) {
  using Pixel = typename Img::Pixel;
  Img a = testutil::noise<Img>(s.nl, s.nc, seed, [](std::mt19937& g) {
    const float v = static_cast<float>(g() % 25600) / 100.0f;
    if constexpr (std::is_same_v<Pixel, unsigned char>)
      return static_cast<Pixel>(g() % 256);
    else if constexpr (std::is_same_v<Pixel, float>)
      return v;
    else
      return Pixel(v, static_cast<float>(g() % 1000) / 8.0f - 60.0f);
  });
  a.lc = s.lc;
  a.cc = s.cc;
  if constexpr (std::is_same_v<Pixel, unsigned char>)
    a.backg = 201;
  else if constexpr (std::is_same_v<Pixel, float>)
    a.backg = -7.5f;
  else
    a.backg = {1.5f, -2.0f};
  return a;
}

// Same frame, outside value and pixel bits.
template <class Img>
::testing::AssertionResult same_bits(const Img& a, const Img& b) {
  if (a.lc != b.lc || a.cc != b.cc) return ::testing::AssertionFailure() << "centres differ";
  if (!testutil::same(a.backg, b.backg))
    return ::testing::AssertionFailure() << "outside values differ";
  return testutil::same_pixels(a, b);
}

// The result of op on every level equals the plain level's.
template <class Op>
void expect_levels_agree(Op op) {
  const auto plain = [&] {
    vistelmo::ScopedIsa at(vistelmo::Isa::kPlain);
    return op();
  }();
  testutil::for_each_isa([&] { EXPECT_TRUE(same_bits(op(), plain)); });
}

// The resolvers themselves are in the border rule's table test (tests/images/border_test.cpp).
TEST(ResampleBorder, ErrorAndUnknownModesFailAsTheElementAccess) {
  const IMGGRY a = shaped<IMGGRY>({3, 5, 1, 2}, 4);
  EXPECT_ERRO(rotacao(a, 45, 'b', 'm', 'e'), "Indice invalido", "");
  IMGFLT b(4, 4);
  EXPECT_ERRO(ZoomF::zoomx(IMGFLT(a), b, 2, 'q'), "Erro: Modo de acesso invalido", "");
  EXPECT_ERRO(ZoomF::zoomy(IMGFLT(a), b, 0.5, 'e'), "Indice invalido", "");
}

// A destination of about the source's size times the factors, centred somewhere inside.
template <class Img>
Img destination(const Shape& sh, double fx, double fy) {
  Img b(static_cast<int>(sh.nl * fy) + 1, static_cast<int>(sh.nc * fx) + 2);
  b.lc = b.nl / 2;
  b.cc = b.nc / 3;
  if constexpr (std::is_same_v<Img, IMGCOR>)
    b.backg = COR{9, 9, 9};
  else
    b.backg = 9;
  return b;
}

// Trace text of a case.
std::string label(const Shape& sh, double u, double v) {
  return std::to_string(sh.nl) + "x" + std::to_string(sh.nc) + " " + std::to_string(u) + " " +
         std::to_string(v);
}

// Shapes wide enough for whole groups of columns inside, beside and off the source.
const Shape kWideShapes[] = {{37, 90, 18, 45}, {70, 33, 10, 30}, {16, 200, 3, 150}};

const double kAngles[] = {0, 90, 180, -45, 30, 17.3, 270};
const double kFactors[] = {1, 0.5, 1.0 / 3, 2.5, 0.7, 4, 0.25};

TEST(ResampleTiers, RotationAgreesOnEveryTier) {
  std::vector<Shape> shapes(std::begin(kShapes), std::end(kShapes));
  shapes.insert(shapes.end(), std::begin(kWideShapes), std::end(kWideShapes));
  for (const Shape& sh : shapes) {
    const IMGGRY g = shaped<IMGGRY>(sh, 5);
    const IMGFLT f = shaped<IMGFLT>(sh, 6);
    const IMGCPX x = shaped<IMGCPX>(sh, 7);
    for (double deg : kAngles)
      for (char interp : {'n', 'b'})
        for (char frame : {'m', 'a'}) {
          SCOPED_TRACE(std::to_string(sh.nl) + "x" + std::to_string(sh.nc) + " " +
                       std::to_string(deg) + interp + frame);
          expect_levels_agree([&] { return rotacao(f, deg, interp, frame); });
          expect_levels_agree([&] { return rotacao(x, deg, interp, frame); });
          for (char mode : kModes) {
            SCOPED_TRACE(std::to_string(mode));
            expect_levels_agree([&] { return rotacao(g, deg, interp, frame, mode); });
          }
        }
  }
}

TEST(ResampleTiers, RotationWithZoomAgreesOnEveryTier) {
  for (const Shape& sh : kShapes) {
    const IMGGRY g = shaped<IMGGRY>(sh, 8);
    const IMGFLT f = shaped<IMGFLT>(sh, 9);
    for (double deg : kAngles)
      for (double fac : kFactors) {
        SCOPED_TRACE(label(sh, deg, fac));
        for (char mode : {'C', 'X'})
          expect_levels_agree([&] {
            IMGGRY r = destination<IMGGRY>(sh, 1.5, 1);
            rotzoom(g, r, deg, fac, mode);
            return r;
          });
        for (char mode : kModes)
          expect_levels_agree([&] {
            IMGFLT r = destination<IMGFLT>(sh, 1, 1.5);
            rotzoom(f, r, deg, fac, mode);
            return r;
          });
      }
  }
}

// A colour image whose channels are three unrelated grey images.
IMGCOR colour(const Shape& sh, unsigned seed) {
  const IMGGRY r = shaped<IMGGRY>(sh, seed), g = shaped<IMGGRY>(sh, seed + 1),
               b = shaped<IMGGRY>(sh, seed + 2);
  IMGCOR c = iprisma(r, g, b);
  c.lc = sh.lc;
  c.cc = sh.cc;
  c.backg = COR{7, 8, 9};
  return c;
}

// op(plane, result plane) on each plane of a into planes of frame's size and centre, merged.
template <class Op>
IMGCOR by_planes(const IMGCOR& a, const IMGCOR& frame, Op op) {
  IMGGRY p[3];
  prisma(a, p[0], p[1], p[2]);
  IMGGRY q[3];
  for (int k = 0; k < 3; k++) {
    q[k] = IMGGRY(frame.nl, frame.nc);
    q[k].lc = frame.lc;
    q[k].cc = frame.cc;
    op(p[k], q[k]);
  }
  return iprisma(q[0], q[1], q[2]);
}

// Colour rotation with zoom is the grey one on each plane, merged (its outside value 0).
TEST(ResampleTiers, ColourRotationWithZoomIsThePlanesOnEveryTier) {
  for (const Shape& sh : kShapes) {
    const IMGCOR a = colour(sh, 20);
    for (double deg : kAngles)
      for (double fac : kFactors)
        for (char mode : {'C', 'X'}) {
          SCOPED_TRACE(label(sh, deg, fac) + mode);
          const IMGCOR want = [&] {
            vistelmo::ScopedIsa plain(vistelmo::Isa::kPlain);
            return by_planes(a, destination<IMGCOR>(sh, 1, 1.5),
                             [&](const IMGGRY& p, IMGGRY& q) { rotzoom(p, q, deg, fac, mode); });
          }();
          expect_levels_agree([&] {
            IMGCOR got = destination<IMGCOR>(sh, 1, 1.5);
            rotzoom(a, got, deg, fac, mode);
            EXPECT_TRUE(same_bits(got, want));
            return got;
          });
        }
  }
}

TEST(ResampleTiers, WideRotationsWithZoomAgreeOnEveryTier) {
  for (const Shape& sh : kWideShapes) {
    const IMGGRY g = shaped<IMGGRY>(sh, 15);
    const IMGCOR a = colour(sh, 16);
    for (double deg : kAngles)
      for (double fac : {1.0, 1.5, 2.5, 0.5, 1.0 / 3})
        for (char mode : {'C', 'X'}) {
          SCOPED_TRACE(label(sh, deg, fac) + mode);
          expect_levels_agree([&] {
            IMGGRY r = destination<IMGGRY>(sh, 1, 1);
            rotzoom(g, r, deg, fac, mode);
            return r;
          });
          expect_levels_agree([&] {
            IMGCOR r = destination<IMGCOR>(sh, 1.2, 1);
            rotzoom(a, r, deg, fac, mode);
            return r;
          });
        }
  }
}

// Sources large enough for the inner rows to fetch ahead.
TEST(ResampleTiers, LargeRotationsAgreeOnEveryTier) {
  const Shape sh = {1500, 1501, 700, 760};
  const IMGFLT f = shaped<IMGFLT>(sh, 24);
  expect_levels_agree([&] { return rotacao(f, 30, 'n', 'm'); });
  const IMGCOR a = colour({1200, 1201, 600, 500}, 25);
  expect_levels_agree([&] {
    IMGCOR r(1200, 1201);
    rotzoom(a, r, -17.3, 1.5, 'C');
    return r;
  });
}

// A rotation-zoom into its own source reads the source as it was.
TEST(ResampleTiers, RotationWithZoomIntoItsSource) {
  const Shape sh = {37, 90, 18, 45};
  auto check = [](auto a) {
    for (double fac : {1.5, 0.5}) {
      auto want = a, got = a;
      rotzoom(a, want, 30, fac, 'X');
      rotzoom(got, got, 30, fac, 'X');
      EXPECT_TRUE(same_bits(got, want)) << fac;
    }
  };
  check(shaped<IMGGRY>(sh, 21));
  check(shaped<IMGFLT>(sh, 22));
  check(colour(sh, 23));
}

// The bilinear and nearest loops of table k for s: any sampler's, or the block forms where s
// allows them.
template <class Img>
std::pair<typename vistelmo::RowKernels<Img>::Loop, typename vistelmo::RowKernels<Img>::Loop> loops(
    const vistelmo::Sampler<Img>& s, const vistelmo::ResampleKernels& k, bool block) {
  const vistelmo::RowKernels<Img>& rows = vistelmo::row_kernels<Img>(k);
  if (block && vistelmo::rows_form_block(s)) return {rows.block_bilinear, rows.block_nearest};
  return {rows.bilinear, rows.nearest};
}

// The row loops of every level's table straight (the block forms where the sampler allows them),
// on maps whose positions fall on halves, far off (zoom factor near 0) or are not numbers
// (factor 0), against the one-column loops.
TEST(ResampleTiers, RowLoopsAgreeOnAwkwardMaps) {
  std::vector<const vistelmo::ResampleKernels*> tables;
  testutil::for_each_isa([&] { tables.push_back(&vistelmo::resample_kernels()); });
  const Shape shapes[] = {{12, 131, 6, 60}, {7, 67, 3, 33}, {1, 257, 0, 128}, {1, 1, 0, 0}};
  const double factors[] = {1, 2, 0.5, 1e-12, 0};
  const double turns[][2] = {{1, 0}, {0, 1}, {-1, 0}, {0.6, 0.8}, {0.8660254037844387, 0.5}};
  const double shifts[][2] = {{0, 0},       {3, -2},
                              {0.5, 2.5},   {-0.5, 1e9},
                              {-7.5, -3.5}, {0.49999999999999994, -2.4999999999999996}};
  for (const Shape& sh : shapes) {
    const IMGGRY g = shaped<IMGGRY>(sh, 17);
    const IMGFLT f = shaped<IMGFLT>(sh, 18);
    const IMGCOR a = colour(sh, 19);
    const IMGCPX z = shaped<IMGCPX>(sh, 26);
    for (char mode : kModes) {
      const vistelmo::Sampler<IMGGRY> sg(g, mode);
      const vistelmo::Sampler<IMGFLT> sf(f, mode);
      const vistelmo::Sampler<IMGCOR> sa(a, mode, COR{3, 4, 5});
      const vistelmo::Sampler<IMGCPX> sz(z, mode);
      for (double fac : factors)
        for (const auto& t : turns)
          for (const auto& pq : shifts) {
            const int width = 2 * sh.nc + 5, cc = sh.nc;
            vistelmo::ColumnTerms terms(cc, fac, t[0], t[1]);
            SCOPED_TRACE(label(sh, fac, t[0]) + " " + std::to_string(pq[0]) + " " +
                         std::to_string(pq[1]) + " " + std::to_string(mode));
            auto blend = [](auto& p, double dx, double dy, const auto& q) {
              vistelmo::store_blend(p, vistelmo::bilinear_weights(dx, dy), q);
            };
            for (int from : {0, 3}) {
              const vistelmo::RowMap m = terms.map(from, width, pq[0], pq[1]);
              std::vector<unsigned char> gn(width), gb(width), wgn(width), wgb(width);
              std::vector<float> fn(width), wfn(width), fb(width), wfb(width);
              std::vector<COR> ab(width), wab(width);
              std::vector<std::complex<float>> zb(width), wzb(width);
              // The complex blend of rotacao: weights rounded to float, float products and sums.
              auto complex_blend = [](std::complex<float>& p, double dx, double dy,
                                      const vistelmo::SampleQuad<std::complex<float>>& q) {
                const float w[4] = {static_cast<float>((1 - dx) * (1 - dy)),
                                    static_cast<float>((1 - dx) * dy),
                                    static_cast<float>(dx * (1 - dy)), static_cast<float>(dx * dy)};
                const std::complex<float> v[4] = {q.s00, q.s01, q.s10, q.s11};
                float re = w[0] * v[0].real(), im = w[0] * v[0].imag();
                for (int n = 1; n < 4; n++) {
                  re = re + w[n] * v[n].real();
                  im = im + w[n] * v[n].imag();
                }
                p = {re, im};
              };
              vistelmo::bilinear_row(sz, from, width, m,
                                     [&](int c, double dx, double dy, const auto& q) {
                                       complex_blend(wzb[c], dx, dy, q);
                                     });
              vistelmo::nearest_row(sg, from, width, m,
                                    [&](int c, unsigned char v) { wgn[c] = v; });
              vistelmo::nearest_row(sf, from, width, m, [&](int c, float v) { wfn[c] = v; });
              vistelmo::bilinear_row(
                  sg, from, width, m,
                  [&](int c, double dx, double dy, const auto& q) { blend(wgb[c], dx, dy, q); });
              vistelmo::bilinear_row(
                  sf, from, width, m,
                  [&](int c, double dx, double dy, const auto& q) { blend(wfb[c], dx, dy, q); });
              vistelmo::bilinear_row(
                  sa, from, width, m,
                  [&](int c, double dx, double dy, const auto& q) { blend(wab[c], dx, dy, q); });
              for (size_t t = 0; t < tables.size(); t++)
                for (bool block : {false, true}) {
                  const vistelmo::ResampleKernels& k = *tables[t];
                  if (block && k.grey.block_bilinear == nullptr) continue;
                  SCOPED_TRACE("table " + std::to_string(t) + (block ? " block" : ""));
                  loops(sg, k, block).second(sg, from, width, m, gn.data());
                  loops(sf, k, block).second(sf, from, width, m, fn.data());
                  loops(sg, k, block).first(sg, from, width, m, gb.data());
                  loops(sf, k, block).first(sf, from, width, m, fb.data());
                  loops(sz, k, block).first(sz, from, width, m, zb.data());
                  loops(sa, k, block).first(sa, from, width, m, ab.data());
                  for (int c = from; c < width; c++) {
                    ASSERT_EQ(gn[c], wgn[c]) << c;
                    ASSERT_TRUE(testutil::same(fn[c], wfn[c])) << c;
                    ASSERT_EQ(gb[c], wgb[c]) << c;
                    // Where a position is 0/0 the weights are NaNs of either sign, and which one a
                    // product keeps follows the compiler's operand order: any NaN matches.
                    ASSERT_TRUE(testutil::same_or_both_nan(fb[c], wfb[c])) << c;
                    ASSERT_TRUE(testutil::same(ab[c], wab[c])) << c;
                    ASSERT_TRUE(testutil::same_or_both_nan(zb[c].real(), wzb[c].real())) << c;
                    ASSERT_TRUE(testutil::same_or_both_nan(zb[c].imag(), wzb[c].imag())) << c;
                  }
                }
            }
          }
    }
  }
}

// Colour zoom is the grey one on each plane, merged (its outside value 0), on every tier.
TEST(ResampleTiers, ColourZoomIsThePlanesOnEveryTier) {
  for (const Shape& sh : kShapes) {
    const IMGCOR a = colour(sh, 30);
    for (double fx : kFactors)
      for (double fy : kFactors)
        for (char mode : {'C', 'X'}) {
          SCOPED_TRACE(label(sh, fx, fy) + mode);
          const IMGCOR want = [&] {
            vistelmo::ScopedIsa plain(vistelmo::Isa::kPlain);
            return by_planes(a, destination<IMGCOR>(sh, fx, fy),
                             [&](const IMGGRY& p, IMGGRY& q) { zoomfat(p, q, fx, fy, mode); });
          }();
          expect_levels_agree([&] {
            IMGCOR got = destination<IMGCOR>(sh, fx, fy);
            zoomfat(a, got, fx, fy, mode);
            EXPECT_TRUE(same_bits(got, want));
            return got;
          });
        }
  }
}

TEST(ResampleTiers, ZoomPassesAgreeOnEveryTier) {
  for (const Shape& sh : kShapes) {
    const IMGGRY g = shaped<IMGGRY>(sh, 10);
    const IMGFLT f = shaped<IMGFLT>(sh, 11);
    for (double fx : kFactors)
      for (double fy : kFactors) {
        SCOPED_TRACE(label(sh, fx, fy));
        for (char mode : {'C', 'X'})
          expect_levels_agree([&] {
            IMGGRY b = destination<IMGGRY>(sh, fx, fy);
            zoomfat(g, b, fx, fy, mode);
            return b;
          });
        for (char mode : kModes) {
          SCOPED_TRACE(std::to_string(mode));
          expect_levels_agree([&] {
            IMGFLT b = destination<IMGFLT>(sh, fx, fy);
            ZoomF::zoomx(f, b, fx, mode);
            return b;
          });
          expect_levels_agree([&] {
            IMGFLT b = destination<IMGFLT>(sh, fx, fy);
            ZoomF::zoomy(f, b, fy, mode);
            return b;
          });
        }
      }
  }
}

// The byte means of every level's table against their one-at-a-time forms, on run lengths around
// each vector width and a very wide one, from random bytes and from bytes all 255 (the largest
// sums), the inputs at odd addresses.
TEST(ResampleTiers, ByteMeanKernelsMatchTheOneByOneForms) {
  const int lengths[] = {0, 1, 2, 7, 15, 16, 17, 31, 32, 33, 47, 63, 64, 65, 127, 129, 4099};
  testutil::Rng rng(41);
  for (bool full : {false, true}) {
    std::vector<unsigned char> src(6 * 4099 + 7), rows[4];
    for (auto& v : src) v = full ? 255 : static_cast<unsigned char>(rng.below(256));
    for (auto& r : rows) {
      r.resize(4099 + 1);
      for (auto& v : r) v = full ? 255 : static_cast<unsigned char>(rng.below(256));
    }
    const unsigned char* in = src.data() + 1;
    const unsigned char* const r[4] = {rows[0].data() + 1, rows[1].data() + 1, rows[2].data() + 1,
                                       rows[3].data() + 1};
    testutil::for_each_isa([&] {
      const vistelmo::ResampleKernels& k = vistelmo::resample_kernels();
      for (int n : lengths) {
        SCOPED_TRACE(n);
        std::vector<unsigned char> got(3 * n + 1, 7), want(3 * n + 1, 7);
        k.pair_means(got.data(), in, n);
        vistelmo::pair_means_from(0, want.data(), in, n);
        ASSERT_EQ(got, want) << "pairs";
        k.quad_means(got.data(), in, n);
        vistelmo::quad_means_from(0, want.data(), in, n);
        ASSERT_EQ(got, want) << "fours";
        k.row_means(got.data(), r[0], r[1], n);
        vistelmo::row_means_from(0, want.data(), r[0], r[1], n);
        ASSERT_EQ(got, want) << "two rows";
        k.row_quads(got.data(), r, n);
        vistelmo::row_quads_from(0, want.data(), r, n);
        ASSERT_EQ(got, want) << "four rows";
        if (k.colour_pair_means == nullptr) continue;
        k.colour_pair_means(got.data(), in, n);
        for (int i = 0; i < 3 * n; i++)
          want[i] =
              static_cast<unsigned char>((in[2 * i - i % 3] + in[2 * i - i % 3 + 3] + 1) >> 1);
        ASSERT_EQ(got, want) << "colour pairs";
      }
    });
  }
}

// Halving a grey line averages every byte pair (a, b) as (a + b + 1) >> 1 on every tier, across
// and down the image: the source holds the 65536 pairs, pair p in offsets 2p - 1 and 2p.
TEST(ResampleTiers, GreyHalvingRoundsEveryPairOfBytes) {
  const int pairs = 65536, n = 2 * pairs + 1;
  IMGGRY across(1, n), down(n, 1);
  across.lc = across.cc = 0;
  down.lc = n - 1;
  down.cc = 0;
  for (int p = 1; p <= pairs; p++) {
    const unsigned char u = static_cast<unsigned char>((p - 1) >> 8),
                        v = static_cast<unsigned char>(p - 1);
    across.rows[0][2 * p - 1] = down.rows[n - 2 * p][0] = u;
    across.rows[0][2 * p] = down.rows[n - 1 - 2 * p][0] = v;
  }
  across.rows[0][0] = down.rows[n - 1][0] = 77;
  testutil::for_each_isa([&] {
    IMGGRY x(1, pairs + 1), y(pairs + 1, 1);
    x.lc = x.cc = y.cc = 0;
    y.lc = pairs;
    for (char mode : {'C', 'X'}) {
      ZoomG::zoomx(across, x, 0.5, mode);
      ZoomG::zoomy(down, y, 0.5, mode);
      ASSERT_EQ(x.rows[0][0], 77);
      ASSERT_EQ(y.rows[pairs][0], 77);
      for (int p = 1; p <= pairs; p++) {
        const int want = (((p - 1) >> 8) + ((p - 1) & 255) + 1) >> 1;
        ASSERT_EQ(x.rows[0][p], want) << p;
        ASSERT_EQ(y.rows[pairs - p][0], want) << p;
      }
    }
  });
}

// A wide grey image halved and quartered both ways, once per tier, against the plain tier.
TEST(ResampleTiers, GreyHalvingAgreesOnEveryTier) {
  for (const Shape& sh : {Shape{37, 301, 18, 150}, Shape{40, 260, 3, 250}, Shape{9, 130, 4, -5}}) {
    const IMGGRY g = shaped<IMGGRY>(sh, 16);
    for (int part : {2, 4})
      for (int wider : {0, 7})
        for (char mode : {'C', 'X'}) {
          SCOPED_TRACE(label(sh, part, wider) + mode);
          const double fac = 1.0 / part;
          expect_levels_agree([&] {
            IMGGRY b(sh.nl / part + wider, sh.nc / part + wider);
            b.lc = sh.lc / part;
            b.cc = sh.cc / part;
            zoomfat(g, b, fac, fac, mode);
            return b;
          });
          expect_levels_agree([&] {
            IMGGRY b(sh.nl / part + wider, sh.nc + wider);
            b.lc = sh.lc / part;
            b.cc = sh.cc;
            ZoomG::zoomy(g, b, fac, mode);
            return b;
          });
        }
  }
}

// Float halving by area, with negative zeros among the pixels (0 + -0 is +0), on every tier.
TEST(ResampleTiers, FloatHalvingAgreesOnEveryTier) {
  for (const Shape& sh : {Shape{9, 301, 4, 150}, Shape{40, 260, 3, 250}, Shape{2, 9, 0, 4}}) {
    IMGFLT f = shaped<IMGFLT>(sh, 17);
    for (int l = 0; l < sh.nl; l++)
      for (int c = 0; c < sh.nc; c++)
        if ((l + c) % 5 < 2)
          f.rows[l][c] = -0.0f;
        else if (c % 7 == 0)
          f.rows[l][c] = -f.rows[l][c];
    for (double fac : {0.5, 0.25, 0.5001})
      for (int wider : {0, 3}) {
        SCOPED_TRACE(label(sh, fac, wider));
        expect_levels_agree([&] { return zoomfat(f, fac, fac); });
        expect_levels_agree([&] { return zoomfat(f, 1, fac); });
        expect_levels_agree([&] { return zoomfat(f, fac, 1); });
        expect_levels_agree([&] {
          return zoomnp(f, std::max(1, static_cast<int>(sh.nl * fac)), std::max(1, sh.nc / 2));
        });
        expect_levels_agree([&] {
          IMGFLT b(sh.nl + wider, sh.nc / 2 + wider);
          ZoomF::zoomc(f, b, fac);
          return b;
        });
        expect_levels_agree([&] {
          IMGFLT b(sh.nl / 2 + 1, sh.nc + wider);
          ZoomF::zooml(f, b, fac);
          return b;
        });
      }
  }
}

// A strong shrink into a wide destination: a few large groups among many empty columns.
TEST(ResampleTiers, UnevenShrinkAgreesOnEveryTier) {
  for (const Shape& sh : {Shape{1, 257, 0, 128}, Shape{12, 131, 6, 0}}) {
    const IMGGRY g = shaped<IMGGRY>(sh, 14);
    const IMGFLT f = shaped<IMGFLT>(sh, 15);
    for (double fac : {0.01, 0.03}) {
      SCOPED_TRACE(label(sh, fac, 0));
      expect_levels_agree([&] {
        IMGGRY b(sh.nl, 120);
        b.lc = sh.lc;
        ZoomG::zoomx(g, b, fac, 'X');
        return b;
      });
      for (char mode : kModes)
        expect_levels_agree([&] {
          IMGFLT b(sh.nl, 120);
          b.lc = sh.lc;
          ZoomF::zoomx(f, b, fac, mode);
          return b;
        });
    }
  }
}

TEST(ResampleTiers, SizedZoomsAgreeOnEveryTier) {
  expect_levels_agree([] { return zoomnp(IMGGRY(), 2, 3); });
  for (const Shape& sh : kShapes) {
    if (sh.nl == 0) continue;
    const IMGGRY g = shaped<IMGGRY>(sh, 12);
    const IMGFLT f = shaped<IMGFLT>(sh, 13);
    for (double fx : kFactors)
      for (double fy : kFactors) {
        SCOPED_TRACE(label(sh, fx, fy));
        const int nl = std::max(1, static_cast<int>(sh.nl * fy + 0.5));
        const int nc = std::max(1, static_cast<int>(sh.nc * fx + 0.5));
        expect_levels_agree([&] { return zoomnp(f, nl, nc); });
        expect_levels_agree([&] { return zoomnp(g, nl, nc); });
        if (std::round(sh.nl * fy) >= 1 && std::round(sh.nc * fx) >= 1)
          expect_levels_agree([&] { return zoomfat(f, fy, fx); });
      }
  }
}

// The AVX2 rounding forms of four values: round_index's and round_to_byte's.
__attribute__((target(VISTELMO_TARGET_AVX2))) void avx2_roundings(const double* v, int* index,
                                                                  int* byte) {
  const __m256d x = _mm256_loadu_pd(v);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(index), vistelmo::avx2::round_index(x));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(byte), vistelmo::avx2::round_to_bytes(x));
}

// The vector roundings (0.5 - 2^-54 added, then truncated) against the scalar rules on the values
// that part them: halves and their neighbours, far and non-finite values, signed zeros.
TEST(ResampleRounding, VectorFormsMatchTheScalarRules) {
  if (!vistelmo::isa_available(vistelmo::Isa::kAvx2)) GTEST_SKIP() << "no AVX2 here";
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> v = {std::numeric_limits<double>::quiet_NaN(),
                           inf,
                           -inf,
                           -0.0,
                           0.0,
                           0.49999999999999994,
                           -0.49999999999999994,
                           4.9e-324,
                           -4.9e-324,
                           1e300,
                           -1e300,
                           vistelmo::kFar,
                           -vistelmo::kFar,
                           vistelmo::kFar + 0.5,
                           -vistelmo::kFar - 0.5};
  for (double k : {0.0, 1.0, 2.0, 127.0, 254.0, 255.0, 256.0, 1000.0, 1048576.0, 1073741823.0})
    for (double sign : {1.0, -1.0})
      for (double x : {k, k + 0.5, k - 0.5, k + 0.49999999999999994, k - 0.49999999999999994}) {
        v.push_back(sign * x);
        v.push_back(sign * std::nextafter(x, -inf));
        v.push_back(sign * std::nextafter(x, inf));
      }
  while (v.size() % 4 != 0) v.push_back(0.5);
  for (size_t i = 0; i < v.size(); i += 4) {
    int index[4], byte[4];
    avx2_roundings(&v[i], index, byte);
    for (size_t j = 0; j < 4; j++) {
      EXPECT_EQ(index[j], vistelmo::round_index(v[i + j])) << v[i + j];
      EXPECT_EQ(byte[j], vistelmo::round_to_byte(v[i + j])) << v[i + j];
    }
  }
}

}  // namespace
