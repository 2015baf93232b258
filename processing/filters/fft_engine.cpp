// Planned FFT: Stockham autosort passes (decimation in frequency, results in natural order),
// radix 4 first, then 2, 3, 5 and small primes; Bluestein's convolution for lengths with a
// larger prime factor. Every plan keeps its twiddles per pass and its scratch space.
#include "processing/filters/fft_engine_internal.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace vistelmo {
namespace fft_engine {

namespace {

// Largest prime factor run by a Stockham pass; lengths with a larger one go through Bluestein.
const int kLargestPass = 13;

inline COMPLEX add(COMPLEX a, COMPLEX b) { return {a.re + b.re, a.im + b.im}; }
inline COMPLEX sub(COMPLEX a, COMPLEX b) { return {a.re - b.re, a.im - b.im}; }
inline COMPLEX mul(COMPLEX a, COMPLEX w) {
  return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re};
}
// i times a
inline COMPLEX rot90(COMPLEX a) { return {-a.im, a.re}; }

// e^{+2 pi i k/n} for 0 <= k < n, from the first octant so that symmetric entries agree.
COMPLEX unit_root(int64_t k, int64_t n) {
  // Reduce to the angle 2 pi k'/(8n) with k' = 8k in [0, n] octant by octant.
  const int64_t k8 = 8 * k;
  const long double pi2 = 6.283185307179586476925286766559L;
  auto cs = [&](int64_t num) {  // angle 2 pi num / (8 n), num in [0, n]
    const long double a = pi2 * static_cast<long double>(num) / static_cast<long double>(8 * n);
    return COMPLEX{static_cast<double>(std::cos(a)), static_cast<double>(std::sin(a))};
  };
  int64_t t = k8;
  const int64_t q = n;  // one octant of the full turn 8n
  const int oct = static_cast<int>(t / q);
  const int64_t rem = t - oct * q;
  COMPLEX c;
  switch (oct) {
    case 0: c = cs(rem); return c;
    case 1: c = cs(q - rem); return {c.im, c.re};
    case 2: c = cs(rem); return {-c.im, c.re};
    case 3: c = cs(q - rem); return {-c.re, c.im};
    case 4: c = cs(rem); return {-c.re, -c.im};
    case 5: c = cs(q - rem); return {-c.im, -c.re};
    case 6: c = cs(rem); return {c.im, -c.re};
    default: c = cs(q - rem); return {c.re, -c.im};
  }
}

struct Pass {
  int radix;
  int ido;  // length of the runs that share a twiddle row
  int l1;   // butterflies done by the passes before
  std::vector<COMPLEX> tw;     // tw[(j-1)(ido-1) + i-1] = root(j l1 i)
  std::vector<COMPLEX> roots;  // generic radix: e^{2 pi i u/radix}
};

struct Plan;
std::shared_ptr<Plan> plan_for(int n);

struct Plan {
  int n = 0;
  // Stockham
  std::vector<Pass> passes;
  std::vector<COMPLEX> scratch;
  // Bluestein
  int big = 0;                     // power-of-two convolution length
  std::vector<COMPLEX> chirp;      // e^{+pi i j^2/n}
  std::vector<COMPLEX> kernel;     // transform of the conjugated chirp, divided by big
  std::vector<COMPLEX> work, work2;
  std::shared_ptr<Plan> inner;
  // First level of fourier_levels: r, m and the twiddles root(q k0), q = 1..r-1, k0 < m.
  int r = 0, m = 0;
  std::vector<COMPLEX> join_tw;
  std::shared_ptr<Plan> radix_plan;
  std::vector<COMPLEX> line, line2;
};

// ---- passes: cc is read as CC(i, j, k) = cc[i + ido (j + radix k)], ch written as
// CH(i, k, j) = ch[i + ido (k + l1 j)]; outputs after the first of each run are multiplied by
// the twiddle WA(j-1, i).

#define CC(i, j, k) cc[(i) + ido * ((j) + cdim * (k))]
#define CH(i, k, j) ch[(i) + ido * ((k) + l1 * (j))]
#define WA(x, i) wa[(i)-1 + (x) * (ido - 1)]

template <bool Tw>
inline __attribute__((always_inline)) void bfly2(int ido, int l1, const COMPLEX* __restrict cc,
                                                 COMPLEX* __restrict ch,
                                                 const COMPLEX* __restrict wa, int k, int i) {
  const int cdim = 2;
  const COMPLEX a = CC(i, 0, k), b = CC(i, 1, k);
  CH(i, k, 0) = add(a, b);
  CH(i, k, 1) = Tw ? mul(sub(a, b), WA(0, i)) : sub(a, b);
}

template <bool Tw>
inline __attribute__((always_inline)) void bfly4(int ido, int l1, const COMPLEX* __restrict cc,
                                                 COMPLEX* __restrict ch,
                                                 const COMPLEX* __restrict wa, int k, int i) {
  const int cdim = 4;
  const COMPLEX c0 = CC(i, 0, k), c1 = CC(i, 1, k), c2 = CC(i, 2, k), c3 = CC(i, 3, k);
  const COMPLEX t2 = add(c0, c2), t1 = sub(c0, c2);
  const COMPLEX t3 = add(c1, c3), t4 = rot90(sub(c1, c3));
  CH(i, k, 0) = add(t2, t3);
  if (Tw) {
    CH(i, k, 1) = mul(add(t1, t4), WA(0, i));
    CH(i, k, 2) = mul(sub(t2, t3), WA(1, i));
    CH(i, k, 3) = mul(sub(t1, t4), WA(2, i));
  } else {
    CH(i, k, 1) = add(t1, t4);
    CH(i, k, 2) = sub(t2, t3);
    CH(i, k, 3) = sub(t1, t4);
  }
}

template <bool Tw>
inline __attribute__((always_inline)) void bfly3(int ido, int l1, const COMPLEX* __restrict cc,
                                                 COMPLEX* __restrict ch,
                                                 const COMPLEX* __restrict wa, int k, int i) {
  const int cdim = 3;
  const double twr = -0.5, twi = 0.86602540378443864676;
  const COMPLEX t0 = CC(i, 0, k), t1 = add(CC(i, 1, k), CC(i, 2, k)),
                t2 = sub(CC(i, 1, k), CC(i, 2, k));
  CH(i, k, 0) = add(t0, t1);
  const COMPLEX ca = {t0.re + twr * t1.re, t0.im + twr * t1.im};
  const COMPLEX cb = {-(twi * t2.im), twi * t2.re};
  if (Tw) {
    CH(i, k, 1) = mul(add(ca, cb), WA(0, i));
    CH(i, k, 2) = mul(sub(ca, cb), WA(1, i));
  } else {
    CH(i, k, 1) = add(ca, cb);
    CH(i, k, 2) = sub(ca, cb);
  }
}

template <bool Tw>
inline __attribute__((always_inline)) void bfly5(int ido, int l1, const COMPLEX* __restrict cc,
                                                 COMPLEX* __restrict ch,
                                                 const COMPLEX* __restrict wa, int k, int i) {
  const int cdim = 5;
  const double tw1r = 0.3090169943749474241, tw1i = 0.95105651629515357212,
               tw2r = -0.8090169943749474241, tw2i = 0.58778525229247312917;
  const COMPLEX t0 = CC(i, 0, k);
  const COMPLEX t1 = add(CC(i, 1, k), CC(i, 4, k)), t4 = sub(CC(i, 1, k), CC(i, 4, k));
  const COMPLEX t2 = add(CC(i, 2, k), CC(i, 3, k)), t3 = sub(CC(i, 2, k), CC(i, 3, k));
  CH(i, k, 0) = {t0.re + t1.re + t2.re, t0.im + t1.im + t2.im};
  const COMPLEX ca1 = {t0.re + tw1r * t1.re + tw2r * t2.re, t0.im + tw1r * t1.im + tw2r * t2.im};
  const COMPLEX cb1 = {-(tw1i * t4.im + tw2i * t3.im), tw1i * t4.re + tw2i * t3.re};
  const COMPLEX ca2 = {t0.re + tw2r * t1.re + tw1r * t2.re, t0.im + tw2r * t1.im + tw1r * t2.im};
  const COMPLEX cb2 = {-(tw2i * t4.im - tw1i * t3.im), tw2i * t4.re - tw1i * t3.re};
  if (Tw) {
    CH(i, k, 1) = mul(add(ca1, cb1), WA(0, i));
    CH(i, k, 4) = mul(sub(ca1, cb1), WA(3, i));
    CH(i, k, 2) = mul(add(ca2, cb2), WA(1, i));
    CH(i, k, 3) = mul(sub(ca2, cb2), WA(2, i));
  } else {
    CH(i, k, 1) = add(ca1, cb1);
    CH(i, k, 4) = sub(ca1, cb1);
    CH(i, k, 2) = add(ca2, cb2);
    CH(i, k, 3) = sub(ca2, cb2);
  }
}

template <void (*B0)(int, int, const COMPLEX*, COMPLEX*, const COMPLEX*, int, int),
          void (*B1)(int, int, const COMPLEX*, COMPLEX*, const COMPLEX*, int, int)>
inline __attribute__((always_inline)) void run_pass(int ido, int l1,
                                                    const COMPLEX* __restrict cc,
                                                    COMPLEX* __restrict ch,
                                                    const COMPLEX* __restrict wa) {
  for (int k = 0; k < l1; k++) {
    B0(ido, l1, cc, ch, wa, k, 0);
    for (int i = 1; i < ido; i++) B1(ido, l1, cc, ch, wa, k, i);
  }
}

// Any radix p: the p-point sums by the roots table, then the twiddles.
void pass_generic(const Pass& ps, const COMPLEX* __restrict cc, COMPLEX* __restrict ch) {
  const int ido = ps.ido, l1 = ps.l1, cdim = ps.radix;
  const COMPLEX* wa = ps.tw.data();
  const COMPLEX* rt = ps.roots.data();
  for (int k = 0; k < l1; k++)
    for (int i = 0; i < ido; i++)
      for (int u = 0; u < cdim; u++) {
        COMPLEX s = CC(i, 0, k);
        int e = 0;
        for (int j = 1; j < cdim; j++) {
          e += u;
          if (e >= cdim) e -= cdim;
          s = add(s, mul(CC(i, j, k), rt[e]));
        }
        CH(i, k, u) = (u == 0 || i == 0) ? s : mul(s, WA(u - 1, i));
      }
}

#undef CC
#undef CH
#undef WA

// Runs the passes of a Stockham plan from in to out (distinct); in is not written.
inline __attribute__((always_inline)) void stockham_body(const Plan& p, const COMPLEX* in,
                                                         COMPLEX* out, COMPLEX* scratch) {
  const int np = static_cast<int>(p.passes.size());
  if (np == 0) {
    out[0] = in[0];
    return;
  }
  // Buffers alternate so that the last pass writes out.
  const COMPLEX* src = in;
  COMPLEX* dst = (np % 2 == 1) ? out : scratch;
  for (int s = 0; s < np; s++) {
    const Pass& ps = p.passes[s];
    const COMPLEX* wa = ps.tw.data();
    switch (ps.radix) {
      case 4:
        run_pass<bfly4<false>, bfly4<true>>(ps.ido, ps.l1, src, dst, wa);
        break;
      case 2:
        run_pass<bfly2<false>, bfly2<true>>(ps.ido, ps.l1, src, dst, wa);
        break;
      case 3:
        run_pass<bfly3<false>, bfly3<true>>(ps.ido, ps.l1, src, dst, wa);
        break;
      case 5:
        run_pass<bfly5<false>, bfly5<true>>(ps.ido, ps.l1, src, dst, wa);
        break;
      default:
        pass_generic(ps, src, dst);
    }
    src = dst;
    dst = (dst == out) ? scratch : out;
  }
}

__attribute__((target("avx2"))) void stockham_avx2(const Plan& p, const COMPLEX* in,
                                                   COMPLEX* out, COMPLEX* scratch) {
  stockham_body(p, in, out, scratch);
}
void stockham_base(const Plan& p, const COMPLEX* in, COMPLEX* out, COMPLEX* scratch) {
  stockham_body(p, in, out, scratch);
}

int forced_isa = 0;

void stockham(const Plan& p, const COMPLEX* in, COMPLEX* out, COMPLEX* scratch) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  const bool use_avx2 = forced_isa == 0 ? avx2 : forced_isa == 2;
  (use_avx2 ? stockham_avx2 : stockham_base)(p, in, out, scratch);
}

