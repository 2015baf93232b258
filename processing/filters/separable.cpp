// Separable convolution: one 1-D kernel along the rows, the columns, or both.
#include "processing/filters/separable.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "processing/filters/convolve_internal.h"
#include "processing/kernels/separable_rows.h"

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

// The column pass of nl output rows, m = min(kColumnRows, nl) a call, each ring row read once
// for all of them (the last call may redo rows): ring rows from load(a, dst), first argument a0
// on; the source row that padded row a comes from is source(a) (size bytes a sample), asked for a
// pass ahead; column(i, m, q, ahead) forms rows i .. i+m-1.
template <class Load, class Source, class Column>
void column_passes(int nl, int n, int w, int a0, Load& load, Source source, int size,
                   Column column) {
  const int c0 = (n - 1) / 2, m = std::min(vistelmo::kColumnRows, nl);
  vistelmo::RowRing<double> ring(n + m - 1, w, a0);
  for (int i0 = 0; i0 < nl; i0 += m) {
    const int i = std::min(i0, nl - m);
    const double* const* q = ring.rows(i, c0 + m - 1, 0, -1, load);
    vistelmo::RowsAhead ahead;
    ahead.size = size;
    for (int t = 0; t < m && i + m < nl; t++) ahead.rows[ahead.count++] = source(i + c0 + m + t);
    column(i, m, q, ahead);
  }
}

// ConvHV of src into r through the row pass's rows as SeparableRows makes them (rounded to the
// pixel type). False (nothing done) where SeparableRows does not fuse.
template <class P>
bool fused_rows(const vistelmo::PlaneRef<P>& src, const VETOR<double>& k, char modo,
                P* const* result) {
  const int nl = src.nl, nc = src.nc, n = k.n();
  if (nl < 1 || nc < 1 || n < 1) return false;
  vistelmo::SeparableRows<P, P, vistelmo::Widen> rows(src, {}, modo, k.data, n);
  if (!rows.fused()) return false;
  auto load = [&rows](int a, double* dst) { rows.source_row(a, dst); };
  // Where the edges continue the image (elsewhere a hint only).
  auto source = [&src, nl](int a) {
    return reinterpret_cast<const char*>(src.rows[std::min(std::max(a, 0), nl - 1)]);
  };
  column_passes(nl, n, nc, rows.first_row(), load, source, sizeof(P),
                [&](int i, int m, const double* const* q, const vistelmo::RowsAhead& ahead) {
                  vistelmo::column_pass(q, k.data, n, m, nc, result + i, ahead);
                });
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
  if (fused_rows(src, k, modo, r.rows)) return r;
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
  // Edges continued: the row pass reads the source row in place and copies of its edge pixels
  // left and right of it.
  const int left = -rh.b0, right = rh.b1 - (nc - 1);
  std::vector<unsigned char> before(size_t(3) * left), after(size_t(3) * right);
  std::vector<double> scratch(size_t(vistelmo::kColourStretch + 3 * (n - 1)));
  auto load = [&](int row, double* dst) {
    const unsigned char* src = &a.rows[mv.a(row)][0].r;
    for (int c = -left; c < 0; c++) std::memcpy(&before[3 * (c + left)], src + 3 * mh.b(c), 3);
    for (int c = nc; c < nc + right; c++) std::memcpy(&after[3 * (c - nc)], src + 3 * mh.b(c), 3);
    const vistelmo::EdgedBytes s{before.data() + 3 * left, src, after.data(), w3};
    vistelmo::colour_row_pass(s, 3 * c0, k.data, n, scratch.data(), dst);
  };
  auto source = [&](int row) {
    return reinterpret_cast<const char*>(&a.rows[mv.a(std::min(row, rv.a1))][0].r);
  };
  column_passes(nl, n, w3, rv.a0, load, source, 1,
                [&](int i, int m, const double* const* q, const vistelmo::RowsAhead& ahead) {
                  unsigned char* out[vistelmo::kColumnRows];
                  for (int t = 0; t < m; t++) out[t] = &r.rows[i + t][0].r;
                  vistelmo::colour_column_pass(q, k.data, n, m, w3, out, ahead);
                });
  return r;
}
