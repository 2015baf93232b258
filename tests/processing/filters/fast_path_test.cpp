// The dispatched row kernels (every instruction set this processor has) against the naive
// per-pixel sums through the element access, on the fixtures' sizes (degenerate, and rows long
// enough for the vector blocks and their tails), kernels larger than the image and every mode.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "processing/filters/convolution.h"
#include "processing/filters/convolve_internal.h"
#include "processing/filters/gauss.h"
#include "processing/filters/gradient.h"
#include "processing/filters/separable.h"
#include "support/conv_fixtures.h"
#include "support/isa_levels.h"

using namespace convtest;

namespace {

// Random pixels in -4 .. 4, with exact zeros and negative zeros now and then; a random outside
// value, and the centre moved when lc, cc are given.
template <class Img>
Img random_image(int nl, int nc, unsigned seed, int lc = -1, int cc = -1) {
  std::uniform_real_distribution<double> u(-4, 4);
  Img a = testutil::noise<Img>(nl, nc, seed, [&](std::mt19937& g) {
    const double v = u(g);
    return v > 3.6 ? 0.0 : v < -3.6 ? -0.0 : v;
  });
  a.backg = static_cast<typename Img::Pixel>(seed % 7 - 3.3);
  if (lc >= 0) a.lc = lc;
  if (cc >= 0) a.cc = cc;
  return a;
}

VETOR<double> taps(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  VETOR<double> k(n);
  for (int i = 0; i < n; i++) k.data[i] = u(gen);
  return k;
}

// Kernels from a single tap to wider and taller than the smallest images.
const Size kKernels[] = {{1, 1}, {3, 3}, {2, 5}, {9, 13}, {1, 15}};

// Clamped to 0 .. 255, rounded half away from zero.
unsigned char to_byte(double v) {
  return static_cast<unsigned char>(std::round(v < 0 ? 0 : (v > 255.0 ? 255.0 : v)));
}

class FastPath : public testutil::IsaTest {};

template <class Img>
void check_convolucao() {
  unsigned seed = 1;
  for (const Size& sz : sizes())
    for (const Size& ks : kKernels) {
      const Img a = random_image<Img>(sz.nl, sz.nc, seed++, sz.nl - 1, 0);
      const Img k = random_image<Img>(ks.nl, ks.nc, seed++);
      for (char m : modes()) {
        SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " kernel " +
                     std::to_string(ks.nl) + "x" + std::to_string(ks.nc) + " mode " + mode_name(m));
        EXPECT_TRUE(same_pixels(convolucao(a, k, m), naive_convolucao(a, k, m)));
      }
    }
}

TEST_P(FastPath, ConvolucaoFloat) { check_convolucao<IMGFLT>(); }
TEST_P(FastPath, ConvolucaoDouble) { check_convolucao<IMGDBL>(); }

// convolucao, conv and xcorr sum several output rows a kernel call: heights just past a multiple
// of the rows of a call, rows just past whole vector blocks, kernels from shorter than the rows
// of a call to taller, one tall enough that the 600-wide rows go in strips of columns, centres
// moved to the kernel's corners, every mode.
template <class Img>
void check_row_blocks() {
  const Size image_sizes[] = {{5, 49}, {6, 100}, {8, 97}, {9, 13}, {9, 600}};
  const Size kernel_sizes[] = {{2, 3}, {4, 1}, {5, 5}, {3, 7}, {10, 2}, {60, 3}};
  unsigned seed = 500;
  for (const Size& sz : image_sizes)
    for (const Size& ks : kernel_sizes)
      for (bool corner : {false, true}) {
        const Img a = random_image<Img>(sz.nl, sz.nc, seed++);
        const Img k = corner ? random_image<Img>(ks.nl, ks.nc, seed++, 0, ks.nc - 1)
                             : random_image<Img>(ks.nl, ks.nc, seed++);
        SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " kernel " +
                     std::to_string(ks.nl) + "x" + std::to_string(ks.nc) +
                     (corner ? " corner" : ""));
        for (char m : modes()) {
          SCOPED_TRACE(mode_name(m));
          EXPECT_TRUE(same_pixels(convolucao(a, k, m), naive_convolucao(a, k, m)));
        }
        if constexpr (std::is_same_v<Img, IMGFLT>) {
          const IMGFLT c = conv(a, k), x = xcorr(a, k);
          bool same_sums = true;
          for (int i = 0; i < x.nl(); i++)
            for (int j = 0; j < x.nc(); j++) {
              double sc = 0, sx = 0;
              for (int p = 0; p < k.nl(); p++)
                for (int q = 0; q < k.nc(); q++) {
                  auto at = [&a](int l, int c) {
                    const bool in = l >= 0 && c >= 0 && l < a.nl() && c < a.nc();
                    return in ? double(a.rows[l][c]) : 0.0;
                  };
                  sc += double(k.rows[p][q]) * at(i - p, j - q);
                  sx += double(k.rows[p][q]) * at(i - (k.nl() - 1) + p, j - (k.nc() - 1) + q);
                }
              same_sums =
                  same_sums && same(c.rows[i][j], float(sc)) && same(x.rows[i][j], float(sx));
            }
          EXPECT_TRUE(same_sums) << "conv, xcorr";
        }
      }
}

