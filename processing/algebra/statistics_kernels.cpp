// Dispatched loops of the image statistics.
#include <algorithm>
#include <bitset>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include <immintrin.h>

// 256- and 512-bit vectors pass between the inlined steps of the dispatched kernels only.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "processing/algebra/statistics_internal.h"
#include "processing/kernels/isa.h"

namespace vistelmo {
namespace {
// The three builds of these reductions, by level: the baseline below AVX2, the AVX-512 one from
// the AVX-512 level up.
enum class RowIsa { kBaseline, kAvx2, kAvx512 };
RowIsa row_isa() {
  const Isa level = current_isa();
  return level >= Isa::kAvx512 ? RowIsa::kAvx512
         : level == Isa::kAvx2 ? RowIsa::kAvx2
                               : RowIsa::kBaseline;
}
}  // namespace
}  // namespace vistelmo

namespace {

template <class T>
__attribute__((always_inline)) inline void divide_body(T* a, int64_t n, double s) {
  for (int64_t i = 0; i < n; i++) a[i] = static_cast<T>(a[i] / s);
}

template <class T>
void divide_baseline(T* a, int64_t n, double s) {
  divide_body(a, n, s);
}
template <class T>
__attribute__((target("avx2"))) void divide_avx2(T* a, int64_t n, double s) {
  divide_body(a, n, s);
}
template <class T>
__attribute__((target("avx512f"))) void divide_avx512(T* a, int64_t n, double s) {
  divide_body(a, n, s);
}

template <class T>
void divide(T* a, int64_t n, double s) {
  switch (vistelmo::row_isa()) {
    case vistelmo::RowIsa::kAvx512:
      return divide_avx512(a, n, s);
    case vistelmo::RowIsa::kAvx2:
      return divide_avx2(a, n, s);
    default:
      return divide_baseline(a, n, s);
  }
}

// Asks for the line 4 KiB past p: the reductions run at memory speed only with this hint. A hint
// never faults, so it may point past the pixels.
__attribute__((always_inline)) inline void prefetch_ahead(const void* p) {
  __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(p) + 4096));
}

// W doubles a register.
template <int W>
struct Lanes {
  typedef double D __attribute__((vector_size(8 * W)));
  typedef int64_t L __attribute__((vector_size(8 * W)));
  typedef float F __attribute__((vector_size(4 * W)));
  // Twice W 32-bit lanes: a register of float pixels, their bits and integers.
  typedef float G __attribute__((vector_size(8 * W)));
  typedef uint32_t U __attribute__((vector_size(8 * W)));
  typedef int32_t I __attribute__((vector_size(8 * W)));
};

// Target steps of grid_body (which has no target itself, so that one template serves both
// kernels): inlined into the kernel of the same target.
__attribute__((target("avx2"))) inline Lanes<4>::D widen(Lanes<4>::F f) {
  return Lanes<4>::D(_mm256_cvtps_pd(__m128(f)));
}
__attribute__((target("avx512f"))) inline Lanes<8>::D widen(Lanes<8>::F f) {
  return Lanes<8>::D(_mm512_maskz_cvtps_pd(0xFF, __m256(f)));
}
template <class D>
__attribute__((always_inline)) inline double lane_sum(D v) {
  double s = 0;
  for (int k = 0; k < int(sizeof v / sizeof v[0]); k++) s += v[k];
  return s;
}

// A run of float pixels: their sum in some order, a lower bound on the exponent of a lowest set
// bit (INT_MAX when all are zero) and the largest biased exponent.
struct FloatParts {
  double sum;
  int lo, e_max;
};

