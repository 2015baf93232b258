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
#include "processing/algebra/moving_average_spans_internal.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace {

using vistelmo::box::down_rows;
using vistelmo::box::exact_sums;
using vistelmo::box::float_exact;
using vistelmo::box::float_spans;
using vistelmo::box::fresh_result;
using vistelmo::box::largest;
using vistelmo::box::padded_line;
using vistelmo::box::Span;
using vistelmo::box::spans_take;
using vistelmo::box::SpanWindow;
using vistelmo::box::Window;

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
