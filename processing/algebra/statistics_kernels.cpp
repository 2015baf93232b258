// The image statistics' reductions: which kernel sums which block, and the proofs that a
// reordered sum equals the ordered one.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "processing/algebra/statistics_internal.h"
#include "processing/kernels/statistics.h"

namespace {

using vistelmo::FloatParts;
using vistelmo::GridRun;
using vistelmo::Term;

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

// s + t(a[0]) + t(a[1]) + ... in that order (kept out of line: a plain chain of adds).
template <Term T, class P>
__attribute__((noinline)) double ordered_sum(const P* a, int64_t n, double s, double m) {
  for (int64_t i = 0; i < n; i++) {
    if (i % (64 / sizeof(P)) == 0) vistelmo::prefetch_ahead(a + i);
    s += vistelmo::term<T>(a[i], m);
  }
  return s;
}

// Whether every exact sum s(j-1) + x(j) of the grid run g of n terms from s0 stayed in the binade
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

template <class P>
auto grid_kernel(const vistelmo::StatisticsKernels& k, Term t) {
  if constexpr (std::is_same_v<P, float>)
    return k.grid_float[static_cast<int>(t)];
  else
    return k.grid_double[static_cast<int>(t)];
}

// The chain from s over n terms, block by block: where the running sum is large enough the
// proven grid runs, else (and where one does not hold) the chain itself. A block that fails, or
// whose runs with a tie hold more than a quarter of its pixels, counts as a miss: after the
// second miss in a row the next blocks take the chain directly, more after each further miss.
template <Term T, class P>
double grid_sum(const P* a, int64_t n, double s, double m) {
  const auto grid = grid_kernel<P>(vistelmo::statistics_kernels(), T);
  // Without AVX2 the checks cost more than the ordered chain saves.
  if (grid == nullptr) return ordered_sum<T>(a, n, s, m);
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
    const GridRun g = grid(a + i, len, s, m);
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
  const auto& parts = vistelmo::statistics_kernels().parts[Abs];
  if (parts[0] == nullptr) return ordered_sum<T>(a, n, 0, 0);
  const int64_t block = 4096;
  int64_t i = 0;
  int lo = INT_MAX, e_max = 0;
  double s = 0;
  for (; i < n; i += block) {
    const int64_t len = std::min(block, n - i);
    // The cheap bound where it would hold for the whole image, else the precise exponents.
    FloatParts p = parts[false](a + i, len);
    if (!sums_exact(n, std::min(lo, p.lo), std::max(e_max, p.e_max))) p = parts[true](a + i, len);
    lo = std::min(lo, p.lo);
    e_max = std::max(e_max, p.e_max);
    if (!sums_exact(i + len, lo, e_max)) break;
    s += p.sum;
  }
  return grid_sum<T>(a + i, n - i, s, 0);
}

template <bool Largest>
bool beats(float x, float best) {
  return Largest ? x > best : x < best;
}

// The first i at which the scan best = a[0]; if (beats(a[i], best)) best = a[i] last moved.
// Block by block: the first block whose extreme beats the running one holds it, at the first
// pixel equal to the final extreme (everything before compares below it).
template <bool Largest>
int64_t first_extreme(const float* a, int64_t n) {
  if (n < 1 || std::isnan(a[0])) return 0;
  const auto extreme = vistelmo::statistics_kernels().extreme[Largest];
  const int64_t block = 2048;
  float best = a[0];
  int64_t from = 0;
  for (int64_t i = 0; i < n; i += block) {
    const float m = extreme(a + i, std::min(block, n - i));
    if (beats<Largest>(m, best)) {
      best = m;
      from = i;
    }
  }
  while (!(a[from] == best)) from++;
  return from;
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

void vistelmo::divide_row(float* a, int64_t n, double s) {
  statistics_kernels().divide_float(a, n, s);
}
void vistelmo::divide_row(double* a, int64_t n, double s) {
  statistics_kernels().divide_double(a, n, s);
}

float vistelmo::float_extreme(const float* a, int64_t n, bool largest) {
  return statistics_kernels().extreme[largest](a, n);
}

int64_t vistelmo::first_extreme_at(const float* a, int64_t n, bool largest) {
  return largest ? first_extreme<true>(a, n) : first_extreme<false>(a, n);
}

int64_t vistelmo::set_bits(const uint32_t* const* rows, int nl, int wpr, uint32_t last) {
  return statistics_kernels().set_bits(rows, nl, wpr, last);
}

uint64_t vistelmo::byte_sum(const unsigned char* a, int64_t n) {
  return statistics_kernels().byte_sum(a, n);
}