// Per pixel: the biased exponent e and, when Precise, the exponent of the lowest set bit of its
// value (the value is a multiple of 2 to that power; zeros left out); otherwise the bound
// max(e, 1) - 150 of it, from the smallest nonzero magnitude. 2W pixels a vector, two vectors a
// step, the sum (of the magnitudes when Abs) in four accumulators of W double lanes. In the
// precise loop a pixel's key (127 + ctz(significand) + e) << 23 gives the exponent key - 277;
// denormals count e as 0 instead of 1 (one lower: still a power the value is a multiple of),
// zeros have the largest key. In the bound's loop the key is the magnitude's bits minus one.
template <int W, bool Abs, bool Precise>
__attribute__((always_inline)) inline FloatParts float_parts_body(const float* a, int64_t n) {
  typedef typename Lanes<W>::D D;
  typedef typename Lanes<W>::F F;
  typedef typename Lanes<W>::G G;
  typedef typename Lanes<W>::U U;
  typedef typename Lanes<W>::I I;
  D acc[4] = {};
  U key_min = U{} - 1, b_max = U{};
  int64_t i = 0;
  for (; i + 4 * W <= n; i += 4 * W) {
    for (int q = 0; q < 4 * W; q += 16) prefetch_ahead(a + i + q);
    for (int h = 0; h < 2; h++) {
      U b;
      std::memcpy(&b, a + i + 2 * W * h, sizeof b);
      b &= 0x7FFFFFFF;
      F half[2];
      if constexpr (Abs) {
        std::memcpy(half, &b, sizeof half);
      } else {
        std::memcpy(&half[0], a + i + 2 * W * h, sizeof half[0]);
        std::memcpy(&half[1], a + i + 2 * W * h + W, sizeof half[1]);
      }
      acc[2 * h] += widen(half[0]);
      acc[2 * h + 1] += widen(half[1]);
      U key = b - 1;
      if constexpr (Precise) {
        const U m = (b & 0x7FFFFF) | 0x800000;
        const G low = __builtin_convertvector(I(m & -m), G);  // 2^ctz(m), exactly
        std::memcpy(&key, &low, sizeof key);
        key = (key + (b & 0x7F800000)) | U(b == 0);
      }
      key_min = key < key_min ? key : key_min;
      b_max = b > b_max ? b : b_max;
    }
  }
  FloatParts r{0, INT_MAX, 0};
  for (int k = 0; k < 2 * W; k++) {
    if (key_min[k] != UINT32_MAX) {
      const int e = int((key_min[k] + !Precise) >> 23);
      r.lo = std::min(r.lo, Precise ? e - 277 : std::max(e, 1) - 150);
    }
    r.e_max = std::max(r.e_max, int(b_max[k] >> 23));
  }
  double tail = 0;
  for (; i < n; i++) {
    uint32_t b;
    std::memcpy(&b, a + i, sizeof b);
    b &= 0x7FFFFFFF;
    const int e = int(b >> 23);
    if (e > r.e_max) r.e_max = e;
    if (b != 0) {
      const uint32_t m = (b & 0x7FFFFF) | (e != 0 ? 0x800000 : 0);
      const int l = (e != 0 ? e : 1) - 150 + __builtin_ctz(m);
      if (l < r.lo) r.lo = l;
    }
    tail += Abs ? std::fabs(double(a[i])) : double(a[i]);
  }
  r.sum = tail + lane_sum((acc[0] + acc[1]) + (acc[2] + acc[3]));
  return r;
}

// AVX2 or better only (float_sum takes the ordered chain on the baseline). AVX-512 runs the same
// 256-bit loop: with 512-bit conversions it ran slower on a Zen 4.
template <bool Abs, bool Precise>
__attribute__((target("avx2"))) FloatParts float_parts(const float* a, int64_t n) {
  return float_parts_body<4, Abs, Precise>(a, n);
}

// Whether every sum of a subset of n floats whose values are multiples of 2^lo and below
// 2^(e_max - 126) in magnitude is exact in double: n 2^(e_max - 126) <= 2^(lo + 53), and no NaN
// or infinity (e_max 255). Every partial sum is then a multiple of 2^lo below 2^(lo + 53).
bool sums_exact(int64_t n, int lo, int e_max) {
  if (e_max == 255) return false;
  if (lo == INT_MAX) return true;
  int bits = 0;  // ceil(log2(n))
  while (bits < 63 && (int64_t(1) << bits) < n) bits++;
  return int64_t(bits) + (e_max - 126) <= int64_t(lo) + 53;
}

// What a float reduction adds for pixel p: p, |p| or (p - m)^2, each in double.
enum class Term { kValue, kMagnitude, kSquare };

template <Term T, class P>
__attribute__((always_inline)) inline double term(P p, double m) {
  if constexpr (T == Term::kValue) return double(p);
  if constexpr (T == Term::kMagnitude) return std::fabs(double(p));
  const double d = double(p) - m;
  return d * d;
}

// s + t(a[0]) + t(a[1]) + ... in that order (kept out of line: a plain chain of adds).
template <Term T, class P>
__attribute__((noinline)) double ordered_sum(const P* a, int64_t n, double s, double m) {
  for (int64_t i = 0; i < n; i++) {
    if (i % (64 / sizeof(P)) == 0) prefetch_ahead(a + i);
    s += term<T>(a[i], m);
  }
  return s;
}

