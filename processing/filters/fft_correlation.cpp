// Correlation, convolution and phase-only filtering by products of padded spectra.
#include "processing/filters/fft_correlation.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <vector>

#include "foundation/erro.h"
#include "images/image_core_internal.h"
#include "processing/algebra/statistics.h"
#include "processing/filters/fft_lines_internal.h"
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

using vistelmo::fft_engine::COMPLEX;
using vistelmo::fft_engine::kLineBlock;
using vistelmo::fft_engine::Line;
using vistelmo::fft_engine::transform_lines;

// Work space of the real products, kept between calls: fresh pages cost more than the
// transforms.
std::vector<CF> spectrum_a, spectrum_b, spectrum_p;
std::vector<COMPLEX> lines_in, lines_out, row_pairs, columns_a, columns_b;

// v sized to at least n.
template <class T>
std::vector<T>& at_least(std::vector<T>& v, size_t n) {
  if (v.size() < n) v.resize(n);
  return v;
}

// The spectra of the rows of the real image x, zero-padded to nc columns, over columns 0 to nc/2
// (the others are their conjugates), row l at s[l (nc/2 + 1)]. Rows go in pairs through one
// complex transform, the first as its real part and the second as its imaginary part; the two
// spectra are parted in double, X(k) = (Z(k) + conj Z(-k)) / 2 and Y(k) = (Z(k) - conj Z(-k)) /
// 2i, before they are rounded to float as a row's own transform is: the other row of the pair
// reaches a spectrum only through double rounding, and no other image shares the transform.
void row_spectra(const IMGFLT& x, int nc, std::vector<CF>& s) {
  const int half = nc / 2, rows = x.nl(), cols = x.nc();
  const size_t width = static_cast<size_t>(half) + 1;
  CF* const out = at_least(s, rows * width).data();
  COMPLEX* const z = at_least(row_pairs, static_cast<size_t>(kLineBlock) * nc).data();
  const Line line = vistelmo::fft_engine::fft_line(nc);
  for (int i0 = 0; i0 < rows; i0 += 2 * kLineBlock) {
    const int pairs = std::min(kLineBlock, (rows - i0 + 1) / 2);
    transform_lines(
        nc, pairs,
        [&x, i0, rows, cols](int k, int c) {
          const int l = i0 + 2 * k;
          if (c >= cols) return CF(0, 0);
          return CF(x.rows[l][c], l + 1 < rows ? x.rows[l + 1][c] : 0.0f);
        },
        [z, nc](int k, int c, double re, double im) {
          z[static_cast<size_t>(k) * nc + c] = {re, im};
        },
        line, lines_in, lines_out);
    for (int k = 0; k < pairs; k++) {
      const int l = i0 + 2 * k;
      const COMPLEX* zk = z + static_cast<size_t>(k) * nc;
      CF* first = out + l * width;
      CF* second = l + 1 < rows ? first + width : nullptr;
      for (int v = 0; v <= half; v++) {
        const COMPLEX p = zk[v], q = zk[v == 0 ? 0 : nc - v];
        first[v] =
            CF(static_cast<float>(0.5 * (p.re + q.re)), static_cast<float>(0.5 * (p.im - q.im)));
        if (second)
          second[v] =
              CF(static_cast<float>(0.5 * (p.im + q.im)), static_cast<float>(0.5 * (q.re - p.re)));
      }
    }
  }
}

