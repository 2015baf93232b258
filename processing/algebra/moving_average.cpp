// Moving average (box filter): separable or direct, outside samples left out or edge-repeated.
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "images/colour_internal.h"
#include "processing/algebra/median.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace {

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

bool known_letters(char e1, char e2) {
  return (e1 == 's' || e1 == 'n') && (e2 == 'e' || e2 == 'x');
}

// Grey: integer sums are exact, so windows move by running sums.
// Sum over the window of a line with prefix sums p; edge repeats the end values.
int64_t line_sum(const std::vector<int64_t>& p, const Span& sp, bool edge) {
  int64_t s = sp.inside() > 0 ? p[sp.hi + 1] - p[sp.lo] : 0;
  if (edge) {
    const int64_t n = static_cast<int64_t>(p.size()) - 1;
    s += sp.before * (p[1] - p[0]) + sp.after * (p[n] - p[n - 1]);
  }
  return s;
}

void prefix_sums(const std::vector<int64_t>& v, std::vector<int64_t>& p) {
  p[0] = 0;
  for (size_t i = 0; i < v.size(); i++) p[i + 1] = p[i] + v[i];
}

unsigned char grey_mean(int64_t sum, int64_t count) {
  return vistelmo::round_to_byte(static_cast<double>(sum) / static_cast<double>(count));
}

// Span forms. Rows of the window are virtual rows r - h .. r - h + size - 1: with 'x' each is
// clamped into the image, with 'e' those outside are left out. Columns are read from lines
// padded with the edge values ('x') or zeros ('e'); a zero adds nothing to a sum that never
// holds -0, so the float sums keep their bits.
bool spans_fit(int n, int size) { return size >= 1 && size <= 2 * int64_t{n} + 256; }

// The window of w about each position of a line of n, under the rule of border letter 'x'
// (edge repeated) or 'e' (zeros).
template <class T, class U>
void padded_line(const T* row, int n, const Window& w, bool edge, U* line) {
  const vistelmo::AxisRule rule =
      vistelmo::axis_rule(edge ? vistelmo::AxisRule::kClamp : vistelmo::AxisRule::kPlain, n);
  vistelmo::padded_line(row, rule, -w.half, n + w.size - 1, U{0}, line);
}

// dst[x] = line[x] + .. + line[x + size - 1] for x < n: sums over blocks of 1, 2, 4 .. taken
// for the bits of size (integers, so any grouping is exact).
template <class S>
void window_sums(const vistelmo::SumKernels<S>& k, S* line, S* spare, int64_t n, int64_t size,
                 S* dst) {
  std::fill(dst, dst + n, S{0});
  int64_t offset = 0, len = n + size - 1;
  for (int64_t p = 1; p <= size; p *= 2) {
    if (size & p) {
      k.add_into(dst, line + offset, n);
      offset += p;
    }
    if (2 * p > size) break;
    k.add2(line, line + p, spare, len - p);
    len -= p;
    std::swap(line, spare);
  }
}

// Column counts of 'e' windows (the inside part of each).
std::vector<int32_t> inside_counts(int n, const Window& w) {
  std::vector<int32_t> v(n);
  for (int i = 0; i < n; i++) v[i] = static_cast<int32_t>(w.at(i, n).inside());
  return v;
}

template <class S>
const vistelmo::SumKernels<S>& sums_of(const vistelmo::SpanKernels& k) {
  if constexpr (std::is_same_v<S, uint16_t>)
    return k.sums16;
  else
    return k.sums32;
}