// Whether some lane has its sign bit clear.
__attribute__((target("avx2"))) inline bool any_sign_clear(Lanes<4>::L m) {
  return _mm256_movemask_pd(__m256d(m)) != 0xF;
}
__attribute__((target("avx512f"))) inline bool any_sign_clear(Lanes<8>::L m) {
  return _mm512_cmpge_epi64_mask(__m512i(m), _mm512_setzero_si512()) != 0;
}

// The ordered chain s(j) = s(j-1) + x(j) from s(0) = s0, without its latency. Let 2^k be the
// binade of |s0| and u = 2^(k-52) the spacing of the doubles there. While every exact sum
// s(j-1) + x(j) stays in that binade (2^k <= |.| < 2^(k+1), sign of s0), rounding it is rounding
// x(j) to a multiple of u: s(j) = s(j-1) + r(j), r = (x + M) - M with M = 1.5 2^k (|x| < 2^(k-1)),
// unless x - r is exactly +-u/2 (a tie: the chain then rounds to even after adding s(j-1)). Runs
// of 4W pixels without a tie add their r in lane accumulators; a run with a tie (or a NaN) takes
// the chain itself from the running value. Every r and partial sum is a multiple of u far below
// 2^(k+1), so the lane sums are exact and any order gives the chain's value; grid_holds checks
// the binade. mag is the sum of |r| (kValue only; the tail adds |x|); chained counts the pixels
// of the runs with a tie.
struct GridRun {
  double v, mag;
  int64_t chained;
};

template <int W, Term T, class P>
__attribute__((always_inline)) inline GridRun grid_body(const P* a, int64_t n, double s0,
                                                        double m) {
  typedef typename Lanes<W>::D D;
  typedef typename Lanes<W>::L L;
  typedef typename Lanes<W>::F F;
  uint64_t bits;
  std::memcpy(&bits, &s0, sizeof bits);
  bits &= uint64_t(0x7FF) << 52;
  double p2k;  // 2^k
  std::memcpy(&p2k, &bits, sizeof p2k);
  const double h = p2k * 0x1p-53;  // u / 2
  int64_t h_bits;
  std::memcpy(&h_bits, &h, sizeof h_bits);
  const D big = D{} + 1.5 * p2k;
  const L half = L{} + h_bits, abs_mask = L{} + INT64_MAX;
  D acc[4] = {}, mag = D{};
  double v = s0;
  int64_t i = 0, chained = 0;
  for (; i + 4 * W <= n; i += 4 * W) {
    D r[4];
    // |x - r| <= u/2: its bits minus those of u/2 stay negative unless a tie (or NaN).
    L no_tie = L{} - 1;
    for (int q = 0; q < 4 * W; q += 64 / int(sizeof(P))) prefetch_ahead(a + i + q);
    for (int q = 0; q < 4; q++) {
      D x;
      if constexpr (std::is_same_v<P, float>) {
        F f;
        std::memcpy(&f, a + i + q * W, sizeof f);
        x = widen(f);
      } else {
        std::memcpy(&x, a + i + q * W, sizeof x);
      }
      if constexpr (T == Term::kMagnitude) x = D(L(x) & abs_mask);
      if constexpr (T == Term::kSquare) x = (x - m) * (x - m);
      r[q] = (x + big) - big;
      if constexpr (T == Term::kValue) mag += D(L(r[q]) & abs_mask);
      no_tie &= (L(x - r[q]) & abs_mask) - half;
    }
    if (any_sign_clear(no_tie)) {
      v += lane_sum((acc[0] + acc[1]) + (acc[2] + acc[3]));
      for (int q = 0; q < 4; q++) acc[q] = D{};
      for (int j = 0; j < 4 * W; j++) v += term<T>(a[i + j], m);
      chained += 4 * W;
      continue;
    }
    for (int q = 0; q < 4; q++) acc[q] += r[q];
  }
  GridRun g{v + lane_sum((acc[0] + acc[1]) + (acc[2] + acc[3])), lane_sum(mag), chained};
  for (; i < n; i++) {
    const double x = term<T>(a[i], m);
    g.mag += std::fabs(x);
    g.v += x;
  }
  return g;
}