TEST_P(FastPath, FloatRowBlocks) { check_row_blocks<IMGFLT>(); }
TEST_P(FastPath, DoubleRowBlocks) { check_row_blocks<IMGDBL>(); }

// Kernels with columns of zero taps (+0 and -0), which the row kernels may leave out over finite
// rows: images without and with infinities and NaNs (in one row, at the edges and inside), an
// infinite outside value, and a kernel too wide for the columns to be tracked past the 64th.
TEST_P(FastPath, ZeroTapColumns) {
  auto zeroed = [](int nl, int nc, unsigned seed, std::vector<int> cols) {
    IMGFLT k = random_image<IMGFLT>(nl, nc, seed);
    for (int c : cols)
      for (int p = 0; p < nl; p++) k.rows[p][c] = p % 2 ? -0.0f : 0.0f;
    return k;
  };
  const IMGFLT kernels[] = {sobel('x'), zeroed(5, 7, 3, {0, 3}), zeroed(2, 3, 4, {0, 1, 2}),
                            zeroed(1, 3, 5, {1}), zeroed(3, 70, 6, {10, 65})};
  const Size extra[] = {{9, 97}, {13, 600}};
  std::vector<Size> image_sizes = sizes();
  image_sizes.insert(image_sizes.end(), std::begin(extra), std::end(extra));
  const float odd[] = {INFINITY, -INFINITY, NAN};
  unsigned seed = 900;
  for (const Size& sz : image_sizes)
    for (const IMGFLT& k : kernels)
      for (int variant = 0; variant < 3; variant++) {
        IMGFLT a = random_image<IMGFLT>(sz.nl, sz.nc, seed++);
        if (variant == 1) {
          const int l = sz.nl / 2;
          for (int t = 0; t < 3; t++) a.rows[l][(t * (sz.nc - 1)) / 2] = odd[t];
        }
        if (variant == 2) a.backg = INFINITY;
        SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " kernel " +
                     std::to_string(k.nl()) + "x" + std::to_string(k.nc()) + " variant " +
                     std::to_string(variant));
        for (char m : modes()) {
          SCOPED_TRACE(mode_name(m));
          const IMGFLT r = convolucao(a, k, m), e = naive_convolucao(a, k, m);
          bool ok = true;
          for (int i = 0; i < a.nl(); i++)
            for (int j = 0; j < a.nc(); j++)
              ok = ok && (same(r.rows[i][j], e.rows[i][j]) ||
                          (std::isnan(r.rows[i][j]) && std::isnan(e.rows[i][j])));
          EXPECT_TRUE(ok);
        }
      }
}

