// Gaussian kernels sampled from the normal densities, and the smoothing filters built on them.
#include "processing/filters/gauss.h"

#include "foundation/erro.h"
#include "foundation/normal.h"
#include "numerics/vector_ops.h"
#include "processing/algebra/statistics.h"
#include "processing/filters/convolution.h"
#include "processing/filters/convolve_internal.h"
#include "processing/filters/separable.h"

namespace {

// The smoothing kernels fall back to a single tap below this sigma (and for NaN).
bool degenerate(double sigma) { return !(sigma >= 0.25); }

// trunc(factor * sigma) for a positive sigma. A radius whose 2R+1 taps cannot be counted in an
// int fails as the kernel's allocation would.
int radius(double sigma, double factor, const char* alloc_msg) {
  const double r = sigma * factor;
  if (!(r < 1073741823.0)) erro(alloc_msg, "");
  return static_cast<int>(r);
}

// Squared offset, exact in double (an int product could overflow for a long 1-D kernel).
double sqr(int d) { return double(d) * double(d); }

// n x n samples of the circular normal density at the squared distance from (R, R), scaled to
// unit sum.
template <class Img>
Img normal_2d(double sigma, const char* alloc_msg) {
  using Pixel = typename Img::Pixel;
  if (degenerate(sigma)) return Img(1, 1, Pixel(1.0));
  const int r = radius(sigma, 4.0, alloc_msg), n = 2 * r + 1;
  Img k;
  k.resize(n, n);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++)
      k.rows[i][j] = static_cast<Pixel>(binormalsqr(sqr(i - r) + sqr(j - r), sigma));
  SomatoriaUm(k);
  return k;
}

// Both smoothing filters read a with the outside value 0.5.
template <class Img>
Img conv_gauss(const Img& a, double sigma, char modo, Img (*kernel)(double)) {
  return vistelmo::convolve_outside(a, typename Img::Pixel(0.5), kernel(sigma), modo);
}

template <class Img>
Img conv_gauss_hv(const Img& a, double sigma, char modo) {
  if (degenerate(sigma)) return a;
  return vistelmo::separable_outside(a, typename Img::Pixel(0.5), VETORnormal(sigma), modo);
}

}  // namespace

IMGFLT IMGFLTnormal(double sigma) {
  return normal_2d<IMGFLT>(sigma, "Erro IMGFLT::aloca - Falta memoria");
}

IMGDBL IMGDBLnormal(double sigma) {
  return normal_2d<IMGDBL>(sigma, "Erro IMGDBL::aloca - Falta memoria");
}

VETOR<double> VETORnormal(double sigma) {
  if (degenerate(sigma)) return VETOR<double>(1, 1.0);
  const int r = radius(sigma, 4.0, "Erro VETOR::aloca - Falta memoria"), n = 2 * r + 1;
  VETOR<double> v(n);
  for (int i = 0; i < n; i++) v.data[i] = normalsqr(sqr(i - r), sigma);
  SomatoriaUm(v);
  return v;
}

IMGFLT IMGFLTlapnormal(double sigma) {
  if (!(sigma > 0)) return IMGFLT(1, 1, 0.0f);
  const int r = radius(sigma, 3.0, "Erro IMGFLT::aloca - Falta memoria"), n = 2 * r + 1;
  IMGFLT k(n, n);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) {
      k.rows[i][j] = static_cast<float>(lapbinormalsqr(sqr(i - r) + sqr(j - r), sigma));
    }
  return k;
}

IMGFLT ConvGauss(const IMGFLT& a, double sigma, char modo) {
  return conv_gauss(a, sigma, modo, IMGFLTnormal);
}
IMGDBL ConvGauss(const IMGDBL& a, double sigma, char modo) {
  return conv_gauss(a, sigma, modo, IMGDBLnormal);
}
IMGFLT ConvGaussHV(const IMGFLT& a, double sigma, char modo) {
  return conv_gauss_hv(a, sigma, modo);
}
IMGDBL ConvGaussHV(const IMGDBL& a, double sigma, char modo) {
  return conv_gauss_hv(a, sigma, modo);
}

IMGCOR ConvGaussHV(const IMGCOR& a, double sigma) {
  if (degenerate(sigma)) return a;
  return ConvHV(a, VETORnormal(sigma));
}

IMGFLT laplace(const IMGFLT& a, double sigma) { return convolucao(a, IMGFLTlapnormal(sigma), 'x'); }