template <Term T, class P>
__attribute__((target("avx2"))) GridRun grid_avx2(const P* a, int64_t n, double s0, double m) {
  return grid_body<4, T>(a, n, s0, m);
}
template <Term T, class P>
__attribute__((target("avx512f"))) GridRun grid_avx512(const P* a, int64_t n, double s0, double m) {
  return grid_body<8, T>(a, n, s0, m);
}

// Whether every exact sum s(j-1) + x(j) of the run of n terms from s0 stayed in the binade
// [2^k, 2^(k+1)) of |s0|, so that g.v = V is the chain's value. An x >= 2^(k-1) in magnitude
// would give |r| >= 2^(k-1); below that r is x rounded and |x - r| <= u/2.
// Terms never negative: every step adds r >= 0 (or a chain step >= 0), so the exact sums lie in
// [s0, V + u/2), and each r <= V - s0. V - s0 < 2^(k-1) and V < 2^(k+1) (V and s0 are
// multiples of u, so both checks are exact; an inexact partial sum would be past 2^(k+1))
// prove the run.
// Terms of either sign: each step moves the chain by at most |x| + u/2 <= |r| + u, so with A
// the sum of |r|, B = A + n u bounds every |s(j-1) + x(j) - s0|, and 2^k + B <= |s0|,
// |s0| + B < 2^(k+1) prove the run (and give |r| <= A < 2^(k-1)). b below exceeds B by more
// than the roundings of A, of b and of these two sums.
template <Term T>
bool grid_holds(const GridRun& g, int64_t n, double s0) {
  const double a0 = std::fabs(s0);
  const int k = std::ilogb(a0);
  const double p2k = std::ldexp(1.0, k), u = std::ldexp(1.0, k - 52);
  if (T != Term::kValue) return g.v - s0 < p2k / 2 && g.v < 2 * p2k;
  const double b = g.mag * (1 + 0x1p-40) + double(n + 2) * u;
  return std::isfinite(g.v) && p2k + b <= a0 && a0 + b < 2 * p2k;
}

// The chain from s over n terms, block by block: where the running sum is large enough the
// proven run above, else (and where it does not hold) the chain itself. A block that fails, or
// whose runs with a tie hold more than a quarter of its pixels, counts as a miss: after the
// second miss in a row the next blocks take the chain directly, more after each further miss.
template <Term T, class P>
double grid_sum(const P* a, int64_t n, double s, double m) {
  const vistelmo::RowIsa isa = vistelmo::row_isa();
  if (isa == vistelmo::RowIsa::kBaseline) return ordered_sum<T>(a, n, s, m);
  const int64_t block = 4096;
  int misses = 0, wait = 0;
  for (int64_t i = 0; i < n; i += block) {
    const int64_t len = std::min(block, n - i);
    const double a0 = std::fabs(s);
    if (wait > 0 || !(a0 >= 0x1p-1000 && a0 < 0x1p1000)) {
      wait -= wait > 0;
      s = ordered_sum<T>(a + i, len, s, m);
      continue;
    }
    const GridRun g = isa == vistelmo::RowIsa::kAvx512 ? grid_avx512<T>(a + i, len, s, m)
                                                       : grid_avx2<T>(a + i, len, s, m);
    const bool proven = grid_holds<T>(g, len, s);
    s = proven ? g.v : ordered_sum<T>(a + i, len, s, m);
    if (proven && g.chained * 4 <= len)
      misses = 0;
    else
      wait = (1 << std::clamp(++misses - 2, 0, 6)) - 1;
  }
  return s;
}

// Block by block while the pixels so far are proven exact (any order gives the ordered sum), the
// proven runs of grid_sum from the first block that is not.
template <bool Abs>
double float_sum(const float* a, int64_t n) {
  constexpr Term T = Abs ? Term::kMagnitude : Term::kValue;
  const int64_t block = 4096;
  int64_t i = 0;
  int lo = INT_MAX, e_max = 0;
  double s = 0;
  // Without AVX2 the checks cost more than the ordered chain saves.
  if (vistelmo::row_isa() == vistelmo::RowIsa::kBaseline) return ordered_sum<T>(a, n, s, 0);
  for (; i < n; i += block) {
    const int64_t len = std::min(block, n - i);
    // The cheap bound where it would hold for the whole image, else the precise exponents.
    FloatParts p = float_parts<Abs, false>(a + i, len);
    if (!sums_exact(n, std::min(lo, p.lo), std::max(e_max, p.e_max)))
      p = float_parts<Abs, true>(a + i, len);
    lo = std::min(lo, p.lo);
    e_max = std::max(e_max, p.e_max);
    if (!sums_exact(i + len, lo, e_max)) break;
    s += p.sum;
  }
  return grid_sum<T>(a + i, n - i, s, 0);
}

