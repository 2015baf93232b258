// Planned FFT: Stockham autosort passes (decimation in frequency, results in natural order),
// radix 8, 4 and 2 first, then 3, 5 and small primes; Bluestein's convolution for lengths with a
// larger prime factor. Every plan keeps its twiddles per pass and its scratch space.
#include "processing/filters/fft_engine_internal.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "foundation/erro.h"
#include "foundation/math_internal.h"
#include "processing/kernels/fft_passes.h"

namespace vistelmo {
namespace fft_engine {

namespace {

// Largest prime factor run by a Stockham pass; lengths with a larger one go through Bluestein.
const int kLargestPass = 13;

// e^{+2 pi i k/n} for 0 <= k < n, from the first octant so that symmetric entries agree.
COMPLEX unit_root(int64_t k, int64_t n) {
  // Reduce to the angle 2 pi k'/(8n) with k' = 8k in [0, n] octant by octant.
  const int64_t k8 = 8 * k;
  auto cs = [&](int64_t num) {  // angle (pi / 4) num / n, num in [0, n]
    const double a = (vistelmo::kPi / 4) * (static_cast<double>(num) / static_cast<double>(n));
    return COMPLEX{std::cos(a), std::sin(a)};
  };
  int64_t t = k8;
  const int64_t q = n;  // one octant of the full turn 8n
  const int oct = static_cast<int>(t / q);
  const int64_t rem = t - oct * q;
  COMPLEX c;
  switch (oct) {
    case 0:
      c = cs(rem);
      return c;
    case 1:
      c = cs(q - rem);
      return {c.im, c.re};
    case 2:
      c = cs(rem);
      return {-c.im, c.re};
    case 3:
      c = cs(q - rem);
      return {-c.re, c.im};
    case 4:
      c = cs(rem);
      return {-c.re, -c.im};
    case 5:
      c = cs(q - rem);
      return {-c.im, -c.re};
    case 6:
      c = cs(rem);
      return {c.im, -c.re};
    default:
      c = cs(q - rem);
      return {c.re, -c.im};
  }
}

struct Plan;
std::shared_ptr<Plan> plan_for(int n);

struct Plan : Passes {
  // Stockham: the length and passes (Passes), and the work space
  std::vector<COMPLEX> scratch;
  std::vector<COMPLEX> lines_scratch;  // for transforms of interleaved lines
  // Bluestein
  int big = 0;                  // convolution length, of factors 2, 3 and 5
  std::vector<COMPLEX> chirp;   // e^{+pi i j^2/n}
  std::vector<COMPLEX> kernel;  // transform of the conjugated chirp, divided by big
  std::vector<COMPLEX> work, work2;
  std::shared_ptr<Plan> inner;
  // First level of fourier_levels: r, m and the twiddles root(q k0), q = 1..r-1, k0 < m.
  int r = 0, m = 0;
  std::vector<COMPLEX> join_tw;
  std::shared_ptr<Plan> part, radix_plan;  // lengths m and r
  std::vector<COMPLEX> line, line2;
};

void stockham(const Plan& p, const COMPLEX* in, COMPLEX* out, COMPLEX* scratch) {
  fft_kernels().stockham(p, in, out, scratch);
}

// Powers of two as 8s, with one or two 4s (or a lone 2) for the rest; then odd primes rising.
std::vector<int> factor(int n) {
  std::vector<int> f;
  if (n < 1) return f;
  int twos = 0;
  for (; n % 2 == 0; n /= 2) twos++;
  if (twos == 1) f.push_back(2);
  const int fours = twos == 1 ? 0 : twos % 3 == 2 ? 1 : twos % 3 == 1 ? 2 : 0;
  for (int i = 0; i < fours; i++) f.push_back(4);
  for (int i = 0; i < (twos - 2 * fours) / 3; i++) f.push_back(8);
  for (int d = 3; static_cast<int64_t>(d) * d <= n; d += 2)
    while (n % d == 0) {
      f.push_back(d);
      n /= d;
    }
  if (n > 1) f.push_back(n);
  return f;
}

void build_stockham(Plan& p, const std::vector<int>& factors) {
  const int n = p.n;
  int l1 = 1;
  for (int radix : factors) {
    Pass ps;
    ps.radix = radix;
    ps.l1 = l1;
    ps.ido = n / (l1 * radix);
    const int ido = ps.ido;
    if (ido > 1) {
      ps.tw.resize(static_cast<size_t>(radix - 1) * ido);
      for (int j = 1; j < radix; j++)
        for (int i = 0; i < ido; i++)
          ps.tw[static_cast<size_t>(j - 1) * ido + i] =
              unit_root(static_cast<int64_t>(j) * l1 * i, n);
    }
    if (radix != 2 && radix != 3 && radix != 4 && radix != 5 && radix != 8) {
      ps.roots.resize(radix);
      for (int u = 0; u < radix; u++) ps.roots[u] = unit_root(u, radix);
    }
    p.passes.push_back(std::move(ps));
    l1 *= radix;
  }
  p.scratch.resize(n);
}

void build_bluestein(Plan& p) {
  const int n = p.n;
  // The smallest length of factors 2, 3 and 5 that holds the linear convolution.
  int64_t big = 2 * static_cast<int64_t>(n) - 1;
  for (;; big++) {
    int64_t rest = big;
    for (int f : {2, 3, 5})
      while (rest % f == 0) rest /= f;
    if (rest == 1) break;
  }
  if (big > INT32_MAX) erro("Erro: malloc do FFT - W_init", "");
  p.big = static_cast<int>(big);
  p.inner = plan_for(big);
  p.chirp.resize(n);
  for (int j = 0; j < n; j++) {
    // e^{+pi i j^2 / n} = root(j^2 mod 2n) of order 2n
    const int64_t e = (static_cast<int64_t>(j) * j) % (2 * static_cast<int64_t>(n));
    p.chirp[j] = unit_root(e, 2 * static_cast<int64_t>(n));
  }
  std::vector<COMPLEX> b(big, COMPLEX{0, 0});
  for (int j = 0; j < n; j++) {
    const COMPLEX c = {p.chirp[j].re, -p.chirp[j].im};
    b[j] = c;
    if (j > 0) b[big - j] = c;
  }
  p.kernel.resize(big);
  p.work.resize(big);
  p.work2.resize(big);
  stockham(*p.inner, b.data(), p.kernel.data(), p.inner->scratch.data());
  for (COMPLEX& c : p.kernel) {
    c.re /= big;
    c.im /= big;
  }
}

// X[k] = chirp[k] sum_j (x[j] chirp[j]) conj(chirp[k - j]): one circular convolution of length
// big, by transforms with the positive exponent (the second one read backwards).
void bluestein(Plan& p, const COMPLEX* in, COMPLEX* out) {
  const int n = p.n, big = p.big;
  COMPLEX* a = p.work.data();
  COMPLEX* f = p.work2.data();
  for (int j = 0; j < n; j++) a[j] = mul(in[j], p.chirp[j]);
  for (int j = n; j < big; j++) a[j] = {0, 0};
  Plan& q = *p.inner;
  stockham(q, a, f, q.scratch.data());
  for (int j = 0; j < big; j++) f[j] = mul(f[j], p.kernel[j]);
  stockham(q, f, a, q.scratch.data());
  // Transforming twice with one sign reverses the indices: conv[k] = a[(big - k) mod big].
  out[0] = mul(a[0], p.chirp[0]);
  for (int k = 1; k < n; k++) out[k] = mul(a[big - k], p.chirp[k]);
}

// Plans by length. The cache is bounded by emptying it at the start of a transform when many
// lengths have come in turn, never while a transform holds its plans.
std::map<int, std::shared_ptr<Plan>> plans;
Plan* last_plan = nullptr;

void trim_plans() {
  if (plans.size() < 32) return;
  plans.clear();
  last_plan = nullptr;
}

std::shared_ptr<Plan> plan_for(int n) {
  auto it = plans.find(n);
  if (it != plans.end()) return it->second;
  auto p = std::make_shared<Plan>();
  p->n = n;
  const std::vector<int> f = factor(n);
  bool smooth = true;
  for (int d : f) smooth = smooth && d <= kLargestPass;
  if (smooth)
    build_stockham(*p, n == 1 ? std::vector<int>() : f);
  else
    build_bluestein(*p);
  plans[n] = p;
  return p;
}

Plan& plan(int n) {
  if (last_plan == nullptr || last_plan->n != n) last_plan = plan_for(n).get();
  return *last_plan;
}

void run(Plan& p, const COMPLEX* in, COMPLEX* out) {
  if (p.big != 0)
    bluestein(p, in, out);
  else
    stockham(p, in, out, p.scratch.data());
}

// Smallest factor of n above 1; n itself when prime.
int smallest_factor(int n) {
  for (int64_t d = 2; d * d <= n; d++)
    if (n % d == 0) return static_cast<int>(d);
  return n;
}

void build_join(Plan& p) {
  const int n = p.n;
  p.r = smallest_factor(n);
  p.m = n / p.r;
  p.join_tw.resize(static_cast<size_t>(p.r - 1) * p.m);
  for (int q = 1; q < p.r; q++)
    for (int k0 = 0; k0 < p.m; k0++)
      p.join_tw[static_cast<size_t>(q - 1) * p.m + k0] = unit_root(static_cast<int64_t>(q) * k0, n);
  if (p.r < n) p.part = plan_for(p.m);
  if (p.r > 2) {
    p.radix_plan = plan_for(p.r);
    p.line.resize(p.r);
    p.line2.resize(p.r);
  }
}

// The r decimated subsequences in[q + j r] (j < m) into the blocks of out, conjugated when conj.
void gather_blocks(const COMPLEX* in, int r, int m, bool conj, COMPLEX* out) {
  const double sign = conj ? -1.0 : 1.0;
  for (int q = 0; q < r; q++) {
    COMPLEX* block = out + static_cast<size_t>(q) * m;
    const COMPLEX* src = in + q;
    for (int j = 0; j < m; j++)
      block[j] = {src[static_cast<size_t>(j) * r].re, sign * src[static_cast<size_t>(j) * r].im};
  }
}

}  // namespace

void dft(const COMPLEX* in, int n, COMPLEX* out) {
  trim_plans();
  run(plan(n), in, out);
}

void dft_lines(const COMPLEX* in, int n, int count, COMPLEX* out) {
  trim_plans();
  Plan* p = &plan(n);
  bool together = p->big == 0 && count % 2 == 0 && n > 1;
  for (const Pass& ps : p->passes) together = together && (ps.radix <= 5 || ps.radix == 8);
  if (!together) {  // one line at a time, through a line of its own
    std::vector<COMPLEX>& pair = p->lines_scratch;
    if (pair.size() < 2 * static_cast<size_t>(n)) pair.resize(2 * static_cast<size_t>(n));
    COMPLEX* a = pair.data();
    COMPLEX* b = a + n;
    for (int c = 0; c < count; c++) {
      for (int e = 0; e < n; e++) a[e] = in[static_cast<size_t>(e) * count + c];
      run(*p, a, b);
      for (int e = 0; e < n; e++) out[static_cast<size_t>(e) * count + c] = b[e];
    }
    return;
  }
  const size_t size = static_cast<size_t>(n) * count;
  if (p->lines_scratch.size() < size) p->lines_scratch.resize(size);
  fft_kernels().stockham_lines(*p, in, out, p->lines_scratch.data(), count);
}

void fourier_levels(COMPLEX* in, int n, COMPLEX* out, const Line& line) {
  if (n < 1) return;
  const bool fw = line.forward;
  const double d = line.divisor;
  trim_plans();
  Plan* p = &plan(n);
  if (p->r == 0) build_join(*p);
  const int r = p->r, m = p->m;
  if (r == n) {  // 1 or prime: in keeps what it holds, conjugated when forward
    if (fw)
      for (int i = 0; i < n; i++) in[i].im = -in[i].im;
    if (n == 2 && Quorvan::nW > 0 && Quorvan::nW % 2 == 0) {
      // Length 2 takes W^1 from the table as it is: (cos pi, sin pi), not exactly (-1, 0).
      const COMPLEX w = Quorvan::W[Quorvan::nW / 2];
      out[0] = {in[0].re + in[1].re, in[0].im + in[1].im};
      out[1] = {in[0].re + (in[1].re * w.re - in[1].im * w.im),
                in[0].im + (in[1].re * w.im + in[1].im * w.re)};
    } else {
      run(*p, in, out);
    }
    if (fw || d != 1.0)
      for (int i = 0; i < n; i++) out[i] = finish(out[i], fw, d);
    return;
  }
  // Decimated subsequences, conjugated when forward, transformed into the blocks of in: read in
  // place by the first pass when it can, otherwise gathered into out first.
  Plan& part = *p->part;
  const bool in_place = part.big == 0 && !part.passes.empty() &&
                        (part.passes[0].radix <= 5 || part.passes[0].radix == 8);
  if (in_place) {
    fft_kernels().blocks(part, in, r, fw, out, part.scratch.data());
  } else {
    gather_blocks(in, r, m, fw, out);
    for (int q = 0; q < r; q++)
      run(part, out + static_cast<size_t>(q) * m, in + static_cast<size_t>(q) * m);
  }
  // One decimation-in-time level: out[k0 + s m] = sum_q in[k0 + q m] root(q k0) e^{2 pi i qs/r}.
  const COMPLEX* tw = p->join_tw.data();
  if (r == 2) {
    fft_kernels().join2(in, m, tw, out, fw, d);
    return;
  }
  Plan& rp = *p->radix_plan;
  COMPLEX* y = p->line.data();
  COMPLEX* z = p->line2.data();
  for (int k0 = 0; k0 < m; k0++) {
    y[0] = in[k0];
    for (int q = 1; q < r; q++)
      y[q] = mul(in[k0 + static_cast<size_t>(q) * m], tw[static_cast<size_t>(q - 1) * m + k0]);
    run(rp, y, z);
    for (int s = 0; s < r; s++) out[k0 + static_cast<size_t>(s) * m] = finish(z[s], fw, d);
  }
}

Line fft_line(int) { return {true, 1.0}; }
Line ifft_line(int n) { return {false, static_cast<double>(n)}; }
Line nfft_line(int n) { return {true, std::sqrt(static_cast<double>(n))}; }
Line infft_line(int n) { return {false, std::sqrt(static_cast<double>(n))}; }

}  // namespace fft_engine
}  // namespace vistelmo
