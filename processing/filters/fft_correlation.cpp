// Correlation, convolution and phase-only filtering by products of padded spectra.
#include "processing/filters/fft_correlation.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>

#include "foundation/erro.h"
#include "processing/algebra/statistics.h"
#include "processing/filters/fft_wrappers.h"

namespace {

typedef std::complex<float> CF;

// Smallest power of two not below n, as 2^ceil(log n / ln 2); n >= 1.
int padded_length(int n) {
  const double e = std::ceil(std::log(static_cast<double>(n)) / 0.6931471805599453 - 1e-40);
  return static_cast<int>(std::round(std::pow(2.0, e)));
}

// Product of two single-precision coefficients, formed in double and stored as float.
inline CF product(CF x, CF y) {
  const double xr = x.real(), xi = x.imag(), yr = y.real(), yi = y.imag();
  return CF(static_cast<float>(xr * yr - xi * yi), static_cast<float>(xr * yi + xi * yr));
}

inline CPXD product(CPXD x, CPXD y) {
  return CPXD(x.real() * y.real() - x.imag() * y.imag(), x.real() * y.imag() + x.imag() * y.real());
}

// a[k] *= b[k], or a[k] *= conj(b[k]); a and b of one size.
template <class Block>
void multiply(Block& a, const Block& b, bool conjugate) {
  for (int k = 0; k < a.n(); k++) {
    auto y = b.data[k];
    if (conjugate) y = std::conj(y);
    a.data[k] = product(a.data[k], y);
  }
}

// Modulus scaled by the larger part; 0 when both parts are 0.
float modulus(CF z) {
  const double re = z.real(), im = z.imag();
  const double s = std::max(std::fabs(re), std::fabs(im));
  if (s == 0) return 0;
  const double u = re / s, w = im / s;
  return static_cast<float>(s * std::sqrt(u * u + w * w));
}

// Full and padded sizes of a two-operand image transform.
struct Sizes {
  int nlf, ncf, nl, nc;
  Sizes(int nla, int nca, int nlb, int ncb) : nlf(nla + nlb - 1), ncf(nca + ncb - 1), nl(0), nc(0) {
    if (!empty()) {
      nl = padded_length(nlf);
      nc = padded_length(ncf);
    }
  }
  // No full-size result: nothing to transform.
  bool empty() const { return nlf < 1 || ncf < 1; }
  int rows() const { return std::max(nlf, 0); }
  int cols() const { return std::max(ncf, 0); }
};

// Product of the padded spectra of a and b, transformed back.
IMGCPX spectral_product(const IMGCPX& a, const IMGCPX& b, const Sizes& s, bool conjugate) {
  IMGCPX fa = fft(a, s.nl, s.nc);
  {
    const IMGCPX fb = fft(b, s.nl, s.nc);
    multiply(fa, fb, conjugate);
  }
  return ifft(fa);
}

IMGCPX correlate(const IMGCPX& a, const IMGCPX& b) {
  const Sizes s(a.nl(), a.nc(), b.nl(), b.nc());
  if (s.empty()) return IMGCPX(s.rows(), s.cols());
  const IMGCPX r = spectral_product(a, b, s, true);
  return xcorrshift(r, a.nl(), a.nc(), b.nl(), b.nc());
}

// The leading full-size block of the circular convolution, in the resized spectrum of b (whose
// outside value and centre survive when it already has the full size).
IMGCPX convolve(const IMGCPX& a, const IMGCPX& b) {
  const Sizes s(a.nl(), a.nc(), b.nl(), b.nc());
  if (s.empty()) return IMGCPX(s.rows(), s.cols());
  IMGCPX fa = fft(a, s.nl, s.nc);
  IMGCPX fb = fft(b, s.nl, s.nc);
  multiply(fa, fb, false);
  fb.resize(s.nlf, s.ncf);
  fa = ifft(fa);
  for (int l = 0; l < s.nlf; l++) std::copy(fa.rows[l], fa.rows[l] + s.ncf, fb.rows[l]);
  return fb;
}

// Sum of squares of the pixels.
double energy(const IMGFLT& a) {
  double e = 0;
  for (int i = 0; i < a.n(); i++) e += double(a.data[i]) * a.data[i];
  return e;
}

// The spectral product of two real operands from one transform: a as the real part and b,
// scaled by a power of two to a's energy, as the imaginary part of one image Z, whose spectrum
// gives A(k) = (Z(k) + conj Z(-k)) / 2 and B(k) = (Z(k) - conj Z(-k)) / 2i. Transformed back.
IMGCPX real_spectral_product(const IMGFLT& a, const IMGFLT& b, const Sizes& s, bool conjugate) {
  const double ea = energy(a), eb = energy(b);
  const int e = ea > 0 && eb > 0 && std::isfinite(ea) && std::isfinite(eb)
                    ? static_cast<int>(std::lround(0.5 * std::log2(ea / eb)))
                    : 0;
  const int shift = std::max(-100, std::min(100, e));
  const float up = std::ldexp(1.0f, shift);
  const double down = std::ldexp(1.0, -shift);
  IMGCPX z(std::min(std::max(a.nl(), b.nl()), s.nl), std::min(std::max(a.nc(), b.nc()), s.nc));
  for (int l = 0; l < std::min(a.nl(), z.nl()); l++)
    for (int c = 0; c < std::min(a.nc(), z.nc()); c++) z.rows[l][c].real(a.rows[l][c]);
  for (int l = 0; l < std::min(b.nl(), z.nl()); l++)
    for (int c = 0; c < std::min(b.nc(), z.nc()); c++) z.rows[l][c].imag(up * b.rows[l][c]);
  IMGCPX f = fft(z, s.nl, s.nc);
  z.resize(0, 0);
  // Each pair of mirrored coefficients is read, then both are replaced by their products.
  auto spectral = [&](CF zk, CF zm) {
    const CPXD x(0.5 * (double(zk.real()) + zm.real()), 0.5 * (double(zk.imag()) - zm.imag()));
    CPXD y(down * (0.5 * (double(zk.imag()) + zm.imag())),
           down * (0.5 * (double(zm.real()) - zk.real())));
    if (conjugate) y = std::conj(y);
    const CPXD q = product(x, y);
    return CF(static_cast<float>(q.real()), static_cast<float>(q.imag()));
  };
  for (int u = 0; u < s.nl; u++) {
    const int mu = u == 0 ? 0 : s.nl - u;
    if (mu < u) continue;
    CF* row = f.rows[u];
    CF* mirror = f.rows[mu];
    for (int v = 0; v < s.nc; v++) {
      const int mv = v == 0 ? 0 : s.nc - v;
      if (mu == u && mv < v) continue;
      const CF zk = row[v], zm = mirror[mv];
      row[v] = spectral(zk, zm);
      mirror[mv] = spectral(zm, zk);
    }
  }
  return ifft(f);
}

}  // namespace