std::vector<int> factor(int n) {
  std::vector<int> f;
  while (n % 4 == 0) {
    f.push_back(4);
    n /= 4;
  }
  if (n % 2 == 0) {
    f.push_back(2);
    n /= 2;
  }
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
      ps.tw.resize(static_cast<size_t>(radix - 1) * (ido - 1));
      for (int j = 1; j < radix; j++)
        for (int i = 1; i < ido; i++)
          ps.tw[static_cast<size_t>(j - 1) * (ido - 1) + i - 1] =
              unit_root(static_cast<int64_t>(j) * l1 * i, n);
    }
    if (radix != 2 && radix != 3 && radix != 4 && radix != 5) {
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
  int big = 1;
  while (big < 2 * n - 1) big *= 2;
  p.big = big;
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
  dft(b.data(), big, p.kernel.data());
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

std::map<int, std::shared_ptr<Plan>>& cache() {
  static std::map<int, std::shared_ptr<Plan>> plans;
  return plans;
}

std::shared_ptr<Plan> plan_for(int n) {
  auto& plans = cache();
  auto it = plans.find(n);
  if (it != plans.end()) return it->second;
  if (plans.size() >= 32) plans.clear();  // bounded: many lengths in turn rebuild their plans
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
      p.join_tw[static_cast<size_t>(q - 1) * p.m + k0] =
          unit_root(static_cast<int64_t>(q) * k0, n);
  if (p.r > 2) {
    p.radix_plan = plan_for(p.r);
    p.line.resize(p.r);
    p.line2.resize(p.r);
  }
}

}  // namespace

