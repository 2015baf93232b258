// The float span forms of the moving average: sums in double, in window order or, where no
// order can change them, running.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <vector>

#include "processing/algebra/moving_average_spans_internal.h"

namespace vistelmo::box {

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
bool exact_sums(const SpanKernels& k, const float* const* rows, int nl, int64_t nc, int64_t terms,
                float top) {
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

namespace {

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

}  // namespace

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

}  // namespace vistelmo::box
