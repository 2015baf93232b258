// The row and column passes of the separable filters, built once per instruction-set level
// (separable_rows_body.h) and chosen per call by current_isa(). Library sources only.
#pragma once

namespace vistelmo {

// Most output rows a column pass forms at once.
constexpr int kColumnRows = 4;

// Samples the colour row pass widens at a time.
constexpr int kColourStretch = 768;

// A row of w bytes continued past its ends: sample i is before[i] for i < 0, row[i] for
// 0 <= i < w, after[i - w] from w on.
struct EdgedBytes {
  const unsigned char* before;
  const unsigned char* row;
  const unsigned char* after;
  int w;
};

// Source rows the next pass reads (count of them, size bytes a sample): a column pass asks the
// cache for them a block of columns at a time as it goes, the hardware's own prefetch stopping at
// page ends.
struct RowsAhead {
  const char* rows[kColumnRows] = {};
  int count = 0, size = 1;
};

// The passes of one level (see the functions below). Every build forms the same sums in the same
// order.
struct SeparableKernels {
  void (*colour_row)(const EdgedBytes& s, int shift, const double* taps, int n, double* scratch,
                     double* out);
  void (*colour_columns)(const double* const* q, const double* taps, int n, int rows, int w,
                         unsigned char* const* out, const RowsAhead& ahead);
  void (*float_columns)(const double* const* q, const double* taps, int n, int rows, int w,
                        float* const* out, const RowsAhead& ahead);
  void (*double_columns)(const double* const* q, const double* taps, int n, int rows, int w,
                         double* const* out, const RowsAhead& ahead);
  void (*float_row)(const double* s, const double* taps, int n, int w, double* out);
};

// The passes of current_isa(): the baseline build below AVX2, the AVX2 build at AVX2, the AVX-512
// build from AVX-512 up.
const SeparableKernels& separable_kernels();

// Row pass over the channels interleaved (taps three samples apart): out[j] = sum over q of
// taps[q] * s[j + shift - 3 q], q = 0 .. n-1 in order from the first product, each sum rounded to
// float (stored as a double), j = 0 .. s.w-1. scratch holds kColourStretch + 3 (n-1) doubles.
// Starting from the product instead of +0 changes at most the sign of a zero sum, which the byte
// rounding of the column pass does not see.
inline void colour_row_pass(const EdgedBytes& s, int shift, const double* taps, int n,
                            double* scratch, double* out) {
  separable_kernels().colour_row(s, shift, taps, n, scratch, out);
}

// Column pass of rows output rows at once (1 .. kColumnRows): output row r is the sum over p of
// taps[p] * q[rows - 1 - r + p][j], p = 0 .. n-1 in order from the first product, clamped and
// rounded to a byte as round_to_byte does, into out[r][j], j = 0 .. w-1. q holds n + rows - 1
// rows.
inline void colour_column_pass(const double* const* q, const double* taps, int n, int rows, int w,
                               unsigned char* const* out, const RowsAhead& ahead = {}) {
  separable_kernels().colour_columns(q, taps, n, rows, w, out, ahead);
}

// Row pass of the float separable filters: out[j] = sum over q of taps[q] * s[j - q], q = 0 .. n-1
// in order from the first product, rounded to float (stored as a double). Only for rows a column
// pass sums from +0: there the sign of a zero sample, all that starting from the product instead
// of +0 can change, does not reach any sum.
inline void float_row_pass(const double* s, const double* taps, int n, int w, double* out) {
  separable_kernels().float_row(s, taps, n, w, out);
}

// The same column pass with each sum started from +0, stored as a float or a double.
inline void column_pass(const double* const* q, const double* taps, int n, int rows, int w,
                        float* const* out, const RowsAhead& ahead = {}) {
  separable_kernels().float_columns(q, taps, n, rows, w, out, ahead);
}
inline void column_pass(const double* const* q, const double* taps, int n, int rows, int w,
                        double* const* out, const RowsAhead& ahead = {}) {
  separable_kernels().double_columns(q, taps, n, rows, w, out, ahead);
}

}  // namespace vistelmo
