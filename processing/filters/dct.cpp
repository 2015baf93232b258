// DCT by one complex FFT: a reordering of length n (even n) or a mirrored sequence of length 2n
// (odd n), then one complex weight per coefficient.
#include "processing/filters/dct.h"

#include <cmath>

#include "foundation/erro.h"
#include "foundation/math_internal.h"
#include "numerics/vector_ops.h"
#include "processing/filters/fft_wrappers.h"

namespace {

using vistelmo::kPi;
const double kSqrt2 = 1.4142135623730951;

void require_elements(int n) {
  if (n < 1) erro("Erro VETOR::operator() - Indice invalido", "");
}

// e^{i sign t(k)} with t(k) = k pi / 2n, formed as exp(0) (cos, sin) of the imaginary part.
CPXD twiddle(int k, int n, int sign) {
  const double t = sign * (k * kPi / (2 * n));
  const double e = std::exp(0.0);
  return CPXD(e * std::cos(t), e * std::sin(t));
}

// Complex division by the real d, as division by (d, 0).
CPXD divide(CPXD z, double d) { return CPXD(z.real() / d, z.imag() / d); }

// Real part of the product w z.
double real_product(CPXD w, CPXD z) { return w.real() * z.real() - w.imag() * z.imag(); }

// Product w y of a complex weight and a real coefficient.
CPXD scale(CPXD w, double y) { return CPXD(w.real() * y, w.imag() * y); }

}  // namespace

VETOR<double> dct(const VETOR<double>& x) {
  const int n = x.n();
  require_elements(n);
  const double s = std::sqrt(static_cast<double>(2 * n));
  VETOR<CPXD> w(n);
  for (int k = 0; k < n; k++) w.data[k] = divide(twiddle(k, n, -1), s);
  w.data[0] = divide(w.data[0], kSqrt2);

  VETOR<double> y(n);
  if (n % 2 == 1) {
    VETOR<CPXD> v(2 * n);
    for (int i = 0; i < n; i++) {
      v.data[i] = CPXD(x.data[i], 0);
      v.data[n + i] = CPXD(x.data[n - 1 - i], 0);
    }
    const VETOR<CPXD> V = fft(v, 0);
    for (int k = 0; k < n; k++) y.data[k] = real_product(w.data[k], V.data[k]);
  } else {
    const int h = n / 2;
    VETOR<CPXD> v(n);
    for (int i = 0; i < h; i++) {
      v.data[i] = CPXD(x.data[2 * i], 0);
      v.data[h + i] = CPXD(x.data[n - 1 - 2 * i], 0);
    }
    const VETOR<CPXD> V = fft(v, 0);
    for (int k = 0; k < n; k++) y.data[k] = 2 * real_product(w.data[k], V.data[k]);
  }
  return y;
}

VETOR<double> idct(const VETOR<double>& y) {
  const int n = y.n();
  require_elements(n);
  const double s = std::sqrt(static_cast<double>(2 * n));
  VETOR<CPXD> w(n);
  for (int k = 0; k < n; k++) {
    const CPXD e = twiddle(k, n, +1);
    w.data[k] = CPXD(s * e.real(), s * e.imag());
  }

  VETOR<double> x(n, 0.0);
  if (n % 2 == 1) {
    const CPXD w0 = w.data[0];
    w.data[0] = CPXD(w0.real() * kSqrt2 - w0.imag() * 0.0, w0.real() * 0.0 + w0.imag() * kSqrt2);
    VETOR<CPXD> u(2 * n);
    for (int k = 0; k < n; k++) u.data[k] = scale(w.data[k], y.data[k]);
    u.data[n] = CPXD(0, 0);
    for (int k = n + 1; k < 2 * n; k++) {
      const CPXD wk = w.data[k - n];
      u.data[k] = scale(CPXD(wk.imag(), -wk.real()), y.data[2 * n - k]);
    }
    const VETOR<CPXD> a = ifft(u);
    for (int i = 0; i < n; i++) x.data[i] = a.data[i].real();
  } else {
    w.data[0] = divide(w.data[0], kSqrt2);
    VETOR<CPXD> u(n);
    for (int k = 0; k < n; k++) u.data[k] = scale(w.data[k], y.data[k]);
    const VETOR<CPXD> a = ifft(u);
    for (int m = 0; m < n / 2; m++) {
      x.data[2 * m] = a.data[m].real();
      x.data[2 * m + 1] = a.data[n - 1 - m].real();
    }
  }
  return x;
}

namespace {

// f of every row into a work image, then f of every column back into a.
IMGFLT rows_then_columns(IMGFLT a, VETOR<double> (*f)(const VETOR<double>&)) {
  const int nl = a.nl(), nc = a.nc();
  IMGFLT t(nl, nc);
  VETOR<double> v(nc);
  for (int l = 0; l < nl; l++) {
    for (int c = 0; c < nc; c++) v.data[c] = a.rows[l][c];
    v = f(v);
    for (int c = 0; c < nc; c++) t.rows[l][c] = static_cast<float>(v.data[c]);
  }
  v.resize(nl);
  for (int c = 0; c < nc; c++) {
    for (int l = 0; l < nl; l++) v.data[l] = t.rows[l][c];
    v = f(v);
    for (int l = 0; l < nl; l++) a.rows[l][c] = static_cast<float>(v.data[l]);
  }
  return a;
}

}  // namespace

IMGFLT dct(IMGFLT a) { return rows_then_columns(a, dct); }
IMGFLT idct(IMGFLT a) { return rows_then_columns(a, idct); }
