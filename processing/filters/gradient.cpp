// Derivative-of-Gaussian kernels and the gradients built on them.
#include "processing/filters/gradient.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "foundation/erro.h"
#include "foundation/normal.h"
#include "processing/algebra/pointwise.h"
#include "processing/algebra/statistics.h"
#include "processing/filters/convolution.h"
#include "processing/filters/convolve_internal.h"
#include "processing/filters/gauss.h"

namespace {

const double kLobe = 0.39894228;  // 1/sqrt(2 pi), cut to eight decimals

// Multiplies every pixel by kLobe / S, S the sum of rows l0..nl-1 over columns 0..c1-1.
// An S that is zero within the rounding of its terms (the half cancels itself, as a kernel
// turned a quarter does) or not finite would give huge or NaN taps: refused with msg.
template <class Img>
void rescale(Img& k, int l0, int c1, const char* msg) {
  if (k.nl() < 1 || k.nc() < 1) return;
  double s = 0, size = 0;
  for (int l = l0; l < k.nl(); l++)
    for (int c = 0; c < c1; c++) {
      s += k.rows[l][c];
      size += std::fabs(k.rows[l][c]);
    }
  const double terms = double(k.nl() - l0) * c1;
  const double eps = std::numeric_limits<typename Img::Pixel>::epsilon();
  if (!std::isfinite(s) || !std::isfinite(size) || std::fabs(s) <= terms * eps * size)
    erro(msg, "");
  const double f = kLobe / s;
  const int n = k.nl() * k.nc();
  for (int i = 0; i < n; i++) k.data[i] = static_cast<typename Img::Pixel>(k.data[i] * f);
}

const char kMsgSumX[] = "Erro grnormalx: soma nula na normalizacao";
const char kMsgSumY[] = "Erro grnormaly: soma nula na normalizacao";

template <class Img>
void rescale_x(Img& k) {
  rescale(k, 0, k.nc() / 2, kMsgSumX);
}
template <class Img>
void rescale_y(Img& k) {
  rescale(k, k.nl() / 2 + 1, k.nc(), kMsgSumY);
}

void rotate(double& x, double& y, const MATRIZ<double>& m) {
  if (m.nl() != 2 || m.nc() != 2) erro("Inesperado", "");
  const double x1 = m(0, 0) * x + m(1, 0) * y;
  const double y1 = m(0, 1) * x + m(1, 1) * y;
  x = x1;
  y = y1;
}

// Samples density(x', y', sigma) over the rotated offsets of a (2r+1)^2 grid, then rescales.
template <class Img>
Img derivative_kernel(double sigma, double theta, double (*density)(double, double, double),
                      void (*normalize)(Img&), const char* msg, const char* alloc_msg) {
  using Pixel = typename Img::Pixel;
  if (!(sigma > 0)) erro(msg, "");
  MATRIZ<double> m(2, 2);
  m(0, 0) = std::cos(theta);
  m(0, 1) = std::sin(theta);
  m(1, 0) = -std::sin(theta);
  m(1, 1) = std::cos(theta);
  const double rr = 5.0f * sigma;
  if (!(rr < 1073741823.0)) erro(alloc_msg, "");
  const int r = static_cast<int>(rr), n = 2 * r + 1;
  // A single tap has no lobe to rescale by: it differentiates nothing.
  if (r == 0) return Img(1, 1, Pixel(0));
  Img k(n, n);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) {
      double x = j - r, y = r - i;
      rotate(x, y, m);
      k.rows[i][j] = static_cast<Pixel>(density(x, y, sigma));
    }
  normalize(k);
  return k;
}

const char kMsgX[] = "Erro grnormalx: desvio muito pequeno";
const char kMsgY[] = "Erro grnormaly: desvio muito pequeno";
const char kAllocD[] = "Erro IMGDBL::aloca - Falta memoria";
const char kAllocF[] = "Erro IMGFLT::aloca - Falta memoria";

// The separable path's difference kernel: derivparc scaled to unit absolute sum, times sigma.
IMGFLT scaled_difference(double sigma, char direcao) {
  IMGFLT d = derivparc(direcao);
  SomatoriaUm(d);
  return sigma * d;
}