IMGCPX xcorrf(const IMGCPX& a, const IMGCPX& b) { return correlate(a, b); }
IMGCPX convf(const IMGCPX& a, const IMGCPX& b) { return convolve(a, b); }

IMGFLT xcorrf(const IMGFLT& a, const IMGFLT& b) {
  const Sizes s(a.nl(), a.nc(), b.nl(), b.nc());
  if (s.empty()) return IMGFLT(s.rows(), s.cols());
  return real(xcorrshift(real_spectral_product(a, b, s, true), a.nl(), a.nc(), b.nl(), b.nc()));
}

// The leading full-size block; b's outside value survives when b already had the padded size
// and that is the full size (a single pixel by b of power-of-two sides).
IMGFLT convf(const IMGFLT& a, const IMGFLT& b) {
  const Sizes s(a.nl(), a.nc(), b.nl(), b.nc());
  if (s.empty()) return IMGFLT(s.rows(), s.cols());
  const IMGCPX p = real_spectral_product(a, b, s, false);
  IMGFLT r(s.nlf, s.ncf);
  for (int l = 0; l < s.nlf; l++)
    for (int c = 0; c < s.ncf; c++) r.rows[l][c] = p.rows[l][c].real();
  if (b.nl() == s.nl && b.nc() == s.nc && s.nlf == s.nl && s.ncf == s.nc) r.backg = b.backg;
  return r;
}

VETOR<CPXD> xcorrf(const VETOR<CPXD>& a, const VETOR<CPXD>& b) {
  const int nf = a.n() + b.n() - 1;
  if (nf < 1) return VETOR<CPXD>(0);
  const int n = padded_length(nf);
  VETOR<CPXD> fa = fft(a, n);
  {
    const VETOR<CPXD> fb = fft(b, n);
    multiply(fa, fb, true);
  }
  return xcorrshift(ifft(fa), a.n(), b.n());
}

VETOR<CPXD> convf(const VETOR<CPXD>& a, const VETOR<CPXD>& b) {
  const int nf = a.n() + b.n() - 1;
  if (nf < 1) return VETOR<CPXD>(0);
  const int n = padded_length(nf);
  VETOR<CPXD> fa = fft(a, n);
  VETOR<CPXD> fb = fft(b, n);
  multiply(fa, fb, false);
  fb.resize(nf);
  fa = ifft(fa);
  for (int i = 0; i < nf; i++) fb.data[i] = fa.data[i];
  return fb;
}

IMGFLT spomf(const IMGFLT& a, const IMGFLT& b, char modo) {
  const int nla = a.nl(), nca = a.nc(), nlb = b.nl(), ncb = b.nc();
  const Sizes s(nla, nca, nlb, ncb);
  IMGCPX fa;
  if (!s.empty()) {
    fa = fft(IMGCPX(a), s.nl, s.nc);
    {
      const IMGCPX fb = fft(IMGCPX(b), s.nl, s.nc);
      for (int k = 0; k < fa.n(); k++) {
        const CF x = fa.data[k], y = fb.data[k];
        const double phi =
            std::atan2(static_cast<double>(x.imag()), static_cast<double>(x.real())) +
            std::atan2(static_cast<double>(y.imag()), static_cast<double>(y.real()));
        fa.data[k] = CF(static_cast<float>(std::cos(phi)), static_cast<float>(std::sin(phi)));
      }
    }
    fa = ifft(fa);
  }
  int nl, nc, dl, dc;
  switch (modo) {
    case 'f':
      nl = nla + nlb - 1;
      nc = nca + ncb - 1;
      dl = dc = 0;
      break;
    case 's':
      nl = nla;
      nc = nca;
      dl = nlb / 2;
      dc = ncb / 2;
      break;
    case 'v':
      nl = std::abs(nla - nlb) + 1;
      nc = std::abs(nca - ncb) + 1;
      dl = std::min(nla, nlb) - 1;
      dc = std::min(nca, ncb) - 1;
      break;
    default:
      erro("Erro inesperado", "");
  }
  IMGFLT r(std::max(nl, 0), std::max(nc, 0));
  // Positions outside the spectrum occur only with an empty operand; they read as 0.
  for (int l = 0; l < r.nl(); l++)
    for (int c = 0; c < r.nc(); c++) {
      const int i = l + dl, j = c + dc;
      const bool inside = i >= 0 && i < fa.nl() && j >= 0 && j < fa.nc() && fa.data != nullptr;
      r.rows[l][c] = inside ? modulus(fa.rows[i][j]) : 0.0f;
    }
  return r;
}