// The exact kernels fuse each product into its add: right only because a product of two floats
// is exact in double. Taps and samples are floats whose products need 46 to 48 bits, summed so
// that they cancel down to their last bits, one row and row_block() rows a call, both
// directions, widths with whole vector blocks and tails: each sum must be the per-element one.
TEST_P(FastPath, ExactKernelsFuseOnlyExactProducts) {
  std::mt19937 gen(41);
  auto adversarial = [&gen] {
    const float ulps = float(int(gen() % 7) - 3);
    const float v = std::ldexp(1.0f + ulps * 0x1p-23f, int(gen() % 5) - 2);
    return gen() % 2 ? -v : v;
  };
  const int block = vistelmo::row_block();
  for (int kl : {1, 2, 3, 5})
    for (int kc : {1, 2, 4, 7})
      for (int dir : {1, -1})
        for (int n : {1, 3, 8, 17, 64, 101}) {
          std::vector<double> taps(size_t(kl) * kc);
          for (double& t : taps) t = adversarial();
          const int rows = kl + block - 1, width = n + kc - 1;
          std::vector<std::vector<double>> src(rows, std::vector<double>(width));
          for (auto& row : src)
            for (double& x : row) x = adversarial();
          // Row p of an output read from column j + dir q: the pointers start where q = 0 reads.
          std::vector<const double*> at(rows);
          for (int r = 0; r < rows; r++) at[r] = src[r].data() + (dir < 0 ? kc - 1 : 0);
          auto want = [&](int first, int j) {
            double acc = 0;
            for (int p = 0; p < kl; p++)
              for (int q = 0; q < kc; q++)
                acc += taps[size_t(p) * kc + q] * at[first + p][j + dir * q];
            return acc;
          };
          SCOPED_TRACE("kernel " + std::to_string(kl) + "x" + std::to_string(kc) + " dir " +
                       std::to_string(dir) + " width " + std::to_string(n));
          std::vector<double> one(n);
          vistelmo::correlate_row(at.data(), taps.data(), kl, kc, dir, n, one.data(), true);
          std::vector<std::vector<double>> many(block, std::vector<double>(n));
          std::vector<vistelmo::RowOut> out;
          for (auto& row : many) out.emplace_back(row.data());
          vistelmo::correlate_rows(at.data(), taps.data(), kl, kc, dir, n, out.data(), true);
          bool same_sums = true;
          for (int j = 0; j < n; j++) {
            same_sums = same_sums && same(one[j], want(0, j));
            for (int k = 0; k < block; k++)
              same_sums = same_sums && same(many[k][j], want(dir > 0 ? k : block - 1 - k, j));
          }
          EXPECT_TRUE(same_sums);
        }
}

template <class Img>
void check_separable() {
  unsigned seed = 100;
  for (const Size& sz : sizes())
    for (int n : {1, 2, 3, 8, 15}) {
      const Img a = random_image<Img>(sz.nl, sz.nc, seed++, 0, sz.nc - 1);
      const VETOR<double> k = taps(n, seed++);
      for (char m : modes()) {
        SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " taps " +
                     std::to_string(n) + " mode " + mode_name(m));
        EXPECT_TRUE(same_pixels(ConvH(a, k, m), naive_pass(a, k, m, true)));
        EXPECT_TRUE(same_pixels(ConvV(a, k, m), naive_pass(a, k, m, false)));
        EXPECT_TRUE(
            same_pixels(ConvHV(a, k, m), naive_pass(naive_pass(a, k, m, true), k, m, false)));
      }
    }
}

TEST_P(FastPath, SeparableFloat) { check_separable<IMGFLT>(); }
TEST_P(FastPath, SeparableDouble) { check_separable<IMGDBL>(); }

TEST_P(FastPath, SeparableColour) {
  unsigned seed = 200;
  for (const Size& sz : sizes())
    for (int n : {1, 4, 9}) {
      std::mt19937 gen(seed++);
      IMGCOR a(sz.nl, sz.nc);
      for (int l = 0; l < sz.nl; l++)
        for (int c = 0; c < sz.nc; c++)
          a.rows[l][c] = COR{static_cast<unsigned char>(gen()), static_cast<unsigned char>(gen()),
                             static_cast<unsigned char>(gen())};
      VETOR<double> k = taps(n, seed++);
      // Sums below 0 and above 255 as well: the clamp and the rounding on every path.
      for (int i = 0; i < n; i++) k.data[i] *= 0.9;
      SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " taps " +
                   std::to_string(n));
      const IMGCOR r = ConvHV(a, k);
      // Column sums in double from the float row pass, then clamped and rounded.
      for (int c = 0; c < 3; c++) {
        IMGFLT rows(sz.nl, sz.nc);
        for (int l = 0; l < sz.nl; l++)
          for (int j = 0; j < sz.nc; j++) {
            const COR& p = a.rows[l][j];
            rows.rows[l][j] = c == 0 ? p.r : c == 1 ? p.g : p.b;
          }
        const IMGFLT h = naive_pass(rows, k, 'x', true);
        const int c0 = (n - 1) / 2;
        for (int l = 0; l < sz.nl; l++)
          for (int j = 0; j < sz.nc; j++) {
            double s = 0;
            for (int t = 0; t < n; t++) s += k.data[t] * double(h(l + c0 - t, j, 'x'));
            const COR& got = r.rows[l][j];
            ASSERT_EQ(c == 0   ? got.r
                      : c == 1 ? got.g
                               : got.b,
                      to_byte(s))
                << "pixel (" << l << ", " << j << ") channel " << c;
          }
      }
    }
}

