// The dispatched loops of the image statistics: one table per instruction-set level, chosen by
// the current level. Library sources only.
//
// Every kernel gives the bits of its per-element definition below; the sums that reorder (parts,
// grid) return what lets the caller prove the reordered sum equal to the ordered one.
#pragma once

#include <cmath>
#include <cstdint>

namespace vistelmo {

// A run of float pixels: their sum in some order, a lower bound on the exponent of a lowest set
// bit (INT_MAX when all are zero) and the largest biased exponent.
struct FloatParts {
  double sum;
  int lo, e_max;
};

// A run of the chain s(j) = s(j-1) + x(j) from s0 summed in lanes where its binade allows
// (statistics_body.h): v the sum, mag the sum of the rounded terms' magnitudes (values only),
// chained the pixels of runs summed as the chain itself.
struct GridRun {
  double v, mag;
  int64_t chained;
};

// What a float reduction adds for pixel p: p, |p| or (p - m)^2, each in double.
enum class Term { kValue, kMagnitude, kSquare };
constexpr int kTerms = 3;

// Asks for the line 4 KiB past p: the reductions run at memory speed only with this hint. A hint
// never faults, so it may point past the pixels.
[[gnu::always_inline]] inline void prefetch_ahead(const void* p) {
  __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(p) + 4096));
}

template <Term T, class P>
[[gnu::always_inline]] inline double term(P p, double m) {
  if constexpr (T == Term::kValue) return double(p);
  if constexpr (T == Term::kMagnitude) return std::fabs(double(p));
  const double d = double(p) - m;
  return d * d;
}

struct StatisticsKernels {
  // [abs][precise]: the parts of a run of floats (the sum of magnitudes when abs; the exact
  // lowest-bit exponents when precise, else a bound). Null: the level sums in order instead.
  FloatParts (*parts[2][2])(const float* a, int64_t n);
  // [term]: the grid run of n terms from s0. Null: the level sums in order instead.
  GridRun (*grid_float[kTerms])(const float* a, int64_t n, double s0, double m);
  GridRun (*grid_double[kTerms])(const double* a, int64_t n, double s0, double m);
  // [largest]: the smallest (largest) of a[0..n) leaving NaNs out, +inf (-inf) when none is left.
  float (*extreme[2])(const float* a, int64_t n);
  // Set bits of nl rows of wpr words, each row's last word masked by last.
  int64_t (*set_bits)(const uint32_t* const* rows, int nl, int wpr, uint32_t last);
  // a[0] + ... + a[n - 1].
  uint64_t (*byte_sum)(const unsigned char* a, int64_t n);
  // a[i] = a[i] / s, each quotient in double.
  void (*divide_float)(float* a, int64_t n, double s);
  void (*divide_double)(double* a, int64_t n, double s);
};

// The table of the current level (processing/kernels/isa.h): kPlain and kSse2 the SSE2 build,
// kAvx2 the AVX2 build, kAvx512 and kAvx512Vbmi the AVX-512 build except the float parts, which
// keep the AVX2 build (its 256-bit loop ran faster than 512-bit conversions on a Zen 4).
const StatisticsKernels& statistics_kernels();

}  // namespace vistelmo