// The separable path without the smoothed image: the rows of ConvGaussHV(a, sigma, 'x') are
// produced in order as the differences convolucao(smoothed, d, 'x') read them.
class SmoothedRows {
 public:
  SmoothedRows(const IMGFLT& a, double sigma)
      : a_(a),
        taps_(VETORnormal(sigma)),
        smooth_(sigma >= 0.25),
        rows_(vistelmo::PlaneRef<float>{a.rows, a.nl(), a.nc(), a.lc, a.cc, 0.5f},
              vistelmo::Widen{}, 'x', taps_.data, taps_.n()) {}

  // Row l of the smoothed image as its float pixels hold it.
  void operator()(int l, double* dst) {
    if (smooth_)
      rows_.row(l, vistelmo::RowOut::float_wide(dst));
    else
      vistelmo::widen_row(a_.rows[l], dst, a_.nc());
  }

 private:
  const IMGFLT& a_;
  VETOR<double> taps_;
  bool smooth_;  // ConvGaussHV returns a itself below sigma 0.25
  vistelmo::SeparableRows<float, float, vistelmo::Widen> rows_;
};

using Smoothed = vistelmo::LazyRows<std::reference_wrapper<SmoothedRows>>;

// The taps of a difference kernel, widened.
std::vector<double> taps_of(const IMGFLT& d) { return std::vector<double>(d.data, d.data + d.n()); }

// convolucao(smoothed, d, 'x') into store.
template <class Store>
void difference(Smoothed& s, const IMGFLT& a, const IMGFLT& d, Store& store) {
  const std::vector<double> t = taps_of(d);
  vistelmo::correlate_lazy(s, a.nl(), a.nc(), a.lc, a.cc, 0.5, 'x', t.data(), d.nl(), d.nc(), d.lc,
                           d.cc, -1, store);
}

// gradientex/gradientey of a float image; see the header for the separable path.
IMGFLT float_gradient(const IMGFLT& a, double sigma, double theta, char direcao,
                      IMGFLT (*kernel)(double, double)) {
  if (theta >= 0) return convolucao(a, kernel(sigma, theta), 'x');
  SmoothedRows rows(a, sigma);
  IMGFLT r = vistelmo::fresh_image<IMGFLT>(a.nl(), a.nc());
  if (a.nl() < 1 || a.nc() < 1) return r;
  Smoothed s(a.nl(), a.nc(), 3, std::ref(rows));
  vistelmo::RowStore<float> store{r.rows};
  difference(s, a, scaled_difference(sigma, direcao), store);
  return r;
}

// modgrad's separable path: the y difference of row i, then the x difference (derivparc('x'),
// 1 x 3 with centre column 1) of the same smoothed row, then the magnitude of the two float
// results.
class MagnitudeStore {
 public:
  MagnitudeStore(const Smoothed& s, int nc, const IMGFLT& dx, IMGFLT& r)
      : s_(s), nc_(nc), tx_(taps_of(dx)), padded_(nc + 2), gy_(nc), gx_(nc), r_(r) {}
  vistelmo::RowOut target(int) { return gy_.data(); }
  void done(int i, int n) {
    const double* gy = gy_.data();
    // Row i of the smoothed image is still held: the y difference has just read it. Columns
    // -1 .. nc under mode 'x': the edge pixels repeated.
    const double* row = s_.rows()[i];
    padded_[0] = row[0];
    std::copy(row, row + nc_, padded_.begin() + 1);
    padded_[nc_ + 1] = row[nc_ - 1];
    const double* hp = padded_.data() + 2;
    vistelmo::correlate_row(&hp, tx_.data(), 1, 3, -1, n, gx_.data());
    float* dst = r_.rows[i];
    for (int j = 0; j < n; j++) {
      const double x = static_cast<float>(gx_[j]), y = static_cast<float>(gy[j]);
      dst[j] = static_cast<float>(std::sqrt(x * x + y * y));
    }
  }

 private:
  const Smoothed& s_;
  int nc_;
  std::vector<double> tx_, padded_, gy_, gx_;
  IMGFLT& r_;
};

// d[j] = sqrt(x^2 + y^2) of two gradients as their pixels hold them, in double.
template <class P>
void magnitude_row(const P* gx, const P* gy, P* d, int n) {
  for (int j = 0; j < n; j++) {
    const double x = gx[j], y = gy[j];
    d[j] = static_cast<P>(std::sqrt(x * x + y * y));
  }
}

template <class Img>
Img magnitude(const Img& gx, const Img& gy) {
  Img r(gx.nl(), gx.nc());
  const int n = gx.nl() >= 1 && gx.nc() >= 1 ? gx.nl() * gx.nc() : 0;
  magnitude_row(gx.data, gy.data, r.data, n);
  return r;
}

