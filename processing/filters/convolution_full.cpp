// Full-size correlation and convolution computed directly in the spatial domain.
#include <complex>
#include <vector>

#include "processing/filters/convolution.h"
#include "processing/filters/convolve_internal.h"

namespace {

using CPXF = std::complex<float>;
using CPXD = std::complex<double>;

// Products in the operands' own precision; xcorr conjugates the second operand (the tap).
template <class C>
struct ComplexProduct {
  bool conjugate;
  C operator()(C t, C s) const {
    const auto tr = t.real(), ti = conjugate ? -t.imag() : t.imag();
    return C(s.real() * tr - s.imag() * ti, s.real() * ti + s.imag() * tr);
  }
};

// The full-size grid of a against b: dir = -1 convolves, +1 correlates. Outside a counts 0.
template <class Acc, class P, class Prod, class Store>
void full(const vistelmo::PlaneRef<P>& a, const vistelmo::KernelRef<P>& b, int dir, Prod prod,
          Store store) {
  vistelmo::PlaneRef<P> z = a;
  z.backg = P{};
  const int nl = a.nl + b.kl - 1, nc = a.nc + b.kc - 1;
  const int row0 = dir < 0 ? 0 : -(b.kl - 1), col0 = dir < 0 ? 0 : -(b.kc - 1);
  vistelmo::correlate<Acc>(z, 'n', nl, nc, b, row0, col0, dir, prod, store);
}

// The real operands through the real traversal: mode 'n' over a with outside value 0.
template <class P, class Out>
void full_real(const vistelmo::PlaneRef<P>& a, const std::vector<double>& taps, int kl, int kc,
               int dir, Out* const* out, int nl, int nc) {
  vistelmo::PlaneRef<P> z = a;
  z.backg = P{};
  const int row0 = dir < 0 ? 0 : -(kl - 1), col0 = dir < 0 ? 0 : -(kc - 1);
  vistelmo::RowStore<Out> store{out};
  vistelmo::correlate_real(z, vistelmo::Widen{}, 'n', nl, nc, taps.data(), kl, kc, row0, col0, dir,
                           store, std::is_same_v<P, float>, true);
}

IMGFLT full_image(const IMGFLT& a, const IMGFLT& b, int dir) {
  IMGFLT r = vistelmo::fresh_image<IMGFLT>(a.nl() + b.nl() - 1, a.nc() + b.nc() - 1);
  const int kl = b.nl() > 0 && b.nc() > 0 && b.data ? b.nl() : 0, kc = kl > 0 ? b.nc() : 0;
  if (r.nl() < 1 || r.nc() < 1) return r;
  full_real(vistelmo::plane_of(a), std::vector<double>(b.data, b.data + size_t(kl) * kc), kl, kc,
            dir, r.rows, r.nl(), r.nc());
  return r;
}

IMGCPX full_image(const IMGCPX& a, const IMGCPX& b, int dir) {
  IMGCPX r(a.nl() + b.nl() - 1, a.nc() + b.nc() - 1);
  full<CPXD>(
      vistelmo::plane_of(a), vistelmo::KernelRef<CPXF>{b.data, b.nl(), b.nc()}, dir,
      [p = ComplexProduct<CPXF>{dir > 0}](CPXF t, CPXF s) { return CPXD(p(t, s)); },
      [&r](int i, int j, CPXD s) { r.rows[i][j] = CPXF(s); });
  return r;
}

VETOR<double> full_vector(const VETOR<double>& a, const VETOR<double>& b, int dir) {
  VETOR<double> r(a.n() + b.n() - 1);
  if (r.n() < 1) return r;
  const double* row = a.data;
  const int kc = b.n() > 0 && b.data ? b.n() : 0;
  double* out = r.data;
  full_real(vistelmo::PlaneRef<double>{&row, 1, a.n(), 0, 0, 0.0},
            std::vector<double>(b.data, b.data + kc), kc > 0 ? 1 : 0, kc, dir, &out, 1, r.n());
  return r;
}

template <class T, class Prod>
VETOR<T> full_vector(const VETOR<T>& a, const VETOR<T>& b, int dir, Prod prod) {
  VETOR<T> r(a.n() + b.n() - 1);
  const T* row = a.data;
  const vistelmo::PlaneRef<T> pa{&row, 1, a.n(), 0, 0, T{}};
  full<T>(pa, vistelmo::KernelRef<T>{b.data, 1, b.n()}, dir, prod,
          [&r](int, int j, T s) { r.data[j] = s; });
  return r;
}

}  // namespace

IMGFLT conv(const IMGFLT& a, const IMGFLT& b) { return full_image(a, b, -1); }
IMGFLT xcorr(const IMGFLT& a, const IMGFLT& b) { return full_image(a, b, 1); }
IMGFLT filtlin(const IMGFLT& a, const IMGFLT& b) { return full_image(a, b, 1); }
IMGCPX conv(const IMGCPX& a, const IMGCPX& b) { return full_image(a, b, -1); }
IMGCPX xcorr(const IMGCPX& a, const IMGCPX& b) { return full_image(a, b, 1); }

VETOR<double> conv(const VETOR<double>& a, const VETOR<double>& b) { return full_vector(a, b, -1); }
VETOR<double> xcorr(const VETOR<double>& a, const VETOR<double>& b) { return full_vector(a, b, 1); }
VETOR<CPXD> conv(const VETOR<CPXD>& a, const VETOR<CPXD>& b) {
  return full_vector(a, b, -1, ComplexProduct<CPXD>{false});
}
VETOR<CPXD> xcorr(const VETOR<CPXD>& a, const VETOR<CPXD>& b) {
  return full_vector(a, b, 1, ComplexProduct<CPXD>{true});
}
