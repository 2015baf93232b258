// Element-wise operations on complex vectors.
#include <cmath>

#include "foundation/erro.h"
#include "foundation/normal.h"
#include "numerics/vector_ops.h"

namespace {

// Modulus scaled by the larger part; a part that is not a number gives not a number.
double modulus(CPXD z) {
  const double re = z.real(), im = z.imag();
  const double ar = std::fabs(re), ai = std::fabs(im);
  const double s = ar >= ai ? ar : ai;
  if (s == 0) return ar + ai;  // 0, or NaN when re is NaN
  const double u = re / s, w = im / s;
  return s * std::sqrt(u * u + w * w);
}

template <class F>
VETOR<double> parts(const VETOR<CPXD>& v, F f) {
  VETOR<double> r(v.n());
  for (int i = 0; i < v.n(); i++) r.data[i] = f(v.data[i]);
  return r;
}

}  // namespace

VETOR<CPXD> pol2ret(VETOR<CPXD> v) {
  for (int i = 0; i < v.n(); i++) v.data[i] = pol2ret(v.data[i]);
  return v;
}

VETOR<CPXD> ret2pol(VETOR<CPXD> v) {
  for (int i = 0; i < v.n(); i++) {
    const CPXD z = v.data[i];
    v.data[i] = CPXD(modulus(z), std::atan2(z.imag(), z.real()));
  }
  return v;
}

VETOR<CPXD> operator*(const VETOR<CPXD>& a, const VETOR<CPXD>& b) {
  if (a.n() != b.n()) erro("Erro VETOR<CPXD> operator*: tamanhos diferentes", "");
  VETOR<CPXD> r(a.n());
  for (int i = 0; i < a.n(); i++) {
    const double ar = a.data[i].real(), ai = a.data[i].imag();
    const double br = b.data[i].real(), bi = b.data[i].imag();
    r.data[i] = CPXD(ar * br - ai * bi, ar * bi + ai * br);
  }
  return r;
}

VETOR<double> arg(const VETOR<CPXD>& v) {
  return parts(v, [](CPXD z) { return std::atan2(z.imag(), z.real()); });
}

VETOR<double> abs(const VETOR<CPXD>& v) { return parts(v, modulus); }

VETOR<double> imag(const VETOR<CPXD>& v) {
  return parts(v, [](CPXD z) { return z.imag(); });
}

VETOR<double> real(const VETOR<CPXD>& v) {
  return parts(v, [](CPXD z) { return z.real(); });
}

VETOR<CPXD> conj(const VETOR<CPXD>& v) {
  VETOR<CPXD> r(v.n());
  for (int i = 0; i < v.n(); i++) r.data[i] = CPXD(v.data[i].real(), -v.data[i].imag());
  return r;
}