// The full-size block of the spectral product of two real operands with pixels, transformed
// back, with the circular lags taken from (dl, dc) on: out(i, j) = p((i + dl) mod nl, (j + dc)
// mod nc).
//
// Each operand is transformed on its own: its rows (row_spectra), then its columns up to nc/2.
// The product is Hermitian: only those columns are formed, each block of columns transformed
// back as soon as it is formed; then pairs of rows go back through one complex transform, the
// first row as its real part and the second as its imaginary part.
IMGFLT real_spectral_product(const IMGFLT& a, const IMGFLT& b, const Sizes& s, bool conjugate,
                             int dl, int dc) {
  const int nl = s.nl, nc = s.nc, half = nc / 2;
  const size_t width = static_cast<size_t>(half) + 1;
  const size_t line_size = (kLineBlock + 1) * static_cast<size_t>(std::max(nl, nc));
  at_least(lines_in, line_size);
  at_least(lines_out, line_size);
  row_spectra(a, nc, spectrum_a);
  row_spectra(b, nc, spectrum_b);
  CF* const p = at_least(spectrum_p, nl * width).data();
  COMPLEX* const za = at_least(columns_a, static_cast<size_t>(nl) * kLineBlock).data();
  COMPLEX* const zb = at_least(columns_b, static_cast<size_t>(nl) * kLineBlock).data();

  // Columns v up to nc/2 of both spectra, their products, transformed back into p.
  const Line column_in = vistelmo::fft_engine::fft_line(nl);
  const Line column_back = vistelmo::fft_engine::ifft_line(nl);
  for (int v0 = 0; v0 <= half; v0 += kLineBlock) {
    const int nb = std::min(kLineBlock, half + 1 - v0);
    auto columns_of = [&](const std::vector<CF>& x, int rows, COMPLEX* z) {
      const CF* src = x.data() + v0;
      transform_lines(
          nl, nb,
          [src, rows, width](int k, int l) { return l < rows ? src[l * width + k] : CF(0, 0); },
          [z](int k, int l, double re, double im) {
            z[static_cast<size_t>(l) * kLineBlock + k] = {re, im};
          },
          column_in, lines_in, lines_out);
    };
    columns_of(spectrum_a, a.nl(), za);
    columns_of(spectrum_b, b.nl(), zb);
    for (int u = 0; u < nl; u++) {
      COMPLEX* x = za + static_cast<size_t>(u) * kLineBlock;
      const COMPLEX* y = zb + static_cast<size_t>(u) * kLineBlock;
      for (int k = 0; k < nb; k++) {
        const CPXD w(y[k].re, conjugate ? -y[k].im : y[k].im);
        const CPXD r = product(CPXD(x[k].re, x[k].im), w);
        x[k] = {r.real(), r.imag()};
      }
    }
    transform_lines(
        nl, nb,
        [za](int k, int l) {
          const COMPLEX z = za[static_cast<size_t>(l) * kLineBlock + k];
          return CPXD(z.re, z.im);
        },
        [p, v0, width](int k, int l, double re, double im) {
          p[l * width + v0 + k] = CF(static_cast<float>(re), static_cast<float>(im));
        },
        column_back, lines_in, lines_out);
  }

  // Rows of the result in pairs: each row's columns past nc/2 are the conjugates of its first
  // ones, and its columns 0 and nc/2 are real.
  IMGFLT r = vistelmo::unset_image<IMGFLT>(s.nlf, s.ncf);
  const Line row_back = vistelmo::fft_engine::ifft_line(nc);
  auto spectrum = [p, width, nc, half](int l, int c) {
    const CF* row = p + l * width;
    if (c == 0 || 2 * c == nc) return CF(row[c].real(), 0);
    return c <= half ? row[c] : std::conj(row[nc - c]);
  };
  for (int i0 = 0; i0 < s.nlf; i0 += 2 * kLineBlock) {
    const int pairs = std::min(kLineBlock, (s.nlf - i0 + 1) / 2);
    transform_lines(
        nc, pairs,
        [&, i0](int k, int c) {
          const int i = i0 + 2 * k;
          const CF h = spectrum((i + dl) % nl, c);
          const CF g = i + 1 < s.nlf ? spectrum((i + 1 + dl) % nl, c) : CF(0, 0);
          return CPXD(double(h.real()) - g.imag(), double(h.imag()) + g.real());
        },
        [&, i0](int k, int c, double re, double im) {
          const int j = (c + nc - dc) % nc, i = i0 + 2 * k;
          if (j >= s.ncf) return;
          r.rows[i][j] = static_cast<float>(re);
          if (i + 1 < s.nlf) r.rows[i + 1][j] = static_cast<float>(im);
        },
        row_back, lines_in, lines_out);
  }
  Quorvan::W_init(nl);  // the table as the last column pass of ifft leaves it
  return r;
}

}  // namespace

IMGCPX xcorrf(const IMGCPX& a, const IMGCPX& b) { return correlate(a, b); }
IMGCPX convf(const IMGCPX& a, const IMGCPX& b) { return convolve(a, b); }

// An operand without pixels transforms to zeros: the result is all zeros, and the other operand
// may not fit the padded size.
IMGFLT xcorrf(const IMGFLT& a, const IMGFLT& b) {
  const Sizes s(a.nl(), a.nc(), b.nl(), b.nc());
  if (s.empty()) return IMGFLT(s.rows(), s.cols());
  if (a.n() == 0 || b.n() == 0) return IMGFLT(s.nlf, s.ncf, 0.0f);
  return real_spectral_product(a, b, s, true, s.nl - b.nl() + 1, s.nc - b.nc() + 1);
}

// The leading full-size block; b's outside value survives when b already had the padded size
// and that is the full size (a single pixel by b of power-of-two sides).
IMGFLT convf(const IMGFLT& a, const IMGFLT& b) {
  const Sizes s(a.nl(), a.nc(), b.nl(), b.nc());
  if (s.empty()) return IMGFLT(s.rows(), s.cols());
  if (a.n() == 0 || b.n() == 0) return IMGFLT(s.nlf, s.ncf, 0.0f);
  IMGFLT r = real_spectral_product(a, b, s, false, 0, 0);
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
