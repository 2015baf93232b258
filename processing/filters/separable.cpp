// Separable convolution: one 1-D kernel along the rows, the columns, or both.
#include "processing/filters/separable.h"

#include <vector>

#include "images/colour_internal.h"
#include "processing/filters/convolve_internal.h"

namespace core = vistelmo;

namespace {

// The kernel as a 1 x n (along rows) or n x 1 (along columns) kernel image.
core::KernelRef<double> taps(const VETOR<double>& k, bool along_rows) {
  const int n = k.n() > 0 ? k.n() : 0;
  return along_rows ? core::KernelRef<double>{k.data, 1, n} : core::KernelRef<double>{k.data, n, 1};
}

// One pass of k over src into dst (same size); dst may be a's own storage, src another image.
template <class P, class Dst>
void pass(const core::PlaneRef<P>& src, const VETOR<double>& k, char modo, bool along_rows,
          Dst& dst) {
  const int c0 = (k.n() - 1) / 2;
  core::correlate<double>(
      src, modo, src.nl, src.nc, taps(k, along_rows), along_rows ? 0 : c0, along_rows ? c0 : 0, -1,
      core::RealProduct{},
      [&dst](int i, int j, double s) { dst.rows[i][j] = static_cast<typename Dst::Pixel>(s); });
}

template <class Img>
Img conv_1d(const Img& a, const VETOR<double>& k, char modo, bool along_rows) {
  Img r(a.nl(), a.nc());
  pass(core::plane_of(a), k, modo, along_rows, r);
  return r;
}

template <class Img>
Img conv_hv(Img a, const VETOR<double>& k, char modo) {
  const Img t = conv_1d(a, k, modo, true);
  pass(core::plane_of(t), k, modo, false, a);
  return a;
}

// Three float channels of a colour image, the intermediate of the colour pass.
struct Rgb {
  float r, g, b;
};
struct RgbSum {
  double r = 0, g = 0, b = 0;
  RgbSum& operator+=(const RgbSum& o) {
    r += o.r, g += o.g, b += o.b;
    return *this;
  }
};
struct ColourProduct {
  RgbSum operator()(double t, const COR& s) const { return {t * s.r, t * s.g, t * s.b}; }
  RgbSum operator()(double t, const Rgb& s) const {
    return {t * double(s.r), t * double(s.g), t * double(s.b)};
  }
};

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
IMGDBL ConvHV(IMGDBL a, const VETOR<double>& k, char modo) { return conv_hv(a, k, modo); }
IMGFLT ConvHV(IMGFLT a, const VETOR<double>& k, char modo) { return conv_hv(a, k, modo); }

IMGCOR ConvHV(IMGCOR a, const VETOR<double>& k) {
  const int nl = a.nl(), nc = a.nc(), c0 = (k.n() - 1) / 2;
  if (nl < 1 || nc < 1) return a;
  std::vector<Rgb> mid(size_t(nl) * nc);
  std::vector<const Rgb*> mid_rows(nl);
  for (int i = 0; i < nl; i++) mid_rows[i] = &mid[size_t(i) * nc];
  core::correlate<RgbSum>(core::plane_of(a), 'x', nl, nc, taps(k, true), 0, c0, -1, ColourProduct{},
                          [&mid, nc](int i, int j, const RgbSum& s) {
                            mid[size_t(i) * nc + j] = {float(s.r), float(s.g), float(s.b)};
                          });
  const core::PlaneRef<Rgb> src{mid_rows.data(), nl, nc, (nl - 1) / 2, (nc - 1) / 2, Rgb{0, 0, 0}};
  core::correlate<RgbSum>(src, 'x', nl, nc, taps(k, false), c0, 0, -1, ColourProduct{},
                          [&a](int i, int j, const RgbSum& s) {
                            a.rows[i][j] = COR{core::round_to_byte(s.r), core::round_to_byte(s.g),
                                               core::round_to_byte(s.b)};
                          });
  return a;
}
