// The span kernels of the neighbourhood filters (morphology, moving averages, majority and
// weighted votes): a table per instruction-set level, each kernel working along n consecutive
// elements of rows given by pointers, so that window filters run tap outer, output pixels inner.
// The bodies are in neighbourhood_spans_body.h, built per level by neighbourhood_spans.cpp; the
// per-pixel walks they are tested against stay with the filters. Library sources only.
#pragma once

#include <cstdint>

namespace vistelmo {

// Integer sums of S: acc[i] += b[i] (or -=); dst[i] = a[i] + b[i]; acc[i] += b[i]; and
// dst[i] = round(s[i] / d[i]) (halves up) for d[i] <= 256 as (2 s[i] + d[i]) rcp[i] truncated,
// rcp[i] = small_mean_reciprocal(d[i]).
template <class S>
struct SumKernels {
  void (*add_u8)(S* acc, const uint8_t* b, int64_t n);
  void (*sub_u8)(S* acc, const uint8_t* b, int64_t n);
  void (*add2)(const S* a, const S* b, S* dst, int64_t n);
  void (*add_into)(S* acc, const S* b, int64_t n);
  void (*mean_small)(const S* s, const float* d, const float* rcp, uint8_t* dst, int64_t n);
};

// The row results of the rows kernels taken straight down: for u < picks, dst[u][i] = min or max
// over the lines q of r[q][pick[u lines + q]][i] (where that is >= 0) and, for u >= fresh, of
// from[u][i] (dst[u] equal to from[u] or apart from everything).
struct RowsDown {
  int64_t lines;  // 1 .. rows_lines
  const int* pick;
  int64_t picks, fresh;
  const uint8_t* const* from;
};

// red(x, y) is the minimum or maximum that keeps x on ties and never takes a NaN over a number
// (x comes first in window order).
struct SpanKernels {
  // dst[i] = red(a[i], b[i]); acc[i] = red(acc[i], b[i]); acc[i] = red(s, acc[i]).
  void (*min2_u8)(const uint8_t* a, const uint8_t* b, uint8_t* dst, int64_t n);
  void (*max2_u8)(const uint8_t* a, const uint8_t* b, uint8_t* dst, int64_t n);
  void (*min_into_u8)(uint8_t* acc, const uint8_t* b, int64_t n);
  void (*max_into_u8)(uint8_t* acc, const uint8_t* b, int64_t n);
  void (*min_first_f32)(float s, float* acc, int64_t n);
  void (*max_first_f32)(float s, float* acc, int64_t n);
  // dst[i] = red(red(a[i], b[i]), red(c[i], d[i])); dst may be a.
  void (*min4_u8)(const uint8_t* a, const uint8_t* b, const uint8_t* c, const uint8_t* d,
                  uint8_t* dst, int64_t n);
  void (*max4_u8)(const uint8_t* a, const uint8_t* b, const uint8_t* c, const uint8_t* d,
                  uint8_t* dst, int64_t n);
  // dst[i] = min or max over rows[0..2][i .. i + 2] (dst apart from the rows).
  void (*min3x3_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
  void (*max3x3_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
  // acc[i] = min(acc[i], clamp(b[i] - s)) and acc[i] = max(acc[i], clamp(b[i] + s)), 0..255.
  void (*erode_tap_u8)(uint8_t* acc, const uint8_t* b, int64_t n, int s);
  void (*dilate_tap_u8)(uint8_t* acc, const uint8_t* b, int64_t n, int s);
  // Words of a binary row of n words: where at least 5 of the 3 x 3 window around each pixel of
  // rows[1] are white (bits outside the rows read as black).
  void (*majority3x3_bits)(const uint32_t* const* rows, uint32_t* dst, int64_t n);
  // A binary row of n columns as bytes 1 (white) and 0, and back (any non-zero byte white; the
  // spare bits of the last word cleared).
  void (*unpack_bits)(const uint32_t* words, uint8_t* bytes, int64_t n);
  void (*pack_bits)(const uint8_t* bytes, uint32_t* words, int64_t n);
  // Weighted votes: acc[i] += w * b[i] (b[i] 0 or 1); dst[i] = acc[i] > half. Byte counts
  // serve totals up to 255.
  void (*add_weighted_u8)(uint8_t* acc, const uint8_t* b, int64_t n, int w);
  void (*above_u8)(const uint8_t* acc, int half, uint8_t* dst, int64_t n);
  void (*add_weighted_u16)(uint16_t* acc, const uint8_t* b, int64_t n, int w);
  void (*above_u16)(const uint16_t* acc, int half, uint8_t* dst, int64_t n);
  // Integer sums in 32 bits, and in 16 where they stay below 2^16.
  SumKernels<int32_t> sums32;
  SumKernels<uint16_t> sums16;
  // dst[i] = round(s[i] / d) (halves up) for 0 <= s[i] <= 255 d, 0 < d < 2^22, given
  // half[i] = d / 2 and rcp[i] = mean_reciprocal(d).
  void (*mean_u8)(const int32_t* s, const double* half, const double* rcp, uint8_t* dst, int64_t n);
  // Float means of up to rows_at_once rows of windows from one list of lines (in double): for
  // a < rows, dst[a][i] = float(s / div[a][i]), s the double sum, from 0, of lines[r][i + j]
  // over the lines r with lo[r] <= a <= hi[r] in list order, then j < w in order. The rows
  // ahead[a], a < rows (where not null), are fetched into the cache meanwhile.
  int rows_at_once;
  void (*window_means)(const double* const* lines, const int* lo, const int* hi, int64_t count,
                       int64_t w, int rows, const double* const* div, float* const* dst,
                       const float* const* ahead, int64_t n);
  // dst[i] = min (from 255) or max (from 0) over k < count of clamp(rows[k][i] + s_k) to
  // 0..255, s_k = amount[k] for k < adds and -amount[k] after (dst apart from the rows).
  void (*min_taps_u8)(const uint8_t* const* rows, const uint8_t* amount, int64_t adds,
                      int64_t count, uint8_t* dst, int64_t n);
  void (*max_taps_u8)(const uint8_t* const* rows, const uint8_t* amount, int64_t adds,
                      int64_t count, uint8_t* dst, int64_t n);
  // Whether every |x[i]| * scale is a whole number <= bound (false for NaN); and
  // dst[i] = float(s[i] / d[i]).
  bool (*whole_scaled_f32)(const float* x, int64_t n, double scale, double bound);
  void (*quotients_f32)(const double* s, const double* d, float* dst, int64_t n);
  // min2_u8 .. max4_u8 for float samples that hold no NaN.
  void (*min2_num_f32)(const float* a, const float* b, float* dst, int64_t n);
  void (*max2_num_f32)(const float* a, const float* b, float* dst, int64_t n);
  void (*min_into_num_f32)(float* acc, const float* b, int64_t n);
  void (*max_into_num_f32)(float* acc, const float* b, int64_t n);
  void (*min4_num_f32)(const float* a, const float* b, const float* c, const float* d, float* dst,
                       int64_t n);
  void (*max4_num_f32)(const float* a, const float* b, const float* c, const float* d, float* dst,
                       int64_t n);
  // dst[i] = red(red(s[i], s[i + 1]), s[i + 2]), false (dst unspecified) when one of
  // s[0 .. n + 1] is a NaN; and dst[i] = red(v, red(red(a[i], b[i]), c[i])) for samples that
  // hold no NaN (dst apart from the others).
  bool (*min3_num_f32)(const float* s, float* dst, int64_t n);
  bool (*max3_num_f32)(const float* s, float* dst, int64_t n);
  void (*min3_first_num_f32)(float v, const float* a, const float* b, const float* c, float* dst,
                             int64_t n);
  void (*max3_first_num_f32)(float v, const float* a, const float* b, const float* c, float* dst,
                             int64_t n);
  // dst[i] = s[i], never where s[i] is a NaN (dst apart from s).
  void (*calm_copy_f32)(const float* s, float never, float* dst, int64_t n);
  // acc[i] += plus[i] - minus[i], 16-bit terms into 32-bit sums.
  void (*add_sub_u16_i32)(int32_t* acc, const uint16_t* plus, const uint16_t* minus, int64_t n);
  // Several rows of results from one line (or two), each sample loaded once: for p < rows,
  // r[q][p][i] = min (from 255) or max (from 0) over j < count of
  // clamp(clamp(lines[q][i + at[j]] + up) - down), clamps to 0..255, up and down every byte of
  // blocks 2 (p count + j) and 2 (p count + j) + 1 of 64 bytes of table (dst apart from the
  // lines). A tap left out of a row takes up 255 (minimum) or down 255 (maximum). Without down
  // (one line), dst[p] = r[0][p]; with it (rows <= 4), see RowsDown.
  void (*min_rows_u8)(const uint8_t* const* lines, const int64_t* at, int64_t count,
                      const uint8_t* table, int64_t rows, uint8_t* const* dst, const RowsDown* down,
                      int64_t n);
  void (*max_rows_u8)(const uint8_t* const* lines, const int64_t* at, int64_t count,
                      const uint8_t* table, int64_t rows, uint8_t* const* dst, const RowsDown* down,
                      int64_t n);
  // The most lines a RowsDown may give the rows kernels (2 where the registers hold both).
  int64_t rows_lines;
};

// 1 / d raised by 2^-40 of itself: (s + d/2) times it lies above the exact quotient by less than
// the distance from any non-integer quotient to the next integer (s <= 255 d, d < 2^22), so
// truncation gives floor((s + d/2) / d), the quotient rounded with halves up.
inline double mean_reciprocal(int64_t d) { return 1.0 / static_cast<double>(d) * (1.0 + 0x1p-40); }
// 1 / 2d raised by 2^-18, as a float: for d <= 256 the same argument holds with float errors
// (2^-23 at most) and 2s + d exact in a float.
inline float small_mean_reciprocal(int64_t d) {
  return static_cast<float>(0.5 / static_cast<double>(d) * (1.0 + 0x1p-18));
}

// The span kernels of current_isa() (the SSE2 build at Isa::kPlain).
const SpanKernels& span_kernels();

}  // namespace vistelmo
