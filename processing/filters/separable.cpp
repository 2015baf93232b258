// Separable convolution: one 1-D kernel along the rows, the columns, or both.
#include "processing/filters/separable.h"

#include <vector>

#include "processing/filters/convolve_internal.h"

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
  vistelmo::RowStore<Pixel> store{r.rows};
  if (!vistelmo::separable_fused<Pixel>(src, vistelmo::Widen{}, modo, k.data, k.n() > 0 ? k.n() : 0,
                                        store)) {
    Img t(a.nl(), a.nc());
    pass_into(src, k, modo, true, t);
    pass_into(vistelmo::plane_of(t), k, modo, false, r);
  }
  return r;
}

// A colour channel of a pixel, widened.
template <unsigned char COR::*channel>
struct Channel {
  double operator()(const COR& p) const { return double(p.*channel); }
};

template <unsigned char COR::*channel>
using ChannelRows = vistelmo::SeparableRows<float, COR, Channel<channel>>;

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
  const int nl = a.nl(), nc = a.nc(), n = k.n() > 0 ? k.n() : 0;
  if (nl < 1 || nc < 1) return a;
  IMGCOR r = vistelmo::fresh_image<IMGCOR>(nl, nc);
  r.lc = a.lc;
  r.cc = a.cc;
  r.backg = a.backg;
  // The three channels a row at a time, so that each row of a is read from memory once.
  const vistelmo::PlaneRef<COR> src = vistelmo::plane_of(a);
  ChannelRows<&COR::r> red(src, {}, 'x', k.data, n);
  ChannelRows<&COR::g> green(src, {}, 'x', k.data, n);
  ChannelRows<&COR::b> blue(src, {}, 'x', k.data, n);
  std::vector<double> sums(nc);
  std::vector<unsigned char> br(nc), bg(nc), bb(nc);
  for (int i = 0; i < nl; i++) {
    red.row(i, sums.data());
    vistelmo::bytes_row(sums.data(), br.data(), nc);
    green.row(i, sums.data());
    vistelmo::bytes_row(sums.data(), bg.data(), nc);
    blue.row(i, sums.data());
    vistelmo::bytes_row(sums.data(), bb.data(), nc);
    COR* d = r.rows[i];
    for (int j = 0; j < nc; j++) d[j] = COR{br[j], bg[j], bb[j]};
  }
  return r;
}
