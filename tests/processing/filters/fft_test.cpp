#include "processing/filters/fft.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <vector>

#include "processing/filters/fft_engine_internal.h"
#include "support/isa_levels.h"
#include "support/test_support.h"

namespace {

using Quorvan::COMPLEX;
using Vec = std::vector<COMPLEX>;

// Deterministic, asymmetric data with no repeated values.
Vec sample(int n) {
  Vec v(n);
  uint64_t h = 0x9e3779b97f4a7c15u;
  auto next = [&h] {
    h = h * 6364136223846793005u + 1442695040888963407u;
    return static_cast<double>(h >> 11) / 9007199254740992.0 - 0.5;
  };
  for (int i = 0; i < n; i++) v[i] = {next() + 0.001 * (i % 7), next()};
  return v;
}

// The defining sum in long double, with sign s of the exponent and divisor d.
Vec naive_dft(const Vec& x, int s, long double d) {
  const int n = static_cast<int>(x.size());
  const long double pi = 3.141592653589793238462643383279502884L;
  std::vector<long double> c(n), sn(n);
  for (int t = 0; t < n; t++) {
    c[t] = std::cos(2 * pi * t / n);
    sn[t] = s * std::sin(2 * pi * t / n);
  }
  Vec y(n);
  for (int k = 0; k < n; k++) {
    long double re = 0, im = 0;
    for (int j = 0; j < n; j++) {
      const int t = static_cast<int>(static_cast<int64_t>(j) * k % n);
      re += x[j].re * c[t] - x[j].im * sn[t];
      im += x[j].re * sn[t] + x[j].im * c[t];
    }
    y[k] = {static_cast<double>(re / d), static_cast<double>(im / d)};
  }
  return y;
}

// The algorithm written out plainly: radix split by trial division, every level combined
// with the generic sum and the twiddle index (nW/n * q*k) mod nW.
void reference_fourier(COMPLEX* in, int n, COMPLEX* out) {
  int r = n;
  for (int d = 2; d < n; d++)
    if (n % d == 0) {
      r = d;
      break;
    }
  if (n < 2) r = 1;
  const int m = n / r;
  if (r < n) {
    for (int q = 0; q < r; q++)
      for (int j = 0; j < m; j++) out[q * m + j] = in[q + j * r];
    for (int q = 0; q < r; q++) reference_fourier(out + q * m, m, in + q * m);
  }
  for (int k0 = 0; k0 < m; k0++)
    for (int k = k0; k < n; k += m) {
      out[k] = in[k0];
      int64_t qk = 0;
      for (int q = 1; q < r; q++) {
        qk += k;
        const COMPLEX a = in[k0 + q * m], w = Quorvan::W[(Quorvan::nW / n) * qk % Quorvan::nW];
        out[k].re += a.re * w.re - a.im * w.im;
        out[k].im += a.re * w.im + a.im * w.re;
      }
    }
}

double max_error(const Vec& a, const Vec& b) {
  double e = 0;
  for (size_t i = 0; i < a.size(); i++)
    e = std::max(e, std::max(std::fabs(a[i].re - b[i].re), std::fabs(a[i].im - b[i].im)));
  return e;
}

// The accuracy promised for every output: 1e-13 (1 + sum |x|).
double tolerance(const Vec& x) {
  double s = 0;
  for (const COMPLEX& c : x) s += std::hypot(c.re, c.im);
  return 1e-13 * (1 + s);
}

bool same_bits(const Vec& a, const Vec& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (std::memcmp(&a[i], &b[i], sizeof(COMPLEX)) != 0) return false;
  return true;
}

typedef void (*Transform)(COMPLEX*, int, COMPLEX*);

struct EntryPoint {
  const char* name;
  Transform f;
  int sign;
  int scale;  // 0 none, 1 n, 2 sqrt(n)
};
const EntryPoint kEntryPoints[] = {
    {"fft", Quorvan::fft, -1, 0},
    {"ifft", Quorvan::ifft, +1, 1},
    {"nfft", Quorvan::nfft, -1, 2},
    {"infft", Quorvan::infft, +1, 2},
};

std::vector<int> lengths() {
  std::vector<int> v;
  for (int n = 1; n <= 64; n++) v.push_back(n);
  for (int n : {97, 121, 128, 210, 243, 256, 360, 1000}) v.push_back(n);
  return v;
}

TEST(Fft, AgreesWithTheDefiningSums) {
  for (const EntryPoint& e : kEntryPoints)
    for (int n : lengths()) {
      Vec x = sample(n), in = x, out(n);
      e.f(in.data(), n, out.data());
      const long double d = e.scale == 0 ? 1 : e.scale == 1 ? n : std::sqrt((long double)n);
      EXPECT_LT(max_error(out, naive_dft(x, e.sign, d)), 2e-14 * n) << e.name << " n=" << n;
    }
}

TEST(Fft, FourierLeavesTheFirstLevelInItsInput) {
  for (int n : lengths()) {
    Vec x = sample(n);
    Quorvan::W_init(n);
    Vec in = x, out(n), rin = x, rout(n);
    Quorvan::Fourier(in.data(), n, out.data());
    reference_fourier(rin.data(), n, rout.data());
    const double tol = tolerance(x);
    EXPECT_LT(max_error(out, rout), tol) << "n=" << n;
    EXPECT_LT(max_error(in, rin), tol) << "work space, n=" << n;
    if (Quorvan::radix(n) == n) {
      EXPECT_TRUE(same_bits(in, x)) << "n=" << n;
    }
    // The entry points leave the same work space for what they hand to Fourier: the conjugate
    // for the forward ones.
    Vec conj = x;
    for (COMPLEX& c : conj) c.im = -c.im;
    for (const EntryPoint& e : kEntryPoints) {
      Vec ein = x, eout(n), cin = e.sign < 0 ? conj : x, cout(n);
      e.f(ein.data(), n, eout.data());
      reference_fourier(cin.data(), n, cout.data());
      EXPECT_LT(max_error(ein, cin), tol) << e.name << " work space, n=" << n;
    }
  }
}

TEST(Fft, RadixIsTheSmallestFactor) {
  const int cases[][2] = {
      {-3, 1}, {0, 1},  {1, 1},  {2, 2},  {3, 3},   {4, 2},    {9, 3},
      {12, 2}, {15, 3}, {25, 5}, {49, 7}, {97, 97}, {121, 11}, {2147483647, 2147483647}};
  for (const auto& c : cases) EXPECT_EQ(Quorvan::radix(c[0]), c[1]) << c[0];
}

TEST(Fft, TwiddleTableEntries) {
  Quorvan::W_init(8);
  ASSERT_EQ(Quorvan::nW, 8);
  ASSERT_NE(Quorvan::W, nullptr);
  EXPECT_EQ(Quorvan::W[0].re, 1.0);
  EXPECT_EQ(Quorvan::W[0].im, 0.0);
  // No symmetry is used: a quarter turn keeps cos(pi/2).
  EXPECT_EQ(Quorvan::W[2].re, std::cos(2 * 6.283185307179586 / 8));
  EXPECT_NE(Quorvan::W[2].re, 0.0);
  EXPECT_EQ(Quorvan::W[2].im, 1.0);
  for (int k = 0; k < 8; k++) {
    EXPECT_EQ(Quorvan::W[k].re, std::cos(k * 6.283185307179586 / 8)) << k;
    EXPECT_EQ(Quorvan::W[k].im, std::sin(k * 6.283185307179586 / 8)) << k;
  }
}

TEST(Fft, TableIsRebuiltOnlyWhenTheLengthChanges) {
  Vec in = sample(8), out(8);
  Quorvan::fft(in.data(), 8, out.data());
  EXPECT_EQ(Quorvan::nW, 8);
  in = sample(6);
  Quorvan::fft(in.data(), 6, out.data());
  EXPECT_EQ(Quorvan::nW, 6);
  // A mark in the table survives a second transform of the same length.
  COMPLEX* table = Quorvan::W;
  const COMPLEX saved = table[5];
  table[5].re = 42;
  in = sample(6);
  Quorvan::fft(in.data(), 6, out.data());
  EXPECT_EQ(Quorvan::W, table);
  EXPECT_EQ(Quorvan::W[5].re, 42);
  Quorvan::W_init(0);
  EXPECT_EQ(Quorvan::W, nullptr);
  EXPECT_EQ(Quorvan::nW, 0);
  Quorvan::W_init(6);
  EXPECT_EQ(Quorvan::W[5].re, saved.re);
}

TEST(Fft, LengthZeroReleasesTheTableAndWritesNothing) {
  Quorvan::W_init(5);
  COMPLEX in[1] = {{1, 2}}, out[1] = {{7, 8}};
  for (const EntryPoint& e : kEntryPoints) {
    e.f(in, 0, out);
    EXPECT_EQ(Quorvan::W, nullptr) << e.name;
    EXPECT_EQ(Quorvan::nW, 0) << e.name;
    EXPECT_EQ(out[0].re, 7);
    EXPECT_EQ(out[0].im, 8);
  }
  Vec x = sample(5), o(5);
  Quorvan::fft(x.data(), 5, o.data());
  EXPECT_EQ(Quorvan::nW, 5);
}

TEST(Fft, LengthOneReturnsTheElement) {
  for (const EntryPoint& e : kEntryPoints) {
    COMPLEX in[1] = {{2.5, -1.25}}, out[1] = {{0, 0}};
    e.f(in, 1, out);
    EXPECT_EQ(out[0].re, 2.5) << e.name;
    EXPECT_EQ(out[0].im, -1.25) << e.name;
  }
}

TEST(Fft, ImpulsesOfLengthFour) {
  Vec in = {{1, 0}, {0, 0}, {0, 0}, {0, 0}}, out(4);
  Quorvan::fft(in.data(), 4, out.data());
  for (const COMPLEX& c : out) {
    EXPECT_EQ(c.re, 1);
    EXPECT_EQ(c.im, 0);
  }
  in = {{0, 0}, {1, 0}, {0, 0}, {0, 0}};
  Quorvan::fft(in.data(), 4, out.data());
  const Vec want = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
  EXPECT_LT(max_error(out, want), 1e-15);
  Vec back(4);
  Quorvan::ifft(out.data(), 4, back.data());
  EXPECT_LT(max_error(back, {{0, 0}, {1, 0}, {0, 0}, {0, 0}}), 1e-15);
}

TEST(Fft, LengthTwo) {
  Quorvan::W_init(2);
  COMPLEX in[2] = {{1, 2}, {3, 4}}, out[2];
  Quorvan::Fourier(in, 2, out);
  EXPECT_EQ(out[0].re, 4);
  EXPECT_EQ(out[0].im, 6);
  EXPECT_NEAR(out[1].re, -2, 1e-15);
  EXPECT_NEAR(out[1].im, -2, 1e-15);
  // W[1] is (cos pi, sin pi) as the table holds it, not exactly (-1, 0).
  const double c = std::cos(3.141592653589793), s = std::sin(3.141592653589793);
  ASSERT_NE(s, 0.0);
  COMPLEX big[2] = {{0, 0}, {1e20, 0}};
  Quorvan::Fourier(big, 2, out);
  EXPECT_EQ(out[1].re, 1e20 * c - 0 * s);
  EXPECT_EQ(out[1].im, 1e20 * s + 0 * c);
}

TEST(Fft, RoundTripsAndEnergy) {
  for (int n : {1, 2, 7, 12, 13, 30, 64, 97}) {
    const Vec x = sample(n);
    Vec in = x, freq(n), back(n);
    Quorvan::fft(in.data(), n, freq.data());
    Quorvan::ifft(freq.data(), n, back.data());
    EXPECT_LT(max_error(back, x), 1e-13) << n;
    in = x;
    Quorvan::nfft(in.data(), n, freq.data());
    double ex = 0, es = 0;
    for (int i = 0; i < n; i++) {
      ex += x[i].re * x[i].re + x[i].im * x[i].im;
      es += freq[i].re * freq[i].re + freq[i].im * freq[i].im;
    }
    EXPECT_NEAR(es, ex, 1e-12 * ex) << n;
    Quorvan::infft(freq.data(), n, back.data());
    EXPECT_LT(max_error(back, x), 1e-13) << n;
  }
}

TEST(Fft, InputIsLeftAsWorkSpace) {
  // Prime length: the direct transform leaves the conjugated data.
  const Vec x = sample(13);
  Vec in = x, out(13);
  Quorvan::fft(in.data(), 13, out.data());
  for (int i = 0; i < 13; i++) {
    EXPECT_EQ(in[i].re, x[i].re);
    EXPECT_EQ(in[i].im, -x[i].im);
  }
  in = x;
  Quorvan::ifft(in.data(), 13, out.data());
  EXPECT_TRUE(same_bits(in, x));
  // Composite length: block q holds the transform of the q-th decimated subsequence.
  const Vec y = sample(6);
  in = y;
  Quorvan::ifft(in.data(), 6, out.data());
  for (int q = 0; q < 2; q++) {
    Vec sub = {y[q], y[q + 2], y[q + 4]};
    const Vec want = naive_dft(sub, +1, 1);
    EXPECT_LT(max_error(Vec(in.begin() + 3 * q, in.begin() + 3 * q + 3), want), 1e-14) << q;
  }
}

TEST(Fft, SplitAndJoinMakeOneLevel) {
  const int n = 12;
  Quorvan::W_init(n);
  const Vec x = sample(n);
  Vec in = x, out(n), rin = x, rout(n);
  Quorvan::Fourier(rin.data(), n, rout.data());
  Quorvan::split(in.data(), 2, 6, out.data());
  Quorvan::join(in.data(), 6, n, out.data());
  EXPECT_LT(max_error(out, rout), tolerance(x));
  // A table built for a multiple of the length serves too.
  Quorvan::W_init(3 * n);
  Vec a = x, b(n);
  Quorvan::Fourier(a.data(), n, b.data());
  EXPECT_LT(max_error(b, naive_dft(x, +1, 1)), 1e-13);
}

TEST(Fft, JoinStopsBelowTheGivenLength) {
  // n not a multiple of m: every k below n, from in[k mod m] and the r = n / m groups.
  Quorvan::W_init(10);
  const Vec x = sample(6);
  for (auto [m, n] : {std::pair{2, 5}, {4, 3}, {3, 7}}) {
    const int r = n / m;
    Vec out(8, Quorvan::COMPLEX{7, 7});
    Vec in = x;
    Quorvan::join(in.data(), m, n, out.data());
    for (int k = 0; k < 8; k++) {
      Quorvan::COMPLEX want{7, 7};
      if (k < n) {
        want = x[k % m];
        for (int q = 1; q < r; q++) {
          const Quorvan::COMPLEX a = x[k % m + q * m];
          const Quorvan::COMPLEX w = Quorvan::W[(10 / n) * (q * k) % 10];
          want.re += a.re * w.re - a.im * w.im;
          want.im += a.re * w.im + a.im * w.re;
        }
      }
      EXPECT_EQ(out[k].re, want.re) << m << " " << n << " " << k;
      EXPECT_EQ(out[k].im, want.im) << m << " " << n << " " << k;
    }
  }
}

TEST(FftDeath, InconsistentTableState) {
  EXPECT_ERRO(
      {
        Quorvan::W_init(0);
        Quorvan::nW = 5;
        Quorvan::W_init(3);
      },
      "Erro inesperado", "");
}

// cos and sin of 2 pi t / n in long double, t = 0 .. n-1.
struct Roots {
  std::vector<long double> c, s;
  explicit Roots(int64_t n) : c(n), s(n) {
    const long double pi2 = 6.283185307179586476925286766559L;
    for (int64_t t = 0; t < n; t++) {
      c[t] = std::cos(pi2 * t / n);
      s[t] = std::sin(pi2 * t / n);
    }
  }
};

// Outputs k of the defining sum in long double, sign s of the exponent, divisor d.
Vec direct_outputs(const Vec& x, const Roots& w, int s, long double d, const std::vector<int>& ks) {
  const int64_t n = static_cast<int64_t>(x.size());
  Vec y;
  for (int k : ks) {
    long double re = 0, im = 0;
    int64_t t = 0;
    for (int64_t j = 0; j < n; j++) {
      const long double c = w.c[t], sn = s * w.s[t];
      re += x[j].re * c - x[j].im * sn;
      im += x[j].re * sn + x[j].im * c;
      t += k;
      if (t >= n) t -= n;
    }
    y.push_back({static_cast<double>(re / d), static_cast<double>(im / d)});
  }
  return y;
}
Vec direct_outputs(const Vec& x, int s, long double d, const std::vector<int>& ks) {
  return direct_outputs(x, Roots(static_cast<int64_t>(x.size())), s, d, ks);
}

// Every output for short lengths; a spread of outputs for long ones.
std::vector<int> checked_outputs(int n) {
  std::vector<int> ks;
  if (n <= 256) {
    for (int k = 0; k < n; k++) ks.push_back(k);
    return ks;
  }
  for (int k : {0, 1, n / 3, n - 1}) ks.push_back(k);
  uint32_t h = 12345;
  for (int i = 0; i < 3; i++) {
    h = h * 1103515245u + 12345u;
    ks.push_back(static_cast<int>(h % static_cast<uint32_t>(n)));
  }
  return ks;
}

TEST(Fft, AccuracyTable) {
  std::vector<int> table;
  for (int n = 1; n <= 64; n++) table.push_back(n);
  for (int n : {97, 1009, 65537, 2 * 3 * 5 * 7, 1024 * 9}) table.push_back(n);
  for (int p = 7; p <= 20; p++) table.push_back(1 << p);
  for (int n : table) {
    const Vec x = sample(n);
    const std::vector<int> ks = checked_outputs(n);
    const Roots w(n);
    for (const EntryPoint& e : {kEntryPoints[0], kEntryPoints[1]}) {
      Vec in = x, out(n);
      e.f(in.data(), n, out.data());
      const long double d = e.scale == 0 ? 1 : n;
      const Vec want = direct_outputs(x, w, e.sign, d, ks);
      const double tol = tolerance(x) / static_cast<double>(d);
      double err = 0;
      for (size_t i = 0; i < ks.size(); i++)
        err = std::max(err, std::max(std::fabs(out[ks[i]].re - want[i].re),
                                     std::fabs(out[ks[i]].im - want[i].im)));
      EXPECT_LT(err, tol) << e.name << " n=" << n;
    }
  }
}

TEST(Fft, EveryInstructionSetGivesTheSameBits) {
  for (int n : {1, 2, 3, 4, 5, 7, 8, 12, 13, 16, 30, 64, 97, 210, 1009, 4096, 9216, 65537}) {
    const Vec x = sample(n);
    // The engine alone, then the entry points with their first level (outputs and work space),
    // on every level from the lowest.
    std::vector<Vec> results, levels;
    testutil::for_each_isa([&] {
      Vec out(n);
      vistelmo::fft_engine::dft(x.data(), n, out.data());
      results.push_back(out);
      Vec all;
      for (const EntryPoint& e : kEntryPoints) {
        Vec in = x;
        e.f(in.data(), n, out.data());
        all.insert(all.end(), out.begin(), out.end());
        all.insert(all.end(), in.begin(), in.end());
      }
      levels.push_back(all);
    });
    const std::vector<int> ks = checked_outputs(n);
    const Vec want = direct_outputs(x, +1, 1, ks);
    for (size_t i = 0; i < ks.size(); i++) {
      EXPECT_NEAR(results[0][ks[i]].re, want[i].re, tolerance(x)) << n;
      EXPECT_NEAR(results[0][ks[i]].im, want[i].im, tolerance(x)) << n;
    }
    for (size_t i = 1; i < results.size(); i++) {
      EXPECT_TRUE(same_bits(results[0], results[i])) << n << " level " << i;
      EXPECT_TRUE(same_bits(levels[0], levels[i])) << n << " level " << i;
    }
  }
}

TEST(Fft, InterleavedLinesGetTheBitsOfSingleLines) {
  testutil::for_each_isa([] {
    for (int n : {1, 2, 3, 4, 5, 7, 8, 12, 30, 64, 97, 1000})
      for (int count : {1, 2, 3, 6, 16}) {
        const Vec x = sample(n * count);
        Vec out(x.size());
        vistelmo::fft_engine::dft_lines(x.data(), n, count, out.data());
        for (int c = 0; c < count; c++) {
          Vec line(n), want(n), got(n);
          for (int e = 0; e < n; e++) line[e] = x[static_cast<size_t>(e) * count + c];
          vistelmo::fft_engine::dft(line.data(), n, want.data());
          for (int e = 0; e < n; e++) got[e] = out[static_cast<size_t>(e) * count + c];
          EXPECT_TRUE(same_bits(got, want)) << "n " << n << " count " << count;
        }
      }
  });
}

TEST(FftDeath, RefusedLengthsLeaveTheTableForOneClearExit) {
  // One message and one exit: the table is left as it was for the exit handlers.
  for (int before : {0, 8}) {
    EXPECT_EXIT(
        {
          testutil::stdout_to_stderr();
          Quorvan::W_init(before);
          Quorvan::W_init(-1);
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq("Erro: malloc do FFT - W_init \n"))
        << before;
  }
}

TEST(FftDeath, TableAllocationFailure) {
  EXPECT_ERRO(Quorvan::W_init(-1), "Erro: malloc do FFT - W_init", "");
}

}  // namespace