// Smallest (Largest: largest) of a[0..n) leaving NaNs out; +inf (-inf) when there is none. A NaN
// never passes the comparison, so the lanes keep their value.
template <bool Largest>
__attribute__((always_inline)) inline bool beats(float x, float best) {
  return Largest ? x > best : x < best;
}

template <bool Largest, int W>
__attribute__((always_inline)) inline float extreme_body(const float* a, int64_t n) {
  typedef typename Lanes<W>::F F;  // W floats
  const float start = Largest ? -HUGE_VALF : HUGE_VALF;
  F acc[4];
  for (F& v : acc) v = F{} + start;
  int64_t i = 0;
  for (; i + 4 * W <= n; i += 4 * W) {
    for (int q = 0; q < 4 * W; q += 16) prefetch_ahead(a + i + q);
    for (int q = 0; q < 4; q++) {
      F x;
      std::memcpy(&x, a + i + q * W, sizeof x);
      acc[q] = (Largest ? x > acc[q] : x < acc[q]) ? x : acc[q];
    }
  }
  float best = start;
  for (int q = 0; q < 4; q++)
    for (int k = 0; k < W; k++)
      if (beats<Largest>(acc[q][k], best)) best = acc[q][k];
  for (; i < n; i++)
    if (beats<Largest>(a[i], best)) best = a[i];
  return best;
}

template <bool Largest>
float extreme_baseline(const float* a, int64_t n) {
  return extreme_body<Largest, 4>(a, n);
}
template <bool Largest>
__attribute__((target("avx2"))) float extreme_avx2(const float* a, int64_t n) {
  return extreme_body<Largest, 8>(a, n);
}
template <bool Largest>
__attribute__((target("avx512f"))) float extreme_avx512(const float* a, int64_t n) {
  return extreme_body<Largest, 16>(a, n);
}

template <bool Largest>
float extreme(const float* a, int64_t n) {
  switch (vistelmo::row_isa()) {
    case vistelmo::RowIsa::kAvx512:
      return extreme_avx512<Largest>(a, n);
    case vistelmo::RowIsa::kAvx2:
      return extreme_avx2<Largest>(a, n);
    default:
      return extreme_baseline<Largest>(a, n);
  }
}

// The first i at which the scan best = a[0]; if (beats(a[i], best)) best = a[i] last moved.
// Block by block: the first block whose extreme beats the running one holds it, at the first
// pixel equal to the final extreme (everything before compares below it).
template <bool Largest>
int64_t first_extreme(const float* a, int64_t n) {
  if (n < 1 || std::isnan(a[0])) return 0;
  const int64_t block = 2048;
  float best = a[0];
  int64_t from = 0;
  for (int64_t i = 0; i < n; i += block) {
    const float m = extreme<Largest>(a + i, std::min(block, n - i));
    if (beats<Largest>(m, best)) {
      best = m;
      from = i;
    }
  }
  while (!(a[from] == best)) from++;
  return from;
}

// Set bits of rows[l][0..wpr), the last word of each row masked by last.
template <int (*Count)(uint64_t)>
__attribute__((always_inline)) inline int64_t set_bits_body(const uint32_t* const* rows, int nl,
                                                            int wpr, uint32_t last) {
  int64_t s = 0;
  for (int l = 0; l < nl; l++) {
    const uint32_t* row = rows[l];
    int j = 0;
    for (; j + 2 < wpr; j += 2) {
      uint64_t w;
      std::memcpy(&w, row + j, sizeof w);
      s += Count(w);
    }
    for (; j + 1 < wpr; j++) s += Count(row[j]);
    s += Count(row[wpr - 1] & last);
  }
  return s;
}

inline int count_plain(uint64_t w) { return int(std::bitset<64>(w).count()); }
__attribute__((target("popcnt"))) inline int count_popcnt(uint64_t w) {
  return __builtin_popcountll(w);
}

