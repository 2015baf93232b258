// Window traversals shared by morphology and the median filters. Library sources only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "images/border_internal.h"
#include "images/image_core_internal.h"
#include "processing/kernels/isa.h"

namespace vistelmo {

// One member of a window: its offset from the output pixel and its weight or height.
struct Tap {
  int64_t di;
  int64_t dj;
  int value;
};

// The elements of a window image for which keep(v) holds, in row-major order, at the offsets
// sign * (i - lc, j - cc).
template <class Img, class Keep>
std::vector<Tap> window_taps(const Img& m, int sign, Keep keep) {
  std::vector<Tap> taps;
  if (!has_pixels(m)) return taps;
  for (int i = 0; i < m.nl; i++)
    for (int j = 0; j < m.nc; j++) {
      const auto v = m(i, j);
      if (keep(v))
        taps.push_back(
            {sign * (int64_t{i} - m.lc), sign * (int64_t{j} - m.cc), static_cast<int>(v)});
    }
  return taps;
}

// The pixels (l, c) whose whole window lies inside an nl x nc grid: l0 <= l < l1 and
// c0 <= c < c1 (possibly empty).
struct Interior {
  int64_t l0 = 0, l1 = 0, c0 = 0, c1 = 0;
  bool empty() const { return l0 >= l1 || c0 >= c1; }
  bool contains(int64_t l, int64_t c) const { return l >= l0 && l < l1 && c >= c0 && c < c1; }
};

// The bounding box of the taps' offsets (zero for none), and whether every tap has one value.
struct TapBox {
  int64_t rmin = 0, rmax = 0, cmin = 0, cmax = 0;
  bool equal = true;
  int64_t rows() const { return rmax - rmin + 1; }
  int64_t cols() const { return cmax - cmin + 1; }
};

inline TapBox tap_box(const std::vector<Tap>& taps) {
  TapBox b;
  if (taps.empty()) return b;
  b.rmin = b.rmax = taps[0].di;
  b.cmin = b.cmax = taps[0].dj;
  for (const Tap& t : taps) {
    b.rmin = std::min(b.rmin, t.di), b.rmax = std::max(b.rmax, t.di);
    b.cmin = std::min(b.cmin, t.dj), b.cmax = std::max(b.cmax, t.dj);
    b.equal = b.equal && t.value == taps[0].value;
  }
  return b;
}

// Horizontal runs of members (row offset di, first column offset dj, length), row by row.
struct Run {
  int64_t di, dj, length;
};

inline std::vector<Run> member_runs(const std::vector<Tap>& taps) {
  std::vector<std::pair<int64_t, int64_t>> cells;
  for (const Tap& t : taps) cells.push_back({t.di, t.dj});
  std::sort(cells.begin(), cells.end());
  std::vector<Run> runs;
  for (size_t i = 0; i < cells.size();) {
    size_t j = i + 1;
    while (j < cells.size() && cells[j].first == cells[i].first &&
           cells[j].second == cells[j - 1].second + 1)
      j++;
    runs.push_back({cells[i].first, cells[i].second, static_cast<int64_t>(j - i)});
    i = j;
  }
  return runs;
}

// Whether the taps (distinct offsets) fill their box with one value.
inline bool full_box(const std::vector<Tap>& taps, const TapBox& b) {
  return b.equal && static_cast<int64_t>(taps.size()) == b.rows() * b.cols();
}

inline Interior window_interior(int nl, int nc, const std::vector<Tap>& taps) {
  const TapBox b = tap_box(taps);
  Interior in;
  in.l0 = std::max<int64_t>(0, -b.rmin);
  in.l1 = std::min<int64_t>(nl, nl - b.rmax);
  in.c0 = std::max<int64_t>(0, -b.cmin);
  in.c1 = std::min<int64_t>(nc, nc - b.cmax);
  return in;
}

// Visits the pixels (l, c) of an nl x nc grid in row-major order. For each: v.start(); then, for
// every tap in order, v.in(rows[l + di][c + dj], tap) when that position lies in the grid and
// v.out(tap) otherwise; then v.finish(l, c). Pixels whose whole window lies inside take a path
// without bounds tests. With skip_interior those pixels are not visited at all (a span kernel
// fills them). This per-pixel walk is the plain tier the span kernels are tested against.
template <class T, class V>
void traverse_window(T* const* rows, int nl, int nc, const std::vector<Tap>& taps, V& v,
                     bool skip_interior = false) {
  if (nl < 1 || nc < 1) return;
  const Interior in = window_interior(nl, nc, taps);
  auto checked = [&](int l, int c) {
    v.start();
    for (const Tap& t : taps) {
      const int64_t y = l + t.di, x = c + t.dj;
      if (y >= 0 && y < nl && x >= 0 && x < nc)
        v.in(rows[y][x], t);
      else
        v.out(t);
    }
    v.finish(l, c);
  };
  for (int l = 0; l < nl; l++) {
    if (l < in.l0 || l >= in.l1 || in.c0 >= in.c1) {
      for (int c = 0; c < nc; c++) checked(l, c);
      continue;
    }
    for (int c = 0; c < in.c0; c++) checked(l, c);
    if (!skip_interior)
      for (int c = static_cast<int>(in.c0); c < in.c1; c++) {
        v.start();
        for (const Tap& t : taps) v.in(rows[l + t.di][c + t.dj], t);
        v.finish(l, c);
      }
    for (int c = static_cast<int>(in.c1); c < nc; c++) checked(l, c);
  }
}

// The border rule of one axis of n elements read from index 0: kPlain gives the outside value
// off the axis, kClamp the nearest edge.
inline AxisRule axis_rule(AxisRule::Kind kind, int n) {
  AxisRule r;
  r.kind = n > 0 ? kind : AxisRule::kNone;
  r.size = n;
  return r;
}

// Positions offset .. offset + len - 1 of a row under an axis rule, into line (outside where
// the rule gives none); the inside part in one copy.
template <class T, class U>
void padded_line(const T* row, const AxisRule& rule, int64_t offset, int64_t len, U outside,
                 U* line) {
  const int64_t lo = std::clamp<int64_t>(-offset, 0, len);
  const int64_t hi = std::clamp<int64_t>(rule.size - offset, lo, len);
  auto edge = [&](int64_t x) {
    const int i = rule.resolve(offset + x);
    line[x] = i < 0 ? outside : static_cast<U>(row[i]);
  };
  for (int64_t x = 0; x < lo; x++) edge(x);
  std::copy(row + (lo + offset), row + (hi + offset), line + lo);
  for (int64_t x = hi; x < len; x++) edge(x);
}

// The span kernels are chosen by current_isa(); Isa::kPlain runs the per-pixel walks instead.
inline bool plain_walks() { return current_isa() == Isa::kPlain; }

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

// Span kernels: each works along n consecutive elements of rows given by pointers, so that
// window filters run tap outer, output pixels inner. red(x, y) is the minimum or maximum that
// keeps x on ties and never takes a NaN over a number (x comes first in window order).
// The row results of the rows kernels taken straight down: for u < picks, dst[u][i] = min or max
// over the lines q of r[q][pick[u lines + q]][i] (where that is >= 0) and, for u >= fresh, of
// from[u][i] (dst[u] equal to from[u] or apart from everything).
struct RowsDown {
  int64_t lines;  // 1 .. rows_lines
  const int* pick;
  int64_t picks, fresh;
  const uint8_t* const* from;
};

struct SpanKernels {
  // dst[i] = red(a[i], b[i]); acc[i] = red(acc[i], b[i]); acc[i] = red(s, acc[i]).
  void (*min2_u8)(const uint8_t* a, const uint8_t* b, uint8_t* dst, int64_t n);
  void (*max2_u8)(const uint8_t* a, const uint8_t* b, uint8_t* dst, int64_t n);
  void (*min2_f32)(const float* a, const float* b, float* dst, int64_t n);
  void (*max2_f32)(const float* a, const float* b, float* dst, int64_t n);
  void (*min_into_u8)(uint8_t* acc, const uint8_t* b, int64_t n);
  void (*max_into_u8)(uint8_t* acc, const uint8_t* b, int64_t n);
  void (*min_into_f32)(float* acc, const float* b, int64_t n);
  void (*max_into_f32)(float* acc, const float* b, int64_t n);
  void (*min_first_f32)(float s, float* acc, int64_t n);
  void (*max_first_f32)(float s, float* acc, int64_t n);
  // dst[i] = red(red(a[i], b[i]), red(c[i], d[i])); dst may be a.
  void (*min4_u8)(const uint8_t* a, const uint8_t* b, const uint8_t* c, const uint8_t* d,
                  uint8_t* dst, int64_t n);
  void (*max4_u8)(const uint8_t* a, const uint8_t* b, const uint8_t* c, const uint8_t* d,
                  uint8_t* dst, int64_t n);
  void (*min4_f32)(const float* a, const float* b, const float* c, const float* d, float* dst,
                   int64_t n);
  void (*max4_f32)(const float* a, const float* b, const float* c, const float* d, float* dst,
                   int64_t n);
  // dst[i] = min or max over rows[0..2][i .. i + 2] (dst apart from the rows).
  void (*min3x3_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
  void (*max3x3_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
  // acc[i] = min(acc[i], clamp(b[i] - s)) and acc[i] = max(acc[i], clamp(b[i] + s)), 0..255.
  void (*erode_tap_u8)(uint8_t* acc, const uint8_t* b, int64_t n, int s);
  void (*dilate_tap_u8)(uint8_t* acc, const uint8_t* b, int64_t n, int s);
  // Median of the 3 x 3 or 5 x 5 window whose top-left sample is rows[i][x], for x < n.
  void (*median3_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
  void (*median5_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
  // The same over rows of three interleaved channels, each channel's own median (n bytes).
  void (*median3_c3_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
  void (*median5_c3_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
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
  // Histogram counts: acc[i] += plus[i] - minus[i].
  void (*add_sub_u16)(uint16_t* acc, const uint16_t* plus, const uint16_t* minus, int64_t n);
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
  // min2_f32 .. max4_f32 for samples that hold no NaN.
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

// Binary rows as seen through a horizontal shift. Each row is held with fill words on both
// sides and its spare bits set to the fill, so word(y, j, d) is word j of row y in which the
// bit of column c holds column c + d (the fill outside the row), for |d| < nc.
class ShiftedBits {
 public:
  ShiftedBits(const IMGBIN& a, bool fill)
      : wpr_(a.wpr), stride_(3 * a.wpr + 1), fill_(fill ? 0xFFFFFFFFu : 0u) {
    buf_.assign(static_cast<size_t>(a.nl) * stride_, fill_);
    const uint32_t used = last_word_mask(a.nc);
    for (int y = 0; y < a.nl; y++) {
      uint32_t* dst = &buf_[static_cast<size_t>(y) * stride_ + wpr_];
      std::copy(a.rows[y], a.rows[y] + wpr_, dst);
      dst[wpr_ - 1] = (dst[wpr_ - 1] & used) | (fill_ & ~used);
    }
  }

  uint32_t word(int y, int j, int64_t d) const {
    const int64_t s = 32 * (int64_t{wpr_} + j) + d;
    const uint32_t* r = &buf_[static_cast<size_t>(y) * stride_ + (s >> 5)];
    const int sh = static_cast<int>(s & 31);
    return sh == 0 ? r[0] : (r[0] << sh) | (r[1] >> (32 - sh));
  }

 private:
  int wpr_;
  int stride_;
  uint32_t fill_;
  std::vector<uint32_t> buf_;
};

// Writes the used bits of a row of words into dst, leaving its spare bits as they are.
inline void store_bits(uint32_t* dst, const uint32_t* src, int wpr, int nc) {
  for (int j = 0; j + 1 < wpr; j++) dst[j] = src[j];
  const uint32_t used = last_word_mask(nc);
  dst[wpr - 1] = (dst[wpr - 1] & ~used) | (src[wpr - 1] & used);
}

// A binary image as bytes (1 white, 0 black), for byte-oriented window code.
// Not cleared: the users write every byte.
struct ByteRows {
  std::unique_ptr<unsigned char[]> data;
  std::vector<unsigned char*> rows;

  ByteRows(int nl, int nc)
      : data(new unsigned char[static_cast<size_t>(std::max(nl, 0)) * std::max(nc, 0)]),
        rows(std::max(nl, 0)) {
    for (int l = 0; l < nl; l++) rows[l] = data.get() + static_cast<size_t>(l) * nc;
  }
};

inline void unpack_bits(const IMGBIN& a, ByteRows& b) {
  for (int l = 0; l < a.nl; l++) span_kernels().unpack_bits(a.rows[l], b.rows[l], a.nc);
}

// Writes the used bits of r from the bytes (non-zero white); spare bits are left alone.
inline void pack_bits(const ByteRows& b, IMGBIN& r) {
  std::vector<uint32_t> words(r.wpr);
  for (int l = 0; l < r.nl; l++) {
    span_kernels().pack_bits(b.rows[l], words.data(), r.nc);
    store_bits(r.rows[l], words.data(), r.wpr, r.nc);
  }
}

}  // namespace vistelmo