void dft(const COMPLEX* in, int n, COMPLEX* out) {
  std::shared_ptr<Plan> p = plan_for(n);
  run(*p, in, out);
}

void fourier_levels(COMPLEX* in, int n, COMPLEX* out) {
  if (n < 1) return;
  std::shared_ptr<Plan> p = plan_for(n);
  if (p->r == 0) build_join(*p);
  const int r = p->r, m = p->m;
  if (r == n) {  // 1 or prime: in stays as it is
    run(*p, in, out);
    return;
  }
  // Decimated subsequences into out, their transforms into the blocks of in.
  for (int q = 0; q < r; q++) {
    COMPLEX* block = out + static_cast<size_t>(q) * m;
    for (int j = 0; j < m; j++) block[j] = in[q + static_cast<size_t>(j) * r];
  }
  std::shared_ptr<Plan> part = plan_for(m);
  for (int q = 0; q < r; q++)
    run(*part, out + static_cast<size_t>(q) * m, in + static_cast<size_t>(q) * m);
  // One decimation-in-time level: out[k0 + s m] = sum_q in[k0 + q m] root(q k0) e^{2 pi i qs/r}.
  const COMPLEX* tw = p->join_tw.data();
  if (r == 2) {
    out[0] = add(in[0], in[m]);
    out[m] = sub(in[0], in[m]);
    for (int k0 = 1; k0 < m; k0++) {
      const COMPLEX a = in[k0], b = mul(in[k0 + m], tw[k0]);
      out[k0] = add(a, b);
      out[k0 + m] = sub(a, b);
    }
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
    for (int s = 0; s < r; s++) out[k0 + static_cast<size_t>(s) * m] = z[s];
  }
}

Line fft_line(int) { return {true, 1.0}; }
Line ifft_line(int n) { return {false, static_cast<double>(n)}; }
Line nfft_line(int n) { return {true, std::sqrt(static_cast<double>(n))}; }
Line infft_line(int n) { return {false, std::sqrt(static_cast<double>(n))}; }

void set_isa(int isa) { forced_isa = isa; }
bool have_avx2() { return __builtin_cpu_supports("avx2"); }

}  // namespace fft_engine
}  // namespace vistelmo