// Divisors of a line of grey means, in the forms the mean kernels take.
struct Divisors {
  std::vector<double> half, rcp;
  std::vector<float> d, rcp_small;
  int64_t largest = 0;
  explicit Divisors(int n) : half(n), rcp(n), d(n), rcp_small(n) {}
  void set(int i, int64_t v) {
    half[i] = 0.5 * static_cast<double>(v);
    rcp[i] = vistelmo::mean_reciprocal(v);
    d[i] = static_cast<float>(v);
    rcp_small[i] = vistelmo::small_mean_reciprocal(v);
    largest = i == 0 ? v : std::max(largest, v);
  }
  template <class S>
  void mean(const vistelmo::SpanKernels& k, const S* s, unsigned char* dst) const {
    const int64_t n = static_cast<int64_t>(d.size());
    if constexpr (std::is_same_v<S, int32_t>) {
      if (largest > 256) return k.mean_u8(s, half.data(), rcp.data(), dst, n);
    }
    sums_of<S>(k).mean_small(s, d.data(), rcp_small.data(), dst, n);
  }
};

// Whether the span forms take the window (integer sums of grey stay below 2^31).
template <class Img>
bool spans_take(const Img& a, int wl, int wc) {
  return !vistelmo::plain_walks() && vistelmo::has_pixels(a) && spans_fit(a.nl, wl) &&
         spans_fit(a.nc, wc) && int64_t{wl} * wc < (int64_t{1} << 22);
}

// A fresh result: with a's centre and outside value for the separable evaluation (whose result
// is the operand), the size constructor's for the direct one.
template <class Img>
Img fresh_result(const Img& a, bool separable) {
  Img r(a.nl, a.nc);
  if (separable) {
    vistelmo::take_frame(r, a);
  }
  return r;
}

