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
#include "processing/kernels/isa.h"

// Four-double vectors stay inside this file: no interface passes them. Every helper is inlined
// into the instruction-set variant that calls it.
#pragma GCC diagnostic ignored "-Wpsabi"
#define FORCE_INLINE inline __attribute__((always_inline))

namespace vistelmo {
namespace fft_engine {

namespace {

// Largest prime factor run by a Stockham pass; lengths with a larger one go through Bluestein.
const int kLargestPass = 13;

FORCE_INLINE COMPLEX add(COMPLEX a, COMPLEX b) { return {a.re + b.re, a.im + b.im}; }
FORCE_INLINE COMPLEX sub(COMPLEX a, COMPLEX b) { return {a.re - b.re, a.im - b.im}; }
FORCE_INLINE COMPLEX mul(COMPLEX a, COMPLEX w) {
  return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re};
}
// i times a
FORCE_INLINE COMPLEX rot90(COMPLEX a) { return {-a.im, a.re}; }

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

// Two neighbouring complexes.
typedef double V4 __attribute__((vector_size(32)));
struct C2 {
  V4 v;
};

struct Pass {
  int radix;
  int ido;                     // length of the runs that share a twiddle row
  int l1;                      // butterflies done by the passes before
  std::vector<COMPLEX> tw;     // tw[(j-1) ido + i] = root(j l1 i), exactly 1 for i = 0
  std::vector<COMPLEX> roots;  // generic radix: e^{2 pi i u/radix}
};

struct Plan;
std::shared_ptr<Plan> plan_for(int n);

struct Plan {
  int n = 0;
  // Stockham
  std::vector<Pass> passes;
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

// ---- Lanes: one complex or two neighbours (C2). Both do the same operations on each complex in
// the same order, so they give the same bits.

FORCE_INLINE COMPLEX operator+(COMPLEX a, COMPLEX b) { return add(a, b); }
FORCE_INLINE COMPLEX operator-(COMPLEX a, COMPLEX b) { return sub(a, b); }
FORCE_INLINE COMPLEX operator*(double c, COMPLEX a) { return {c * a.re, c * a.im}; }
FORCE_INLINE COMPLEX twiddle(COMPLEX a, COMPLEX w) { return mul(a, w); }

FORCE_INLINE C2 operator+(const C2& a, const C2& b) { return {a.v + b.v}; }
FORCE_INLINE C2 operator-(const C2& a, const C2& b) { return {a.v - b.v}; }
FORCE_INLINE C2 operator*(double c, const C2& a) { return {c * a.v}; }
typedef long long I4 __attribute__((vector_size(32)));
FORCE_INLINE V4 swap_pairs(const V4& a) { return __builtin_shuffle(a, I4{1, 0, 3, 2}); }
FORCE_INLINE C2 rot90(const C2& a) {
  const V4 sign = {-1.0, 1.0, -1.0, 1.0};
  return {swap_pairs(a.v) * sign};
}
// a times the twiddles t of the two neighbours: (ar wr + ai (-wi), ai wr + ar wi), the scalar
// product's terms with each sum's terms swapped.
FORCE_INLINE C2 twiddle(const C2& a, const C2& t) {
  const V4 wr = __builtin_shuffle(t.v, I4{0, 0, 2, 2});
  const V4 wi = __builtin_shuffle(t.v, I4{1, 1, 3, 3}) * V4{-1.0, 1.0, -1.0, 1.0};
  return {a.v * wr + swap_pairs(a.v) * wi};
}

FORCE_INLINE C2 load2(const COMPLEX* p) {
  C2 c;
  __builtin_memcpy(&c.v, p, sizeof(V4));
  return c;
}
FORCE_INLINE C2 load2(const COMPLEX* p, const COMPLEX* q) {
  const V4 v = {p->re, p->im, q->re, q->im};
  return {v};
}
FORCE_INLINE void store2(COMPLEX* p, const C2& c) { __builtin_memcpy(p, &c.v, sizeof(V4)); }

// ---- Butterflies: y = the radix-point transform (positive exponent) of x.

template <class L>
FORCE_INLINE void bfly2(const L* x, L* y) {
  y[0] = x[0] + x[1];
  y[1] = x[0] - x[1];
}

template <class L>
FORCE_INLINE void bfly4(const L* x, L* y) {
  const L t2 = x[0] + x[2], t1 = x[0] - x[2];
  const L t3 = x[1] + x[3], t4 = rot90(x[1] - x[3]);
  y[0] = t2 + t3;
  y[1] = t1 + t4;
  y[2] = t2 - t3;
  y[3] = t1 - t4;
}

template <class L>
FORCE_INLINE void bfly3(const L* x, L* y) {
  const double twr = -0.5, twi = 0.86602540378443864676;
  const L t0 = x[0], t1 = x[1] + x[2], t2 = x[1] - x[2];
  y[0] = t0 + t1;
  const L ca = t0 + twr * t1, cb = rot90(twi * t2);
  y[1] = ca + cb;
  y[2] = ca - cb;
}

template <class L>
FORCE_INLINE void bfly5(const L* x, L* y) {
  const double tw1r = 0.3090169943749474241, tw1i = 0.95105651629515357212,
               tw2r = -0.8090169943749474241, tw2i = 0.58778525229247312917;
  const L t0 = x[0];
  const L t1 = x[1] + x[4], t4 = x[1] - x[4];
  const L t2 = x[2] + x[3], t3 = x[2] - x[3];
  y[0] = (t0 + t1) + t2;
  const L ca1 = (t0 + tw1r * t1) + tw2r * t2, cb1 = rot90(tw1i * t4 + tw2i * t3);
  const L ca2 = (t0 + tw2r * t1) + tw1r * t2, cb2 = rot90(tw2i * t4 - tw1i * t3);
  y[1] = ca1 + cb1;
  y[4] = ca1 - cb1;
  y[2] = ca2 + cb2;
  y[3] = ca2 - cb2;
}

// Two 4-point transforms, of the even and the odd inputs, joined by the eighth roots of unity
// (e^{i pi/4} = s (1 + i)).
template <class L>
FORCE_INLINE void bfly8(const L* x, L* y) {
  const double s = 0.70710678118654752440;
  const L xe[4] = {x[0], x[2], x[4], x[6]}, xo[4] = {x[1], x[3], x[5], x[7]};
  L e[4], o[4];
  bfly4(xe, e);
  bfly4(xo, o);
  const L o1 = s * (o[1] + rot90(o[1])), o2 = rot90(o[2]), o3 = s * (rot90(o[3]) - o[3]);
  y[0] = e[0] + o[0];
  y[4] = e[0] - o[0];
  y[1] = e[1] + o1;
  y[5] = e[1] - o1;
  y[2] = e[2] + o2;
  y[6] = e[2] - o2;
  y[3] = e[3] + o3;
  y[7] = e[3] - o3;
}

template <int R>
struct Radix {
  template <class L>
  static FORCE_INLINE void bfly(const L* x, L* y) {
    if constexpr (R == 2) bfly2(x, y);
    if constexpr (R == 3) bfly3(x, y);
    if constexpr (R == 4) bfly4(x, y);
    if constexpr (R == 5) bfly5(x, y);
    if constexpr (R == 8) bfly8(x, y);
  }
};

// ---- passes: cc is read as CC(i, j, k) = cc[i + ido (j + R k)], ch written as
// CH(i, k, j) = ch[i + ido (k + l1 j)]; output j > 0 of a run's element i is multiplied by the
// twiddle root(j l1 i) (exactly 1 for i = 0). Pairs of neighbours go through C2: along i inside
// long runs, along k when runs have one element.

#define CC(i, j, k) cc[(i) + ido * ((j) + R * (k))]
#define CH(i, k, j) ch[(i) + ido * ((k) + l1 * (j))]

// Strided: the pass reads element e of its line at cc[e stride], conjugated when conj is set
// (the first pass of a sub-transform reading a decimated subsequence in place).
template <int R, bool Strided = false>
FORCE_INLINE void run_pass(const Pass& ps, const COMPLEX* __restrict cc, COMPLEX* __restrict ch,
                           int stride = 1, bool conj = false) {
  const int ido = ps.ido, l1 = ps.l1;
  COMPLEX x[R], y[R];
  C2 x2[R], y2[R];
  const size_t step = Strided ? static_cast<size_t>(stride) : 1;
  const bool flip = Strided && conj;
  const V4 sign = {1.0, flip ? -1.0 : 1.0, 1.0, flip ? -1.0 : 1.0};
#define AT(i, j, k) (cc + static_cast<size_t>((i) + ido * ((j) + R * (k))) * step)
  if (ido == 1) {
    int k = 0;
    for (; k + 1 < l1; k += 2) {
      for (int j = 0; j < R; j++) {
        x2[j] = load2(AT(0, j, k), AT(0, j, k + 1));
        if (Strided) x2[j].v *= sign;
      }
      Radix<R>::bfly(x2, y2);
      for (int j = 0; j < R; j++) store2(&CH(0, k, j), y2[j]);
    }
    for (; k < l1; k++) {
      for (int j = 0; j < R; j++) {
        x[j] = *AT(0, j, k);
        if (flip) x[j].im = -x[j].im;
      }
      Radix<R>::bfly(x, y);
      for (int j = 0; j < R; j++) CH(0, k, j) = y[j];
    }
    return;
  }
  const COMPLEX* wa = ps.tw.data();
  const int pairs = ido / 2;
  for (int k = 0; k < l1; k++) {
    for (int p = 0; p < pairs; p++) {
      const int i = 2 * p;
      for (int j = 0; j < R; j++) {
        if (Strided)
          x2[j] = {load2(AT(i, j, k), AT(i + 1, j, k)).v * sign};
        else
          x2[j] = load2(AT(i, j, k));
      }
      Radix<R>::bfly(x2, y2);
      store2(&CH(i, k, 0), y2[0]);
      for (int j = 1; j < R; j++)
        store2(&CH(i, k, j), twiddle(y2[j], load2(wa + static_cast<size_t>(j - 1) * ido + i)));
    }
    if (ido % 2 == 1) {
      const int i = ido - 1;
      for (int j = 0; j < R; j++) {
        x[j] = *AT(i, j, k);
        if (flip) x[j].im = -x[j].im;
      }
      Radix<R>::bfly(x, y);
      CH(i, k, 0) = y[0];
      for (int j = 1; j < R; j++) CH(i, k, j) = twiddle(y[j], wa[i + (j - 1) * ido]);
    }
  }
}
#undef AT

#undef CC
#undef CH

#define CC(i, j, k) cc[(i) + ido * ((j) + cdim * (k))]
#define CH(i, k, j) ch[(i) + ido * ((k) + l1 * (j))]
#define WA(x, i) wa[(i) + (x)*ido]

// The same pass over `count` interleaved lines (element e of line b at e count + b, count even):
// neighbouring lines make the pairs and share each twiddle. Same operations as run_pass, so each
// line gets the bits dft gives it.
template <int R>
FORCE_INLINE void run_pass_lines(const Pass& ps, const COMPLEX* __restrict cc,
                                 COMPLEX* __restrict ch, int count) {
  const int ido = ps.ido, l1 = ps.l1;
  C2 x2[R], y2[R];
  C2 w[R] = {};
  for (int k = 0; k < l1; k++)
    for (int i = 0; i < ido; i++) {
      for (int j = 1; j < R && ido > 1; j++) {
        const COMPLEX c = ps.tw[i + (j - 1) * ido];
        w[j].v = V4{c.re, c.im, c.re, c.im};
      }
      const COMPLEX* src = cc + static_cast<size_t>(i + ido * R * k) * count;
      COMPLEX* dst = ch + static_cast<size_t>(i + ido * k) * count;
      const size_t sstep = static_cast<size_t>(ido) * count;
      const size_t dstep = static_cast<size_t>(ido) * l1 * count;
      for (int b = 0; b < count; b += 2) {
        for (int j = 0; j < R; j++) x2[j] = load2(src + j * sstep + b);
        Radix<R>::bfly(x2, y2);
        store2(dst + b, y2[0]);
        for (int j = 1; j < R; j++)
          store2(dst + j * dstep + b, ido == 1 ? y2[j] : twiddle(y2[j], w[j]));
      }
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

// One pass of radix R, on one line or on count interleaved lines.
template <bool Lines, int R>
FORCE_INLINE void pass(const Pass& ps, const COMPLEX* src, COMPLEX* dst, int count) {
  if constexpr (Lines)
    run_pass_lines<R>(ps, src, dst, count);
  else
    run_pass<R>(ps, src, dst);
}

// Runs the passes of a Stockham plan from in to out (distinct); in is not written. Interleaved
// lines take radices 2 to 5 and 8 only.
template <bool Lines>
FORCE_INLINE void stockham_body(const Plan& p, const COMPLEX* in, COMPLEX* out, COMPLEX* scratch,
                                int count, int first = 0) {
  const int np = static_cast<int>(p.passes.size());
  if (first >= np) {
    for (size_t c = 0; c < static_cast<size_t>(p.n) * count; c++) out[c] = in[c];
    return;
  }
  // Buffers alternate so that the last pass writes out.
  const COMPLEX* src = in;
  COMPLEX* dst = ((np - first) % 2 == 1) ? out : scratch;
  for (int s = first; s < np; s++) {
    const Pass& ps = p.passes[s];
    switch (ps.radix) {
      case 8:
        pass<Lines, 8>(ps, src, dst, count);
        break;
      case 4:
        pass<Lines, 4>(ps, src, dst, count);
        break;
      case 2:
        pass<Lines, 2>(ps, src, dst, count);
        break;
      case 3:
        pass<Lines, 3>(ps, src, dst, count);
        break;
      case 5:
        pass<Lines, 5>(ps, src, dst, count);
        break;
      default:
        if constexpr (!Lines) pass_generic(ps, src, dst);
    }
    src = dst;
    dst = (dst == out) ? scratch : out;
  }
}

template <bool Lines>
__attribute__((target("avx2"))) void stockham_avx2(const Plan& p, const COMPLEX* in, COMPLEX* out,
                                                   COMPLEX* scratch, int count) {
  stockham_body<Lines>(p, in, out, scratch, count);
}
template <bool Lines>
void stockham_base(const Plan& p, const COMPLEX* in, COMPLEX* out, COMPLEX* scratch, int count) {
  stockham_body<Lines>(p, in, out, scratch, count);
}

// The sub-transforms of a first level of r blocks: block q of in becomes the transform (of p's
// length m) of the subsequence in[q + j r], read conjugated when conj is set. The first passes of
// all blocks read in (through out) before any block is written back. p's first pass has radix
// 2, 3, 4, 5 or 8.
FORCE_INLINE void blocks_body(const Plan& p, COMPLEX* in, int r, bool conj, COMPLEX* out,
                              COMPLEX* scratch) {
  const size_t m = static_cast<size_t>(p.n);
  const Pass& ps = p.passes[0];
  for (int q = 0; q < r; q++) {
    COMPLEX* dst = out + q * m;
    switch (ps.radix) {
      case 8:
        run_pass<8, true>(ps, in + q, dst, r, conj);
        break;
      case 4:
        run_pass<4, true>(ps, in + q, dst, r, conj);
        break;
      case 2:
        run_pass<2, true>(ps, in + q, dst, r, conj);
        break;
      case 3:
        run_pass<3, true>(ps, in + q, dst, r, conj);
        break;
      default:
        run_pass<5, true>(ps, in + q, dst, r, conj);
    }
  }
  for (int q = 0; q < r; q++) stockham_body<false>(p, out + q * m, in + q * m, scratch, 1, 1);
}

__attribute__((target("avx2"))) void blocks_avx2(const Plan& p, COMPLEX* in, int r, bool conj,
                                                 COMPLEX* out, COMPLEX* scratch) {
  blocks_body(p, in, r, conj, out, scratch);
}
void blocks_base(const Plan& p, COMPLEX* in, int r, bool conj, COMPLEX* out, COMPLEX* scratch) {
  blocks_body(p, in, r, conj, out, scratch);
}

// The AVX2 build from the AVX2 level up, the baseline build below it.
bool use_avx2() { return current_isa() >= Isa::kAvx2; }

void stockham(const Plan& p, const COMPLEX* in, COMPLEX* out, COMPLEX* scratch) {
  (use_avx2() ? stockham_avx2<false> : stockham_base<false>)(p, in, out, scratch, 1);
}

// finish for two neighbours.
FORCE_INLINE C2 finish(const C2& a, bool forward, double d) {
  C2 v = a;
  if (forward) v.v *= V4{1.0, -1.0, 1.0, -1.0};
  if (d != 1.0) v.v /= d;
  return v;
}
using vistelmo::fft_engine::finish;

// A radix-2 decimation-in-time level over the two halves of in, each a transform of length m:
// out[k0] = a + b root(k0), out[k0 + m] = a - b root(k0), finished as the line asks.
FORCE_INLINE void join2_body(const COMPLEX* __restrict in, int m, const COMPLEX* tw,
                             COMPLEX* __restrict out, bool forward, double d) {
  const int pairs = m / 2;
  for (int p = 0; p < pairs; p++) {
    const int k0 = 2 * p;
    const C2 a = load2(in + k0), b = twiddle(load2(in + k0 + m), load2(tw + k0));
    store2(out + k0, finish(a + b, forward, d));
    store2(out + k0 + m, finish(a - b, forward, d));
  }
  if (m % 2 == 1) {
    const int k0 = m - 1;
    const COMPLEX a = in[k0], b = twiddle(in[k0 + m], tw[k0]);
    out[k0] = finish(a + b, forward, d);
    out[k0 + m] = finish(a - b, forward, d);
  }
}

__attribute__((target("avx2"))) void join2_avx2(const COMPLEX* in, int m, const COMPLEX* tw,
                                                COMPLEX* out, bool forward, double d) {
  join2_body(in, m, tw, out, forward, d);
}
void join2_base(const COMPLEX* in, int m, const COMPLEX* tw, COMPLEX* out, bool forward, double d) {
  join2_body(in, m, tw, out, forward, d);
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
  (use_avx2() ? stockham_avx2<true> : stockham_base<true>)(*p, in, out, p->lines_scratch.data(),
                                                           count);
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
    (use_avx2() ? blocks_avx2 : blocks_base)(part, in, r, fw, out, part.scratch.data());
  } else {
    gather_blocks(in, r, m, fw, out);
    for (int q = 0; q < r; q++)
      run(part, out + static_cast<size_t>(q) * m, in + static_cast<size_t>(q) * m);
  }
  // One decimation-in-time level: out[k0 + s m] = sum_q in[k0 + q m] root(q k0) e^{2 pi i qs/r}.
  const COMPLEX* tw = p->join_tw.data();
  if (r == 2) {
    (use_avx2() ? join2_avx2 : join2_base)(in, m, tw, out, fw, d);
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
