// The row kernels of the spatial correlations and convolutions: sums of taps times padded rows,
// built once per instruction-set level (convolution_rows_body.h) and chosen per call by
// current_isa(). Library sources only.
#pragma once

#include <cstdint>

namespace vistelmo {

// Where a row kernel puts its n sums: doubles, floats (the sums rounded), or doubles holding the
// sums rounded to float (a float row as the next pass reads it).
struct RowOut {
  enum Kind { kDouble, kFloat, kFloatWide };
  void* p;
  Kind kind;
  RowOut(double* d) : p(d), kind(kDouble) {}
  RowOut(float* f) : p(f), kind(kFloat) {}
  static RowOut float_wide(double* d) { return RowOut(d, kFloatWide); }

 private:
  RowOut(void* q, Kind k) : p(q), kind(k) {}
};

// Source rows that the next correlate_rows call widens: the kernel asks the cache for them a
// block of columns at a time as it goes. rows[k] (null: none) holds bytes bytes per column.
struct Ahead {
  static constexpr int kMax = 8;
  const void* rows[kMax];
  int count = 0, bytes = 0;
};

// The kernels of one level. Every build forms the same sums in the same order.
struct ConvolutionKernels {
  using Row = void (*)(const double* const* rows, const double* taps, int kl, int kc, int dir,
                       int n, RowOut out);
  using Rows = void (*)(const double* const* src, const double* taps, int kl, int kc, int dir,
                        int n, const RowOut* out, const Ahead* ahead, uint64_t skip);
  // correlate_row; exact_row for products exact in double (see correlate_row).
  Row row, exact_row;
  // The output rows of one rows call (row_block()).
  int block;
  // correlate_rows, and its exact form.
  Rows rows, exact_rows;
  // widen_row.
  bool (*widen)(const float* s, double* d, int n);
  void (*widen_bytes)(const unsigned char* s, double* d, int n);
};

// The kernels of current_isa(): the baseline build below AVX2, the AVX2 build at AVX2, the
// AVX-512 build from AVX-512 up (its one-row kernel along rows taken from the AVX2 build).
const ConvolutionKernels& convolution_kernels();

// out[j] = sum over p (outer) and q (inner) of taps[p * kc + q] * rows[p][j + dir * q], for
// j = 0 .. n-1, each sum started from 0 and formed in that order (vectorised across j only).
// exact: every product is exact in double (both factors floats, 24-bit significands), so the
// kernel may fuse each product into its add, which then rounds once exactly as the add does.
inline void correlate_row(const double* const* rows, const double* taps, int kl, int kc, int dir,
                          int n, RowOut out, bool exact = false) {
  const ConvolutionKernels& k = convolution_kernels();
  (exact ? k.exact_row : k.row)(rows, taps, kl, kc, dir, n, out);
}

// The output rows that correlate_rows forms in one call (the kernels of the level in use decide
// it: ask before each traversal).
inline int row_block() { return convolution_kernels().block; }

// correlate_row for the R = row_block() outputs out[0 .. R-1] at once, each vector loaded once
// for all of them: output k reads src[f + p] as its row p, f = k when dir > 0 and R-1-k when
// dir < 0 (src holds kl + R - 1 rows). The tap columns q < 64 set in skip are left out: only
// for columns whose taps are all zero, over rows whose samples are all finite (the sums are the
// same).
inline void correlate_rows(const double* const* src, const double* taps, int kl, int kc, int dir,
                           int n, const RowOut* out, bool exact = false,
                           const Ahead* ahead = nullptr, uint64_t skip = 0) {
  const ConvolutionKernels& k = convolution_kernels();
  (exact ? k.exact_rows : k.rows)(src, taps, kl, kc, dir, n, out, ahead, skip);
}

// d[j] = s[j] widened; for floats, whether every sample is finite.
inline bool widen_row(const float* s, double* d, int n) {
  return convolution_kernels().widen(s, d, n);
}
inline void widen_row(const unsigned char* s, double* d, int n) {
  convolution_kernels().widen_bytes(s, d, n);
}

}  // namespace vistelmo