// What both span forms know of the window: its rows and columns, the inside count of each
// column's window, the rule for rows off the image and the kernels.
struct SpanWindow {
  Window wr, wcol;
  std::vector<int32_t> ccount;
  vistelmo::AxisRule rows;
  const vistelmo::SpanKernels& k;
  SpanWindow(int nl, int nc, int wl, int wc, bool edge)
      : wr(wl),
        wcol(wc),
        ccount(inside_counts(nc, wcol)),
        rows(vistelmo::axis_rule(edge ? vistelmo::AxisRule::kClamp : vistelmo::AxisRule::kPlain,
                                 nl)),
        k(vistelmo::span_kernels()) {}
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

// Column sums run down the image (the row entering added, the row leaving taken away); each
// row's vertical means (separable) or column sums (direct) then go across the row.
// S holds the sums: 16 bits where every sum stays below 2^16 (and every divisor <= 256).
template <class S>
IMGGRY grey_spans(const IMGGRY& a, int wl, int wc, bool separable, bool edge) {
  IMGGRY r = fresh_result(a, separable);
  const SpanWindow w(a.nl, a.nc, wl, wc, edge);
  const int nl = a.nl, nc = a.nc;
  const vistelmo::SumKernels<S>& sk = sums_of<S>(w.k);
  std::vector<S> colsum(nc, 0), line(2 * (nc + wc - 1)), sums(nc);
  std::vector<unsigned char> means(nc);
  Divisors div(nc), across_div(nc);
  for (int c = 0; c < nc; c++) across_div.set(c, edge ? wc : w.ccount[c]);
  int64_t div_rows = -1;  // the row count div holds
  auto enter = [&](int64_t y) {
    const int iy = w.rows.resolve(y);
    if (iy >= 0) sk.add_u8(colsum.data(), a.rows[iy], nc);
  };
  auto leave = [&](int64_t y) {
    const int iy = w.rows.resolve(y);
    if (iy >= 0) sk.sub_u8(colsum.data(), a.rows[iy], nc);
  };
  auto across = [&](const auto* v) {
    padded_line(v, nc, w.wcol, edge, line.data());
    window_sums(sk, line.data(), line.data() + (nc + wc - 1), nc, wc, sums.data());
  };
  down_rows(w, nl, edge, enter, leave, [&](int l, int64_t rows_in) {
    if (rows_in != div_rows) {
      for (int c = 0; c < nc; c++)
        div.set(c, separable ? rows_in : rows_in * (edge ? wc : w.ccount[c]));
      div_rows = rows_in;
    }
    if (separable) {
      div.mean(w.k, colsum.data(), means.data());
      across(means.data());
      across_div.mean(w.k, sums.data(), r.rows[l]);
    } else {
      across(colsum.data());
      div.mean(w.k, sums.data(), r.rows[l]);
    }
  });
  return r;
}

// The direct form when column windows of bytes fit 16 bits: each row's window sums across
// (16-bit lanes) go into a ring as the row enters, and 32-bit column sums of those run down the
// image. The integer sums are the same in any order.
IMGGRY grey_rows_first(const IMGGRY& a, int wl, int wc, bool edge) {
  IMGGRY r = fresh_result(a, false);
  const SpanWindow w(a.nl, a.nc, wl, wc, edge);
  const int nl = a.nl, nc = a.nc;
  const vistelmo::SumKernels<uint16_t>& sk = w.k.sums16;
  const int64_t slots = int64_t{wl} + 1;
  std::vector<uint16_t> ring(static_cast<size_t>(slots) * nc), line(2 * (nc + int64_t{wc} - 1)),
      zeros(nc, 0);
  std::vector<char> present(slots, 0);
  std::vector<int32_t> colsum(nc, 0);
  auto slot = [&](int64_t y) { return ((y % slots) + slots) % slots; };
  auto sums_of_row = [&](int64_t y) -> const uint16_t* {
    return present[slot(y)] ? ring.data() + slot(y) * nc : zeros.data();
  };
  // Row y's window sums into its slot, and into the column sums in place of row y - wl's.
  auto enter = [&](int64_t y) {
    const int iy = w.rows.resolve(y);
    present[slot(y)] = iy >= 0;
    if (iy >= 0) {
      padded_line(a.rows[iy], nc, w.wcol, edge, line.data());
      window_sums(sk, line.data(), line.data() + (nc + wc - 1), nc, wc, ring.data() + slot(y) * nc);
    }
    w.k.add_sub_u16_i32(colsum.data(), sums_of_row(y), zeros.data(), nc);
  };
  auto leave = [&](int64_t y) {
    if (present[slot(y)]) w.k.add_sub_u16_i32(colsum.data(), zeros.data(), sums_of_row(y), nc);
  };
  Divisors div(nc);
  int64_t div_rows = -1;  // the row count div holds
  down_rows(w, nl, edge, enter, leave, [&](int l, int64_t rows_in) {
    if (rows_in != div_rows) {
      for (int c = 0; c < nc; c++) div.set(c, rows_in * (edge ? wc : w.ccount[c]));
      div_rows = rows_in;
    }
    div.mean(w.k, colsum.data(), r.rows[l]);
  });
  return r;
}

// Each pixel's double sum in window order (rows, then columns within a row). Rows of windows go
// rows_at_once at a time over a ring of the lines (in double) they need: for 'n' the rows
// padded for the whole window, for 's' the rows as they are, whose vertical means are then
// padded and summed across.
IMGFLT float_spans(const IMGFLT& a, int wl, int wc, bool separable, bool edge) {
  IMGFLT r = fresh_result(a, separable);
  const SpanWindow w(a.nl, a.nc, wl, wc, edge);
  const int nl = a.nl, nc = a.nc;
  // The separable passes (a line or a row's own line a sum) measured best four rows at a time.
  const int band = separable ? std::min(4, w.k.rows_at_once) : w.k.rows_at_once;
  const Window first_pass = separable ? Window(1) : w.wcol;
  const int64_t len = nc + first_pass.size - 1, across_len = nc + int64_t{wc} - 1;
  const int64_t ring_rows = int64_t{wl} + band - 1;
  std::vector<double> ring(static_cast<size_t>(ring_rows) * len);
  std::vector<char> present(ring_rows);
  auto slot = [&](int64_t y) { return ((y % ring_rows) + ring_rows) % ring_rows; };
  int64_t next = -w.wr.half;  // the next virtual row to load
  auto load_to = [&](int64_t last) {
    for (; next <= last; next++) {
      const int iy = w.rows.resolve(next);
      present[slot(next)] = iy >= 0;
      if (iy >= 0) padded_line(a.rows[iy], nc, first_pass, edge, ring.data() + slot(next) * len);
    }
  };
  // Divisors of the first pass, one line per row of the band, remade when the row's count of
  // window rows changes.
  struct RowDivisors {
    std::vector<double> d;
    int64_t rows_in = -1;
  };
  std::vector<RowDivisors> divs(band);
  std::vector<double> across_div(nc);
  for (int c = 0; c < nc; c++) across_div[c] = edge ? wc : w.ccount[c];
  auto divisors = [&](RowDivisors& v, int64_t rows_in) {
    if (v.rows_in == rows_in) return;
    v.rows_in = rows_in;
    v.d.resize(nc);
    for (int c = 0; c < nc; c++)
      v.d[c] = static_cast<double>(rows_in) * (separable ? 1.0 : across_div[c]);
  };
  std::vector<const double*> lines, div(band), hlines(band), hdiv(band, across_div.data());
  std::vector<int> lo, hi, own(band);
  std::vector<float*> dst(band), hdst(band);
  std::vector<const float*> ahead(band), none(band, nullptr);
  std::vector<float> means(separable ? static_cast<size_t>(band) * nc : 0);
  std::vector<double> across(separable ? static_cast<size_t>(band) * across_len : 0);
  for (int k = 0; k < band; k++) own[k] = k;
  for (int l = 0; l < nl; l += band) {
    const int rows = std::min(band, nl - l);
    const int64_t top = l - w.wr.half;  // virtual row of the first window's first line
    load_to(top + wl + rows - 2);
    lines.clear();
    lo.clear();
    hi.clear();
    for (int64_t y = top; y < top + wl + rows - 1; y++) {
      if (!present[slot(y)]) continue;
      lines.push_back(ring.data() + slot(y) * len);
      lo.push_back(static_cast<int>(std::max<int64_t>(0, y - top - wl + 1)));
      hi.push_back(static_cast<int>(std::min<int64_t>(rows - 1, y - top)));
    }
    for (int k = 0; k < rows; k++) {
      divisors(divs[k], edge ? wl : w.wr.at(l + k, nl).inside());
      div[k] = divs[k].d.data();
      dst[k] = separable ? means.data() + static_cast<size_t>(k) * nc : r.rows[l + k];
    }
    for (int k = 0; k < band; k++) {  // the rows the next band loads
      const int iy = w.rows.resolve(next + k);
      ahead[k] = l + band < nl && iy >= 0 ? a.rows[iy] : nullptr;
    }
    w.k.window_means(lines.data(), lo.data(), hi.data(), static_cast<int64_t>(lines.size()),
                     separable ? 1 : wc, rows, div.data(), dst.data(), ahead.data(), nc);
    if (!separable) continue;
    for (int k = 0; k < rows; k++) {
      double* line = across.data() + static_cast<size_t>(k) * across_len;
      padded_line(dst[k], nc, w.wcol, edge, line);
      hlines[k] = line;
      hdst[k] = r.rows[l + k];
    }
    w.k.window_means(hlines.data(), own.data(), own.data(), rows, wc, rows, hdiv.data(),
                     hdst.data(), none.data(), nc);
  }
  return r;
}

// Float sums that no order can change: when the samples are finite multiples of 2^-k and
// terms * max|x| stays below 2^(52 - k), every sum of up to terms of them is exact in a double,
// so running sums give the bits of the sum taken in window order. k comes from top (the first
// row's largest sample), with room for samples up to four times larger (false otherwise).
bool exact_sums(const vistelmo::SpanKernels& k, const float* const* rows, int nl, int64_t nc,
                int64_t terms, float top) {
  if (!(top <= FLT_MAX)) return false;
  int t = 0;
  while ((int64_t{1} << t) < terms) t++;
  // top < 2^(e + 1); samples up to 2^(e + 3), scaled by 2^(49 - e - t), stay below 2^(52 - t).
  const int e = top == 0 ? 0 : std::ilogb(top);
  const double scale = std::ldexp(1.0, 49 - e - t), bound = std::ldexp(1.0, 52 - t);
  for (int l = 0; l < nl; l++)
    if (!k.whole_scaled_f32(rows[l], nc, scale, bound)) return false;
  return true;
}

float largest(const float* row, int64_t n) {
  float top = 0;
  for (int64_t c = 0; c < n; c++) top = std::max(top, std::fabs(row[c]));
  return top;
}

// dst[x] = line[x] + .. + line[x + w - 1] as a running sum, for sums exact in any order; four
// lines at a time so that their chains overlap.
void running_sums(const double* const* lines, double* const* dst, int count, int64_t n, int64_t w) {
  double s[4] = {0, 0, 0, 0};
  for (int r = 0; r < count; r++)
    for (int64_t j = 0; j < w; j++) s[r] += lines[r][j];
  for (int r = 0; r < count; r++) dst[r][0] = s[r];
  for (int64_t x = 1; x < n; x++)
#pragma GCC unroll 4
    for (int r = 0; r < 4; r++)
      if (r < count) {
        s[r] += lines[r][x + w - 1] - lines[r][x - 1];
        dst[r][x] = s[r];
      }
}

// The float means when exact_sums holds: column sums run down the image, then running sums go
// across (for 's', across the vertical means, which are checked row by row and otherwise summed
// in order).
IMGFLT float_exact(const IMGFLT& a, int wl, int wc, bool separable, bool edge, float top) {
  IMGFLT r = fresh_result(a, separable);
  const SpanWindow w(a.nl, a.nc, wl, wc, edge);
  const int nl = a.nl, nc = a.nc;
  const int64_t len = nc + int64_t{wc} - 1;
  constexpr int kBand = 4;
  std::vector<double> colsum(nc, 0.0), lines(kBand * static_cast<size_t>(len)),
      sums(kBand * static_cast<size_t>(nc));
  std::vector<float> means(nc);
  std::vector<double> div(nc);
  int64_t div_rows = -1;  // the row count div holds
  std::vector<double> mean_div(separable ? nc : 0);
  double mean_rows = -1;
  auto enter = [&](int64_t y, double sign) {
    const int iy = w.rows.resolve(y);
    if (iy < 0) return;
    const float* row = a.rows[iy];
    for (int c = 0; c < nc; c++) colsum[c] += sign * static_cast<double>(row[c]);
  };
  for (int64_t y = -w.wr.half; y < wl - w.wr.half; y++) enter(y, 1.0);
  for (int l0 = 0; l0 < nl; l0 += kBand) {
    const int rows = std::min(kBand, nl - l0);
    const double* from[kBand];
    double* to[kBand];
    int exact[kBand];
    for (int k = 0; k < rows; k++) {
      const int l = l0 + k;
      if (l > 0) {
        enter(l - 1 - w.wr.half, -1.0);
        enter(l - 1 - w.wr.half + wl, 1.0);
      }
      const double rows_in = static_cast<double>(edge ? wl : w.wr.at(l, nl).inside());
      double* line = lines.data() + static_cast<size_t>(k) * len;
      exact[k] = 1;
      if (separable) {
        if (rows_in != mean_rows) {
          std::fill(mean_div.begin(), mean_div.end(), rows_in);
          mean_rows = rows_in;
        }
        w.k.quotients_f32(colsum.data(), mean_div.data(), means.data(), nc);
        const float* m = means.data();
        exact[k] = exact_sums(w.k, &m, 1, nc, int64_t{wc} + 1, top);
        padded_line(means.data(), nc, w.wcol, edge, line);
        if (!exact[k])  // in window order
          for (int c = 0; c < nc; c++) {
            double s = 0;
            for (int64_t j = 0; j < wc; j++) s += line[c + j];
            r.rows[l][c] = static_cast<float>(s / static_cast<double>(edge ? wc : w.ccount[c]));
          }
      } else {
        padded_line(colsum.data(), nc, w.wcol, edge, line);
      }
      from[k] = line;
      to[k] = sums.data() + static_cast<size_t>(k) * nc;
    }
    running_sums(from, to, rows, nc, wc);
    for (int k = 0; k < rows; k++) {
      if (!exact[k]) continue;
      const int64_t rows_in = separable ? 1 : edge ? wl : w.wr.at(l0 + k, nl).inside();
      if (rows_in != div_rows) {
        for (int c = 0; c < nc; c++)
          div[c] = static_cast<double>(rows_in * (edge ? wc : w.ccount[c]));
        div_rows = rows_in;
      }
      w.k.quotients_f32(to[k], div.data(), r.rows[l0 + k], nc);
    }
  }
  return r;
}

IMGGRY grey_average(const IMGGRY& src, int wl, int wc, bool separable, bool edge) {
  if (spans_take(src, wl, wc)) {
    const bool narrow = separable ? wl <= 256 && wc <= 256 : int64_t{wl} * wc <= 256;
    if (!narrow && !separable && wc <= 257) return grey_rows_first(src, wl, wc, edge);
    return narrow ? grey_spans<uint16_t>(src, wl, wc, separable, edge)
                  : grey_spans<int32_t>(src, wl, wc, separable, edge);
  }
  IMGGRY a(src);  // the separable form finishes in it
  IMGGRY t(a.nl, a.nc);
  if (!vistelmo::has_pixels(a)) return separable ? a : t;
  const int nl = a.nl, nc = a.nc;
  const Window wr(wl), wcol(wc);
  std::vector<int64_t> colsum(nc, 0), v(nc), p(nc + 1);
  int64_t cur_lo = 0, cur_hi = -1;  // rows summed in colsum
  auto add_row = [&](int64_t y, int sign) {
    for (int c = 0; c < nc; c++) colsum[c] += sign * int64_t{a.rows[y][c]};
  };
  for (int r = 0; r < nl; r++) {
    const Span sr = wr.at(r, nl);
    // The inside rows only move down as r grows.
    if (sr.inside() <= 0 || sr.lo > cur_hi) {
      std::fill(colsum.begin(), colsum.end(), 0);
      cur_lo = sr.lo;
      cur_hi = sr.lo - 1;
    }
    for (; cur_lo < sr.lo; cur_lo++) add_row(cur_lo, -1);
    for (; cur_hi < sr.hi; cur_hi++) add_row(cur_hi + 1, 1);
    for (int c = 0; c < nc; c++) {
      v[c] = colsum[c];
      if (edge) v[c] += sr.before * a.rows[0][c] + sr.after * a.rows[nl - 1][c];
    }
    if (separable) {
      const int64_t div = edge ? wr.size : sr.inside();
      for (int c = 0; c < nc; c++) t.rows[r][c] = grey_mean(v[c], div);
      continue;
    }
    prefix_sums(v, p);
    for (int c = 0; c < nc; c++) {
      const Span sc = wcol.at(c, nc);
      const int64_t div = edge ? wr.size * wcol.size : sr.inside() * sc.inside();
      t.rows[r][c] = grey_mean(line_sum(p, sc, edge), div);
    }
  }
  if (!separable) return t;
  for (int r = 0; r < nl; r++) {
    for (int c = 0; c < nc; c++) v[c] = t.rows[r][c];
    prefix_sums(v, p);
    for (int c = 0; c < nc; c++) {
      const Span sc = wcol.at(c, nc);
      a.rows[r][c] = grey_mean(line_sum(p, sc, edge), edge ? wcol.size : sc.inside());
    }
  }
  return a;
}

// Float: every window summed afresh in double, in increasing index order.
// Adds the samples of a line in window order; edge repeats the end samples.
inline void add_line(double& acc, const float* x, int n, const Span& sp, bool edge) {
  if (edge)
    for (int64_t k = 0; k < sp.before; k++) acc += x[0];
  for (int64_t i = sp.lo; i <= sp.hi; i++) acc += x[i];
  if (edge)
    for (int64_t k = 0; k < sp.after; k++) acc += x[n - 1];
}

IMGFLT float_average(const IMGFLT& src, int wl, int wc, bool separable, bool edge) {
  if (spans_take(src, wl, wc)) {
    // Running sums pay for their checks once windows hold some dozens of samples a pixel.
    const bool wide = separable ? wl + wc >= 30 : int64_t{wl} * wc >= 32;
    const float top = wide ? largest(src.rows[0], src.nc) : 0.0f;
    if (wide && exact_sums(vistelmo::span_kernels(), src.rows, src.nl, src.nc,
                           (int64_t{wl} + 1) * (int64_t{wc} + 1), top))
      return float_exact(src, wl, wc, separable, edge, top);
    return float_spans(src, wl, wc, separable, edge);
  }
  IMGFLT a(src);  // the separable form finishes in it
  IMGFLT t(a.nl, a.nc);
  if (!vistelmo::has_pixels(a)) return separable ? a : t;
  const int nl = a.nl, nc = a.nc;
  const Window wr(wl), wcol(wc);
  std::vector<Span> cols(nc);
  for (int c = 0; c < nc; c++) cols[c] = wcol.at(c, nc);
  if (separable) {
    // Columns of a into t (each column summed in row order), then rows of t back into a.
    std::vector<double> acc(nc);
    auto add_row = [&](const float* row) {
      for (int c = 0; c < nc; c++) acc[c] += row[c];
    };
    for (int r = 0; r < nl; r++) {
      const Span sr = wr.at(r, nl);
      std::fill(acc.begin(), acc.end(), 0.0);
      if (edge)
        for (int64_t k = 0; k < sr.before; k++) add_row(a.rows[0]);
      for (int64_t y = sr.lo; y <= sr.hi; y++) add_row(a.rows[y]);
      if (edge)
        for (int64_t k = 0; k < sr.after; k++) add_row(a.rows[nl - 1]);
      const double div = static_cast<double>(edge ? wr.size : sr.inside());
      for (int c = 0; c < nc; c++) t.rows[r][c] = static_cast<float>(acc[c] / div);
    }
    for (int r = 0; r < nl; r++)
      for (int c = 0; c < nc; c++) {
        double s = 0;
        add_line(s, t.rows[r], nc, cols[c], edge);
        a.rows[r][c] =
            static_cast<float>(s / static_cast<double>(edge ? wcol.size : cols[c].inside()));
      }
    return a;
  }
  for (int r = 0; r < nl; r++) {
    const Span sr = wr.at(r, nl);
    for (int c = 0; c < nc; c++) {
      const Span& sc = cols[c];
      double s = 0;
      if (edge)
        for (int64_t k = 0; k < sr.before; k++) add_line(s, a.rows[0], nc, sc, edge);
      for (int64_t y = sr.lo; y <= sr.hi; y++) add_line(s, a.rows[y], nc, sc, edge);
      if (edge)
        for (int64_t k = 0; k < sr.after; k++) add_line(s, a.rows[nl - 1], nc, sc, edge);
      const int64_t div = edge ? wr.size * wcol.size : sr.inside() * sc.inside();
      t.rows[r][c] = static_cast<float>(s / static_cast<double>(div));
    }
  }
  return t;
}

}  // namespace

IMGGRY mediamov(const IMGGRY& a, int nl, int nc, char e1, char e2) {
  if (!known_letters(e1, e2)) return IMGGRY(a.nl, a.nc, 0);
  return grey_average(a, nl, nc, e1 == 's', e2 == 'x');
}

IMGFLT mediamov(const IMGFLT& a, int nl, int nc, char e1, char e2) {
  if (!known_letters(e1, e2)) return IMGFLT(a.nl, a.nc, 0.0f);
  return float_average(a, nl, nc, e1 == 's', e2 == 'x');
}
