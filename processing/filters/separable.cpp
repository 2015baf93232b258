// Separable convolution: one 1-D kernel along the rows, the columns, or both.
#include "processing/filters/separable.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

#include "processing/filters/convolve_internal.h"
#include "processing/filters/separable_internal.h"

namespace {

// One pass of k over src into dst (same size), along the rows or the columns; get widens a sample.
template <class P, class Get, class Store>
void pass(const vistelmo::PlaneRef<P>& src, Get get, const VETOR<double>& k, char modo,
          bool along_rows, Store& store) {
  const int n = k.n() > 0 ? k.n() : 0, c0 = (k.n() - 1) / 2;
  vistelmo::correlate_real(src, get, modo, src.nl, src.nc, k.data, along_rows ? 1 : n,
                           along_rows ? n : 1, along_rows ? 0 : c0, along_rows ? c0 : 0, -1, store);
}

template <class Img>
void pass_into(const vistelmo::PlaneRef<typename Img::Pixel>& src, const VETOR<double>& k,
               char modo, bool along_rows, Img& dst) {
  vistelmo::RowStore<typename Img::Pixel> store{dst.rows};
  pass(src, vistelmo::Widen{}, k, modo, along_rows, store);
}

template <class Img>
Img conv_1d(const Img& a, const VETOR<double>& k, char modo, bool along_rows) {
  Img r = vistelmo::fresh_image<Img>(a.nl(), a.nc());
  pass_into(vistelmo::plane_of(a), k, modo, along_rows, r);
  return r;
}

// ConvHV of a float plane into r: several output rows a column pass over the row pass's rows,
// each read once for all of them. False (nothing done) where SeparableRows does not fuse.
bool float_rows(const vistelmo::PlaneRef<float>& src, const VETOR<double>& k, char modo,
                IMGFLT& r) {
  const int nl = src.nl, nc = src.nc, n = k.n(), c0 = (n - 1) / 2;
  if (nl < 1 || nc < 1 || n < 1) return false;
  vistelmo::SeparableRows<float, float, vistelmo::Widen> rows(src, {}, modo, k.data, n);
  if (!rows.fused()) return false;
  auto load = [&rows](int a, double* dst) { rows.source_row(a, dst); };
  const int m = std::min(vistelmo::kColumnRows, nl);
  vistelmo::RowRing<double> ring(n + m - 1, nc, rows.first_row());
  float* out[vistelmo::kColumnRows];
  for (int i0 = 0; i0 < nl; i0 += m) {
    const int i = std::min(i0, nl - m);  // the last pass may redo rows
    for (int t = 0; t < m; t++) out[t] = r.rows[i + t];
    const double* const* q = ring.rows(i, c0 + m - 1, 0, -1, load);
    // The next pass's new rows, where the edges continue the image (elsewhere a hint only).
    vistelmo::RowsAhead ahead;
    ahead.size = sizeof(float);
    for (int t = 0; t < m && i + m < nl; t++)
      ahead.rows[ahead.count++] =
          reinterpret_cast<const char*>(src.rows[std::min(std::max(i + c0 + m + t, 0), nl - 1)]);
    vistelmo::float_column_pass(q, k.data, n, m, nc, out, ahead);
  }
  return true;
}

// Rows, then columns, into a result that keeps a's centre and takes backg as its outside value.
template <class Img>
Img conv_hv(const Img& a, typename Img::Pixel backg, const VETOR<double>& k, char modo) {
  using Pixel = typename Img::Pixel;
  vistelmo::PlaneRef<Pixel> src = vistelmo::plane_of(a);
  src.backg = backg;
  Img r = vistelmo::fresh_image<Img>(a.nl(), a.nc());
  r.lc = a.lc;
  r.cc = a.cc;
  r.backg = backg;
  if constexpr (std::is_same_v<Pixel, float>)
    if (float_rows(src, k, modo, r)) return r;
  vistelmo::RowStore<Pixel> store{r.rows};
  if (!vistelmo::separable_fused<Pixel>(src, vistelmo::Widen{}, modo, k.data, k.n() > 0 ? k.n() : 0,
                                        store)) {
    Img t(a.nl(), a.nc());
    pass_into(src, k, modo, true, t);
    pass_into(vistelmo::plane_of(t), k, modo, false, r);
  }
  return r;
}

}  // namespace

