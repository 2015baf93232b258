#include "processing/filters/wht.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "support/conv_fixtures.h"
#include "support/test_support.h"

using namespace convtest;

namespace {

// Sign changes along x of the basis row u, from a transform of unit impulses.
int sign_changes(int n, int u) {
  std::vector<float> row(n);
  for (int x = 0; x < n; x++) {
    IMGFLT a(n, n, 0.0f);
    a.rows[x][0] = 1;
    row[x] = wht(a).rows[u][0];  // K(x, u) K(0, 0) / N
  }
  int changes = 0;
  for (int x = 1; x < n; x++) changes += (row[x] > 0) != (row[x - 1] > 0);
  return changes;
}

TEST(Wht, BasisOrderOfTheKernel) {
  const std::vector<int> n8 = {0, 1, 2, 3, 5, 4, 7, 6};
  for (int u = 0; u < 8; u++) EXPECT_EQ(sign_changes(8, u), n8[u]) << u;
  const std::vector<int> n16 = {0, 1, 2, 3, 5, 4, 7, 6, 10, 11, 8, 9, 15, 14, 13, 12};
  for (int u = 0; u < 16; u++) EXPECT_EQ(sign_changes(16, u), n16[u]) << u;
}

TEST(Wht, TwoByTwo) {
  const float a = 1.5f, b = -2, c = 4.25f, d = 7;
  IMGFLT x(2, 2);
  x.rows[0][0] = a, x.rows[0][1] = b, x.rows[1][0] = c, x.rows[1][1] = d;
  const IMGFLT w = wht(x);
  EXPECT_EQ(w.rows[0][0], (a + b + c + d) / 2);
  EXPECT_EQ(w.rows[0][1], (a - b + c - d) / 2);
  EXPECT_EQ(w.rows[1][0], (a + b - c - d) / 2);
  EXPECT_EQ(w.rows[1][1], (a - b - c + d) / 2);
  EXPECT_TRUE(same_pixels(iwht(w), x));
}

// Direct evaluation of the kernel from the bits, term by term in scan order.
IMGFLT naive(const IMGFLT& a, bool inverse) {
  const int n = a.nl();
  int m = 0;
  while ((1 << m) < n) m++;
  std::vector<int> e(n * n);  // e[x * n + u]: exponent of K(x, u)
  for (int x = 0; x < n; x++)
    for (int u = 0; u < n; u++)
      for (int i = 0; i < m; i++) {
        int p = 0;
        for (int j = 0; j <= i; j++) p += (u >> (m - 1 - j)) & 1;
        e[x * n + u] += ((x >> i) & 1) * (p % 2);
      }
  auto k = [&e, n](int x, int u) { return e[x * n + u]; };
  const double norm = std::sqrt(double(n * n));
  IMGFLT r(n, n);
  for (int o1 = 0; o1 < n; o1++)
    for (int o2 = 0; o2 < n; o2++) {
      double s = 0;
      for (int i1 = 0; i1 < n; i1++)
        for (int i2 = 0; i2 < n; i2++) {
          const int ex = inverse ? k(o1, i1) + k(o2, i2) : k(i1, o1) + k(i2, o2);
          s += double(a.rows[i1][i2]) * (ex % 2 ? -1 : 1) / norm;
        }
      r.rows[o1][o2] = float(s);
    }
  return r;
}

// Largest distance in units in the last place of float between two images of one size.
int64_t max_ulps(const IMGFLT& a, const IMGFLT& b) {
  auto key = [](float f) {
    int32_t i;
    std::memcpy(&i, &f, 4);
    return i < 0 ? int64_t(INT32_MIN) - i : int64_t(i);
  };
  int64_t d = 0;
  for (int i = 0; i < a.n(); i++) d = std::max(d, std::abs(key(a.data[i]) - key(b.data[i])));
  return d;
}

TEST(Wht, MatchesTheDirectSums) {
  for (int n : {1, 2, 4, 8, 16, 32, 64}) {
    // Integer values: every sum is exact in double, so the results are the same bits.
    IMGFLT whole(n, n);
    for (int i = 0; i < whole.n(); i++) whole.data[i] = float((i * 37 + 11) % 201) - 100;
    EXPECT_TRUE(same_pixels(wht(whole), naive(whole, false))) << n;
    EXPECT_TRUE(same_pixels(iwht(whole), naive(whole, true))) << n;
    // Other values: within one unit in the last place.
    const IMGFLT a = sample<IMGFLT>(n, n, n, 3.0, 0, 0);
    const IMGFLT w = wht(a), back = iwht(w);
    EXPECT_LE(max_ulps(w, naive(a, false)), 1) << n;
    EXPECT_LE(max_ulps(back, naive(w, true)), 1) << n;
    expect_fresh(w);
    double e1 = 0, e2 = 0;
    for (int i = 0; i < a.n(); i++) {
      EXPECT_NEAR(back.data[i], a.data[i], 1e-5 * n);
      e1 += double(a.data[i]) * a.data[i], e2 += double(w.data[i]) * w.data[i];
    }
    EXPECT_NEAR(e1, e2, 1e-6 * e1);
  }
}

TEST(Wht, ZeroSumsArePositiveZeros) {
  IMGFLT z(4, 4, -0.0f);
  for (const IMGFLT& r : {wht(z), iwht(z)})
    for (int i = 0; i < r.n(); i++) EXPECT_FALSE(std::signbit(r.data[i])) << i;
}

TEST(Wht, ConstantImageAndSinglePixel) {
  const IMGFLT w = wht(IMGFLT(4, 4, 2.5f));
  EXPECT_EQ(w.rows[0][0], 10.0f);
  for (int i = 1; i < w.n(); i++) EXPECT_EQ(w.data[i], 0.0f);
  IMGFLT one(1, 1, -3.75f);
  one.backg = 4;
  const IMGFLT r = wht(one);
  EXPECT_EQ(r.rows[0][0], -3.75f);
  EXPECT_EQ(r.backg, 0.0f);
  EXPECT_EQ(whtM, 0);
}

TEST(Wht, OrderIsRemembered) {
  wht(IMGFLT(64, 64, 0.0f));
  EXPECT_EQ(whtM, 6);
  iwht(IMGFLT(16, 16, 0.0f));
  EXPECT_EQ(whtM, 4);
}

TEST(Wht, ThreadsOnDistinctImages) {
  // Each thread transforms its own image of its own side, back and forth, many times; every
  // result must equal the one computed alone.
  const int sides[] = {32, 64, 128, 16, 32, 64, 128, 8};
  const int threads = 8, rounds = 60;
  std::vector<IMGFLT> in, fwd, back;
  for (int t = 0; t < threads; t++) {
    const int n = sides[t];
    IMGFLT a(n, n);
    for (int i = 0; i < a.n(); i++) a.data[i] = std::sin(0.37f * i + t) * (1 + t);
    in.push_back(a);
    fwd.push_back(wht(a));
    back.push_back(iwht(a));
  }
  std::vector<int> wrong(threads, 0);
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; t++)
    pool.emplace_back([&, t] {
      const size_t bytes = sizeof(float) * in[t].n();
      for (int k = 0; k < rounds; k++) {
        const IMGFLT f = wht(in[t]), b = iwht(in[t]);
        wrong[t] += std::memcmp(f.data, fwd[t].data, bytes) != 0;
        wrong[t] += std::memcmp(b.data, back[t].data, bytes) != 0;
      }
    });
  for (std::thread& th : pool) th.join();
  for (int t = 0; t < threads; t++) EXPECT_EQ(wrong[t], 0) << "side " << sides[t];
  // Called alone again, whtM holds that call's M.
  wht(in[2]);
  EXPECT_EQ(whtM, 7);
}

TEST(Wht, RejectsOtherShapes) {
  const char* square = "Erro: Imagem deve ser quadrada";
  const char* power = "Erro: Imagem deve ser quadrada e de dimensao 2^M";
  EXPECT_ERRO(wht(IMGFLT(3, 4)), square, "");
  EXPECT_ERRO(iwht(IMGFLT()), square, "");
  EXPECT_ERRO(wht(IMGFLT(-2, -2)), square, "");
  EXPECT_ERRO(wht(IMGFLT(6, 6)), power, "");
  EXPECT_ERRO(iwht(IMGFLT(3, 3)), power, "");
  EXPECT_ERRO(wht(IMGFLT(12, 12)), power, "");
}

}  // namespace
