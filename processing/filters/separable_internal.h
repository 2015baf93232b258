// Row kernels of the separable filters. Library sources only.
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

// Row pass over the channels interleaved (taps three samples apart): out[j] = sum over q of
// taps[q] * s[j + shift - 3 q], q = 0 .. n-1 in order from the first product, each sum rounded to
// float (stored as a double), j = 0 .. s.w-1. scratch holds kColourStretch + 3 (n-1) doubles.
// Starting from the product instead of +0 changes at most the sign of a zero sum, which the byte
// rounding of the column pass does not see.
void colour_row_pass(const EdgedBytes& s, int shift, const double* taps, int n, double* scratch,
                     double* out);

// Source rows the next pass reads (count of them, size bytes a sample): a column pass asks the
// cache for them a block of columns at a time as it goes, the hardware's own prefetch stopping at
// page ends.
struct RowsAhead {
  const char* rows[kColumnRows] = {};
  int count = 0, size = 1;
};

// Column pass of rows output rows at once (1 .. kColumnRows): output row r is the sum over p of
// taps[p] * q[rows - 1 - r + p][j], p = 0 .. n-1 in order from the first product, clamped and
// rounded to a byte as round_to_byte does, into out[r][j], j = 0 .. w-1. q holds n + rows - 1
// rows.
void colour_column_pass(const double* const* q, const double* taps, int n, int rows, int w,
                        unsigned char* const* out, const RowsAhead& ahead = {});

// Row pass of the float separable filters: out[j] = sum over q of taps[q] * s[j - q], q = 0 .. n-1
// in order from the first product, rounded to float (stored as a double). Only for rows a column
// pass sums from +0: there the sign of a zero sample, all that starting from the product instead
// of +0 can change, does not reach any sum.
void float_row_pass(const double* s, const double* taps, int n, int w, double* out);

// The same column pass with each sum started from +0, stored as a float or a double.
void column_pass(const double* const* q, const double* taps, int n, int rows, int w,
                 float* const* out, const RowsAhead& ahead = {});
void column_pass(const double* const* q, const double* taps, int n, int rows, int w,
                 double* const* out, const RowsAhead& ahead = {});

}  // namespace vistelmo