int64_t set_bits_baseline(const uint32_t* const* rows, int nl, int wpr, uint32_t last) {
  return set_bits_body<count_plain>(rows, nl, wpr, last);
}
__attribute__((target("popcnt"))) int64_t set_bits_popcnt(const uint32_t* const* rows, int nl,
                                                          int wpr, uint32_t last) {
  return set_bits_body<count_popcnt>(rows, nl, wpr, last);
}

// Byte sums: 16, 32 or 64 bytes a step summed into 64-bit lanes by SAD against zero.
inline __m128i sad_zero(__m128i v) { return _mm_sad_epu8(v, _mm_setzero_si128()); }
__attribute__((target("avx2"))) inline __m256i sad_zero(__m256i v) {
  return _mm256_sad_epu8(v, _mm256_setzero_si256());
}
__attribute__((target("avx512bw"))) inline __m512i sad_zero(__m512i v) {
  return _mm512_sad_epu8(v, _mm512_setzero_si512());
}

template <class V>
__attribute__((always_inline)) inline uint64_t byte_sum_body(const unsigned char* a, int64_t n) {
  typedef typename Lanes<sizeof(V) / 8>::L L;
  L acc[4] = {};
  int64_t i = 0;
  for (; i + 4 * int64_t(sizeof(V)) <= n; i += 4 * sizeof(V)) {
    for (int q = 0; q < 4 * int(sizeof(V)); q += 64) prefetch_ahead(a + i + q);
    for (int q = 0; q < 4; q++) {
      V v;
      std::memcpy(&v, a + i + q * sizeof(V), sizeof v);
      acc[q] += L(sad_zero(v));
    }
  }
  uint64_t t = 0;
  for (const L& v : acc)
    for (int k = 0; k < int(sizeof(V) / 8); k++) t += uint64_t(v[k]);
  for (; i < n; i++) t += a[i];
  return t;
}

uint64_t byte_sum_baseline(const unsigned char* a, int64_t n) {
  return byte_sum_body<__m128i>(a, n);
}
__attribute__((target("avx2"))) uint64_t byte_sum_avx2(const unsigned char* a, int64_t n) {
  return byte_sum_body<__m256i>(a, n);
}
__attribute__((target("avx512bw"))) uint64_t byte_sum_avx512(const unsigned char* a, int64_t n) {
  return byte_sum_body<__m512i>(a, n);
}
}  // namespace

double vistelmo::float_sum(const float* a, int64_t n, bool absolute) {
  return absolute ? ::float_sum<true>(a, n) : ::float_sum<false>(a, n);
}

double vistelmo::float_sum(const double* a, int64_t n, bool absolute) {
  return absolute ? grid_sum<Term::kMagnitude>(a, n, 0, 0) : grid_sum<Term::kValue>(a, n, 0, 0);
}

double vistelmo::squared_deviation_sum(const float* a, int64_t n, double m) {
  return grid_sum<Term::kSquare>(a, n, 0, m);
}
double vistelmo::squared_deviation_sum(const double* a, int64_t n, double m) {
  return grid_sum<Term::kSquare>(a, n, 0, m);
}

void vistelmo::divide_row(float* a, int64_t n, double s) { divide(a, n, s); }
void vistelmo::divide_row(double* a, int64_t n, double s) { divide(a, n, s); }

float vistelmo::float_extreme(const float* a, int64_t n, bool largest) {
  return largest ? extreme<true>(a, n) : extreme<false>(a, n);
}

int64_t vistelmo::first_extreme_at(const float* a, int64_t n, bool largest) {
  return largest ? first_extreme<true>(a, n) : first_extreme<false>(a, n);
}

int64_t vistelmo::set_bits(const uint32_t* const* rows, int nl, int wpr, uint32_t last) {
  // Every processor with AVX2 counts bits in one instruction.
  const bool popcnt =
      vistelmo::row_isa() != vistelmo::RowIsa::kBaseline && __builtin_cpu_supports("popcnt");
  return (popcnt ? set_bits_popcnt : set_bits_baseline)(rows, nl, wpr, last);
}

uint64_t vistelmo::byte_sum(const unsigned char* a, int64_t n) {
  switch (vistelmo::row_isa()) {
    case vistelmo::RowIsa::kAvx512:
      if (__builtin_cpu_supports("avx512bw")) return byte_sum_avx512(a, n);
      return byte_sum_avx2(a, n);
    case vistelmo::RowIsa::kAvx2:
      return byte_sum_avx2(a, n);
    default:
      return byte_sum_baseline(a, n);
  }
}
