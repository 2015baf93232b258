// Moving average (box filter): separable or direct, outside samples left out or edge-repeated.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "images/colour_internal.h"
#include "processing/algebra/median.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace core = vistelmo;

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
  return core::round_to_byte(static_cast<double>(sum) / static_cast<double>(count));
}

IMGGRY grey_average(IMGGRY& a, int wl, int wc, bool separable, bool edge) {
  IMGGRY t(a.nl, a.nc);
  if (!core::has_pixels(a)) return separable ? a : t;
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

IMGFLT float_average(IMGFLT& a, int wl, int wc, bool separable, bool edge) {
  IMGFLT t(a.nl, a.nc);
  if (!core::has_pixels(a)) return separable ? a : t;
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

IMGGRY mediamov(IMGGRY a, int nl, int nc, char e1, char e2) {
  if (!known_letters(e1, e2)) return IMGGRY(a.nl, a.nc, 0);
  return grey_average(a, nl, nc, e1 == 's', e2 == 'x');
}

IMGFLT mediamov(IMGFLT a, int nl, int nc, char e1, char e2) {
  if (!known_letters(e1, e2)) return IMGFLT(a.nl, a.nc, 0.0f);
  return float_average(a, nl, nc, e1 == 's', e2 == 'x');
}