TEST_P(FastPath, FullConvolution) {
  unsigned seed = 300;
  for (const Size& sz : sizes())
    for (const Size& ks : kKernels) {
      const IMGFLT a = random_image<IMGFLT>(sz.nl, sz.nc, seed++),
                   b = random_image<IMGFLT>(ks.nl, ks.nc, seed++);
      SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " kernel " +
                   std::to_string(ks.nl) + "x" + std::to_string(ks.nc));
      const IMGFLT c = conv(a, b), x = xcorr(a, b);
      ASSERT_EQ(c.nl(), a.nl() + b.nl() - 1);
      ASSERT_EQ(c.nc(), a.nc() + b.nc() - 1);
      auto at = [&a](int l, int j) {
        return l < 0 || j < 0 || l >= a.nl() || j >= a.nc() ? 0.0 : double(a.rows[l][j]);
      };
      for (int i = 0; i < c.nl(); i++)
        for (int j = 0; j < c.nc(); j++) {
          double sc = 0, sx = 0;
          for (int p = 0; p < b.nl(); p++)
            for (int q = 0; q < b.nc(); q++) {
              sc += double(b.rows[p][q]) * at(i - p, j - q);
              sx += double(b.rows[p][q]) * at(i - (b.nl() - 1) + p, j - (b.nc() - 1) + q);
            }
          ASSERT_TRUE(same(c.rows[i][j], float(sc))) << "conv (" << i << ", " << j << ")";
          ASSERT_TRUE(same(x.rows[i][j], float(sx))) << "xcorr (" << i << ", " << j << ")";
        }
    }
}

// The separable gradient path (theta < 0) as the composition the header states: ConvGaussHV,
// then convolucao with sigma times the unit-sum central difference, both under mode 'x'.
TEST_P(FastPath, SeparableGradients) {
  unsigned seed = 400;
  for (const Size& sz : sizes())
    for (double sigma : {0.1, 0.6, 1.3}) {
      SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " sigma " +
                   std::to_string(sigma));
      const IMGFLT a = random_image<IMGFLT>(sz.nl, sz.nc, seed++, 0, 0);
      IMGFLT s = a;
      if (sigma >= 0.25)
        s = naive_pass(naive_pass(a, VETORnormal(sigma), 'x', true), VETORnormal(sigma), 'x',
                       false);
      IMGFLT dx(1, 3, 0.0f), dy(3, 1, 0.0f);
      dx.data[0] = dy.data[2] = static_cast<float>(sigma * 0.5f);
      dx.data[2] = dy.data[0] = static_cast<float>(sigma * -0.5f);
      const IMGFLT gx = naive_convolucao(s, dx, 'x'), gy = naive_convolucao(s, dy, 'x');
      EXPECT_TRUE(same_pixels(gradientex(a, sigma, -1.0), gx));
      EXPECT_TRUE(same_pixels(gradientey(a, sigma, -1.0), gy));
      IMGFLT m(sz.nl, sz.nc);
      for (int i = 0; i < m.n(); i++)
        m.data[i] =
            float(std::sqrt(double(gx.data[i]) * gx.data[i] + double(gy.data[i]) * gy.data[i]));
      EXPECT_TRUE(same_pixels(modgrad(a, sigma, -1.0), m));
    }
}

// modgrad's 2-D path (theta >= 0) of a float image, in bands of rows: the magnitude of the two
// convolutions with the derivative kernels, as the per-pixel sums give them.
TEST_P(FastPath, FloatMagnitude) {
  unsigned seed = 600;
  std::vector<Size> all = sizes();
  all.push_back({130, 37});  // more rows than a band
  for (const Size& sz : all)
    for (double theta : {0.0, 0.7}) {
      SCOPED_TRACE(std::to_string(sz.nl) + "x" + std::to_string(sz.nc) + " theta " +
                   std::to_string(theta));
      const IMGFLT a = random_image<IMGFLT>(sz.nl, sz.nc, seed++, 0, 0);
      const IMGFLT gx = naive_convolucao(a, IMGFLTgrxnormal(0.6, theta), 'x');
      const IMGFLT gy = naive_convolucao(a, IMGFLTgrynormal(0.6, theta), 'x');
      IMGFLT m(sz.nl, sz.nc);
      for (int i = 0; i < m.n(); i++)
        m.data[i] =
            float(std::sqrt(double(gx.data[i]) * gx.data[i] + double(gy.data[i]) * gy.data[i]));
      EXPECT_TRUE(same_pixels(modgrad(a, 0.6, theta), m));
    }
}

VISTELMO_INSTANTIATE_ISAS(FastPath);

}  // namespace
