// The span forms of the moving average, shared by its files: windows over a line, padded lines,
// and what the grey and the float forms know of a window. Library sources only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "images/image_core_internal.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace vistelmo::box {

// A window of s indices about p, p - h .. p - h + s - 1 with h = (s - 1) / 2, split over a line
// of n: `before` positions ahead of the line, the inside range lo..hi, `after` past its end.
struct Span {
  int64_t before = 0, lo = 0, hi = -1, after = 0;
  int64_t inside() const { return hi - lo + 1; }
};

struct Window {
  int64_t size, half;
  explicit Window(int s) : size(s), half((int64_t{s} - 1) / 2) {}
  Span at(int64_t p, int n) const {
    Span sp;
    if (size < 1) return sp;
    const int64_t first = p - half, last = first + size - 1;
    sp.before = std::max<int64_t>(0, std::min<int64_t>(last, -1) - first + 1);
    sp.after = std::max<int64_t>(0, last - std::max<int64_t>(first, n) + 1);
    sp.lo = std::max<int64_t>(first, 0);
    sp.hi = std::min<int64_t>(last, n - 1);
    if (sp.hi < sp.lo) sp.hi = sp.lo - 1;
    return sp;
  }
};

// Span forms. Rows of the window are virtual rows r - h .. r - h + size - 1: with 'x' each is
// clamped into the image, with 'e' those outside are left out. Columns are read from lines
// padded with the edge values ('x') or zeros ('e'); a zero adds nothing to a sum that never
// holds -0, so the float sums keep their bits.
inline bool spans_fit(int n, int size) { return size >= 1 && size <= 2 * int64_t{n} + 256; }

// The window of w about each position of a line of n, under the rule of border letter 'x'
// (edge repeated) or 'e' (zeros).
template <class T, class U>
void padded_line(const T* row, int n, const Window& w, bool edge, U* line) {
  const AxisRule rule = axis_rule(edge ? AxisRule::kClamp : AxisRule::kPlain, n);
  vistelmo::padded_line(row, rule, -w.half, n + w.size - 1, U{0}, line);
}

// Column counts of 'e' windows (the inside part of each).
inline std::vector<int32_t> inside_counts(int n, const Window& w) {
  std::vector<int32_t> v(n);
  for (int i = 0; i < n; i++) v[i] = static_cast<int32_t>(w.at(i, n).inside());
  return v;
}

// Whether the span forms take the window (integer sums of grey stay below 2^31).
template <class Img>
bool spans_take(const Img& a, int wl, int wc) {
  return !plain_walks() && has_pixels(a) && spans_fit(a.nl, wl) && spans_fit(a.nc, wc) &&
         int64_t{wl} * wc < (int64_t{1} << 22);
}

// A fresh result: with a's centre and outside value for the separable evaluation (whose result
// is the operand), the size constructor's for the direct one.
template <class Img>
Img fresh_result(const Img& a, bool separable) {
  Img r(a.nl, a.nc);
  if (separable) {
    take_frame(r, a);
  }
  return r;
}

// What both span forms know of the window: its rows and columns, the inside count of each
// column's window, the rule for rows off the image and the kernels.
struct SpanWindow {
  Window wr, wcol;
  std::vector<int32_t> ccount;
  AxisRule rows;
  const SpanKernels& k;
  SpanWindow(int nl, int nc, int wl, int wc, bool edge)
      : wr(wl),
        wcol(wc),
        ccount(inside_counts(nc, wcol)),
        rows(axis_rule(edge ? AxisRule::kClamp : AxisRule::kPlain, nl)),
        k(span_kernels()) {}
};

// The rows in order, each with its window's rows entered (and the rows it no longer holds left)
// first: row(l, rows_in), rows_in the count of window rows the divisors take.
template <class Enter, class Leave, class Row>
void down_rows(const SpanWindow& w, int nl, bool edge, Enter enter, Leave leave, Row row) {
  const int64_t wl = w.wr.size;
  for (int64_t y = -w.wr.half; y < wl - w.wr.half; y++) enter(y);
  for (int l = 0; l < nl; l++) {
    if (l > 0) {
      leave(l - 1 - w.wr.half);
      enter(l - 1 - w.wr.half + wl);
    }
    row(l, edge ? wl : w.wr.at(l, nl).inside());
  }
}

// The float span forms (moving_average_float.cpp): each pixel's double sum in window order; and,
// where exact_sums holds (top the largest sample of the first row, largest()), running sums.
IMGFLT float_spans(const IMGFLT& a, int wl, int wc, bool separable, bool edge);
bool exact_sums(const SpanKernels& k, const float* const* rows, int nl, int64_t nc, int64_t terms,
                float top);
float largest(const float* row, int64_t n);
IMGFLT float_exact(const IMGFLT& a, int wl, int wc, bool separable, bool edge, float top);

}  // namespace vistelmo::box
