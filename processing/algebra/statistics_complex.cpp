// Element functions of the complex image.
#include <cmath>
#include <complex>
#include <cstdint>

#include "foundation/constants.h"
#include "processing/algebra/statistics.h"
#include "processing/algebra/statistics_internal.h"

namespace {

using Complex = std::complex<float>;

// Fresh image of a's size: element f(z), outside value backg.
template <class Img, class F>
Img elements(const IMGCPX& a, typename Img::Pixel backg, F f) {
  Img r(a.nl, a.nc);
  r.backg = backg;
  const int64_t n = vistelmo::pixel_count(a);
  if (vistelmo::has_pixels(r))
    for (int64_t i = 0; i < n; i++) r.data[i] = f(a.data[i]);
  return r;
}

// In place over the elements; the outside value is left alone.
template <class F>
void update_elements(IMGCPX& a, F f) {
  const int64_t n = vistelmo::pixel_count(a);
  for (int64_t i = 0; i < n; i++) a.data[i] = f(a.data[i]);
}

}  // namespace

IMGCPX conj(const IMGCPX& a) {
  return elements<IMGCPX>(a, Complex(0.0f, 0.0f), [](Complex z) { return std::conj(z); });
}

IMGCPX versor(IMGCPX a) {
  update_elements(a, [](Complex z) {
    const double m = vistelmo::scaled_magnitude(z);
    if (!(m > epsilon)) return Complex(0.0f, 0.0f);
    const float r = static_cast<float>(1 / m);
    return z * Complex(r, 0.0f);
  });
  return a;
}

IMGFLT real(const IMGCPX& a) {
  return elements<IMGFLT>(a, a.backg.real(), [](Complex z) { return z.real(); });
}

IMGFLT imag(const IMGCPX& a) {
  return elements<IMGFLT>(a, a.backg.imag(), [](Complex z) { return z.imag(); });
}

IMGFLT arg(const IMGCPX& a) {
  const auto phase = [](Complex z) { return std::atan2(z.imag(), z.real()); };
  return elements<IMGFLT>(a, phase(a.backg), phase);
}

IMGCPX ret2pol(IMGCPX a) {
  update_elements(a, [](Complex z) {
    const double m = vistelmo::scaled_magnitude(z);
    const double t = std::atan2(static_cast<double>(z.imag()), static_cast<double>(z.real()));
    return Complex(static_cast<float>(m), static_cast<float>(t));
  });
  return a;
}