IMGDBL ConvH(const IMGDBL& a, const VETOR<double>& k, char modo) {
  return conv_1d(a, k, modo, true);
}
IMGDBL ConvV(const IMGDBL& a, const VETOR<double>& k, char modo) {
  return conv_1d(a, k, modo, false);
}
IMGFLT ConvH(const IMGFLT& a, const VETOR<double>& k, char modo) {
  return conv_1d(a, k, modo, true);
}
IMGFLT ConvV(const IMGFLT& a, const VETOR<double>& k, char modo) {
  return conv_1d(a, k, modo, false);
}
IMGDBL ConvHV(const IMGDBL& a, const VETOR<double>& k, char modo) {
  return conv_hv(a, a.backg, k, modo);
}
IMGFLT ConvHV(const IMGFLT& a, const VETOR<double>& k, char modo) {
  return conv_hv(a, a.backg, k, modo);
}
IMGFLT vistelmo::separable_outside(const IMGFLT& a, float backg, const VETOR<double>& k,
                                   char modo) {
  return conv_hv(a, backg, k, modo);
}
IMGDBL vistelmo::separable_outside(const IMGDBL& a, double backg, const VETOR<double>& k,
                                   char modo) {
  return conv_hv(a, backg, k, modo);
}

IMGCOR ConvHV(const IMGCOR& a, const VETOR<double>& k) {
  const int nl = a.nl(), nc = a.nc(), n = k.n() > 0 ? k.n() : 0, c0 = (n - 1) / 2;
  if (nl < 1 || nc < 1) return a;
  IMGCOR r = vistelmo::fresh_image<IMGCOR>(nl, nc);
  vistelmo::take_frame(r, a);
  const int w3 = 3 * nc;
  if (n < 1) {  // every sum 0
    std::memset(r.data, 0, size_t(nl) * size_t(w3));
    return r;
  }
  // The channels interleaved as one row of 3 nc samples, the taps 3 samples apart: each sum
  // still adds its own channel's taps in order, the row pass rounded to float as a channel's is.
  const vistelmo::Reach rh(nl, nc, 1, n, 0, c0, -1), rv(nl, nc, n, 1, c0, 0, -1);
  const vistelmo::BorderMap mh('x', nl, nc, a.lc, a.cc, rh.a0, rh.a1, rh.b0, rh.b1);
  const vistelmo::BorderMap mv('x', nl, nc, vistelmo::default_centre(nl),
                               vistelmo::default_centre(nc), rv.a0, rv.a1, rv.b0, rv.b1);
  mh.require_all();
  mv.require_all();
  // Edges continued: the padded row holds the source row in place and copies of its edge
  // pixels left and right of it.
  const int left = -rh.b0, right = rh.b1 - (nc - 1);
  std::vector<unsigned char> padded(size_t(3) * (left + nc + right));
  unsigned char* const inner = padded.data() + 3 * left;
  std::vector<double> scratch(size_t(vistelmo::kColourStretch + 3 * (n - 1)));
  auto load = [&](int row, double* dst) {
    std::memcpy(inner, &a.rows[mv.a(row)][0].r, size_t(w3));
    for (int c = -left; c < 0; c++) std::memcpy(inner + 3 * c, inner + 3 * mh.b(c), 3);
    for (int c = nc; c < nc + right; c++) std::memcpy(inner + 3 * c, inner + 3 * mh.b(c), 3);
    vistelmo::colour_row_pass(inner + 3 * c0, k.data, n, w3, scratch.data(), dst);
  };
  // Several output rows a pass over the column sums' rows, each row read once for all of them.
  const int rows = std::min(vistelmo::kColumnRows, nl);
  vistelmo::RowRing<double> ring(n + rows - 1, w3, rv.a0);
  unsigned char* out[vistelmo::kColumnRows];
  for (int i0 = 0; i0 < nl; i0 += rows) {
    const int i = std::min(i0, nl - rows);  // the last pass may redo rows
    for (int t = 0; t < rows; t++) out[t] = &r.rows[i + t][0].r;
    const double* const* q = ring.rows(i, c0 + rows - 1, 0, -1, load);
    vistelmo::RowsAhead ahead;
    for (int t = 0; t < rows && i + rows < nl; t++)
      ahead.rows[ahead.count++] =
          reinterpret_cast<const char*>(&a.rows[mv.a(std::min(i + c0 + rows + t, rv.a1))][0].r);
    vistelmo::colour_column_pass(q, k.data, n, rows, w3, out, ahead);
  }
  return r;
}