// modgrad's 2-D path for a float image: both gradients (convolucao with either kernel, mode
// 'x') a band of rows at a time, then their magnitude, without the two gradient images.
IMGFLT float_magnitude(const IMGFLT& a, const IMGFLT& kx, const IMGFLT& ky) {
  IMGFLT r = vistelmo::fresh_image<IMGFLT>(a.nl(), a.nc());
  if (a.nl() < 1 || a.nc() < 1) return r;
  const int band = std::min(a.nl(), 64);
  IMGFLT gx(band, a.nc()), gy(band, a.nc());
  for (int i0 = 0; i0 < a.nl(); i0 += band) {
    const int n = std::min(band, a.nl() - i0);
    vistelmo::convolve_rows(a, kx, 'x', i0, n, gx.rows);
    vistelmo::convolve_rows(a, ky, 'x', i0, n, gy.rows);
    for (int l = 0; l < n; l++) magnitude_row(gx.rows[l], gy.rows[l], r.rows[i0 + l], a.nc());
  }
  return r;
}

}  // namespace

void GradienteD::normalizex(IMGDBL& k) { rescale_x(k); }
void GradienteD::normalizey(IMGDBL& k) { rescale_y(k); }
void GradienteD::multiplica(double& x, double& y, const MATRIZ<double>& m) { rotate(x, y, m); }
void GradienteF::normalizex(IMGFLT& k) { rescale_x(k); }
void GradienteF::normalizey(IMGFLT& k) { rescale_y(k); }
void GradienteF::multiplica(double& x, double& y, const MATRIZ<double>& m) { rotate(x, y, m); }

IMGDBL IMGDBLgrxnormal(double sigma, double theta) {
  return derivative_kernel<IMGDBL>(sigma, theta, grxbinormal, GradienteD::normalizex, kMsgX,
                                   kAllocD);
}
IMGDBL IMGDBLgrynormal(double sigma, double theta) {
  return derivative_kernel<IMGDBL>(sigma, theta, grybinormal, GradienteD::normalizey, kMsgY,
                                   kAllocD);
}
IMGFLT IMGFLTgrxnormal(double sigma, double theta) {
  return derivative_kernel<IMGFLT>(sigma, theta, grxbinormal, GradienteF::normalizex, kMsgX,
                                   kAllocF);
}
IMGFLT IMGFLTgrynormal(double sigma, double theta) {
  return derivative_kernel<IMGFLT>(sigma, theta, grybinormal, GradienteF::normalizey, kMsgY,
                                   kAllocF);
}

IMGDBL gradientex(const IMGDBL& a, double sigma, double theta) {
  return convolucao(a, IMGDBLgrxnormal(sigma, theta), 'x');
}
IMGDBL gradientey(const IMGDBL& a, double sigma, double theta) {
  return convolucao(a, IMGDBLgrynormal(sigma, theta), 'x');
}
IMGFLT gradientex(const IMGFLT& a, double sigma, double theta) {
  return float_gradient(a, sigma, theta, 'x', IMGFLTgrxnormal);
}
IMGFLT gradientey(const IMGFLT& a, double sigma, double theta) {
  return float_gradient(a, sigma, theta, 'y', IMGFLTgrynormal);
}

IMGDBL modgrad(const IMGDBL& a, double sigma, double theta) {
  const IMGDBL gx = gradientex(a, sigma, theta);
  const IMGDBL gy = gradientey(a, sigma, theta);
  return magnitude(gx, gy);
}
IMGFLT modgrad(const IMGFLT& a, double sigma, double theta) {
  if (theta >= 0) {
    const IMGFLT kx = IMGFLTgrxnormal(sigma, theta);
    return float_magnitude(a, kx, IMGFLTgrynormal(sigma, theta));
  }
  // Both separable gradients smooth a alike: one pass over the smoothed rows serves both.
  SmoothedRows rows(a, sigma);
  IMGFLT r = vistelmo::fresh_image<IMGFLT>(a.nl(), a.nc());
  if (a.nl() < 1 || a.nc() < 1) return r;
  Smoothed s(a.nl(), a.nc(), 3, std::ref(rows));
  MagnitudeStore store(s, a.nc(), scaled_difference(sigma, 'x'), r);
  difference(s, a, scaled_difference(sigma, 'y'), store);
  return r;
}
