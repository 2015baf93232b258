// DCT by one complex FFT: a reordering of length n (even n) or a mirrored sequence of length 2n
// (odd n), then one complex weight per coefficient. Lines go through the FFT engine together.
#include "processing/filters/dct.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "foundation/erro.h"
#include "foundation/math_internal.h"
#include "images/image_core_internal.h"
#include "numerics/vector_ops.h"
#include "processing/filters/fft.h"
#include "processing/filters/fft_engine_internal.h"

namespace {

using Quorvan::COMPLEX;
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
double real_product(CPXD w, double zr, double zi) { return w.real() * zr - w.imag() * zi; }

// Product w y of a complex weight and a real coefficient.
COMPLEX scale(CPXD w, double y) { return {w.real() * y, w.imag() * y}; }

// The weights of one length, both directions, with their first entries adjusted.
struct Weights {
  std::vector<CPXD> forward, inverse;
};

const Weights& weights_for(int n) {
  static std::map<int, Weights> cache;
  auto it = cache.find(n);
  if (it != cache.end()) return it->second;
  if (cache.size() >= 8) cache.clear();
  Weights w;
  const double s = std::sqrt(static_cast<double>(2 * n));
  w.forward.resize(n);
  w.inverse.resize(n);
  for (int k = 0; k < n; k++) {
    w.forward[k] = divide(twiddle(k, n, -1), s);
    const CPXD e = twiddle(k, n, +1);
    w.inverse[k] = CPXD(s * e.real(), s * e.imag());
  }
  w.forward[0] = divide(w.forward[0], kSqrt2);
  const CPXD w0 = w.inverse[0];
  if (n % 2 == 1)
    w.inverse[0] = CPXD(w0.real() * kSqrt2 - w0.imag() * 0.0, w0.real() * 0.0 + w0.imag() * kSqrt2);
  else
    w.inverse[0] = divide(w0, kSqrt2);
  return cache[n] = std::move(w);
}

// Position in x of element e of the rearranged sequence of length L: the mirrored sequence for
// odd n, the even samples rising and then the odd ones falling for even n.
inline int source(int e, int n) {
  if (n % 2 == 1) return e < n ? e : 2 * n - 1 - e;
  const int h = n / 2;
  return e < h ? 2 * e : n - 1 - 2 * (e - h);
}

// Transform length of a line of n elements.
int fft_length(int n) { return n % 2 == 1 ? 2 * n : n; }

// dct (or idct) of nb lines of n elements, read(b, i) giving element i of line b and write(b, k)
// the place of coefficient k. Lines are interleaved and transformed together; every line is
// read before any is written. The table must be built for the transform length.
template <class Read, class Write>
void transform_lines(int n, int nb, Read read, Write write, bool inverse, std::vector<COMPLEX>& in,
                     std::vector<COMPLEX>& out) {
  const int len = fft_length(n);
  const int width = nb == 1 ? 1 : nb + nb % 2;
  const size_t size = static_cast<size_t>(len) * width;
  if (in.size() < size) {
    in.resize(size);
    out.resize(size);
  }
  const Weights& w = weights_for(n);
  if (!inverse) {
    for (int e = 0; e < len; e++) {
      COMPLEX* dst = in.data() + static_cast<size_t>(e) * width;
      const int i = source(e, n);
      for (int b = 0; b < nb; b++) dst[b] = {read(b, i), 0.0};
      for (int b = nb; b < width; b++) dst[b] = {0, 0};
    }
    // The forward transform of real data is the conjugate of the positive-exponent one.
    vistelmo::fft_engine::dft_lines(in.data(), len, width, out.data());
    for (int k = 0; k < n; k++) {
      const COMPLEX* src = out.data() + static_cast<size_t>(k) * width;
      for (int b = 0; b < nb; b++) {
        const double y = real_product(w.forward[k], src[b].re, -src[b].im);
        write(b, k) = n % 2 == 1 ? y : 2 * y;
      }
    }
    return;
  }
  for (int k = 0; k < len; k++) {
    COMPLEX* dst = in.data() + static_cast<size_t>(k) * width;
    for (int b = 0; b < nb; b++) {
      if (k < n) {
        dst[b] = scale(w.inverse[k], read(b, k));
      } else if (k == n) {
        dst[b] = {0, 0};
      } else {
        const CPXD wk = w.inverse[k - n];
        dst[b] = scale(CPXD(wk.imag(), -wk.real()), read(b, 2 * n - k));
      }
    }
    for (int b = nb; b < width; b++) dst[b] = {0, 0};
  }
  vistelmo::fft_engine::dft_lines(in.data(), len, width, out.data());
  const double d = static_cast<double>(len);
  for (int e = 0; e < n; e++) {
    const COMPLEX* src = out.data() + static_cast<size_t>(e) * width;
    const int i = source(e, n);  // a[e] is x[i]: the first n for odd n, the reordering for even
    for (int b = 0; b < nb; b++) write(b, i) = src[b].re / d;
  }
}

VETOR<double> line(const VETOR<double>& x, bool inverse) {
  const int n = x.n();
  require_elements(n);
  Quorvan::W_init(fft_length(n));
  VETOR<double> y(n);
  std::vector<COMPLEX> in, out;
  transform_lines(
      n, 1, [&x](int, int i) { return x.data[i]; },
      [&y](int, int k) -> double& { return y.data[k]; }, inverse, in, out);
  return y;
}

// Lines transformed together in the image forms.
const int kLineBlock = 8;

// The rows of a into a fresh image with a's centre and outside value, stored as float; then its
// columns in place.
IMGFLT rows_then_columns(const IMGFLT& a, bool inverse) {
  const int nl = a.nl(), nc = a.nc();
  IMGFLT r(nl, nc);
  vistelmo::take_frame(r, a);
  if (nl == 0 && nc == 0) return r;
  require_elements(std::min(nl, nc));
  std::vector<COMPLEX> in, out;
  Quorvan::W_init(fft_length(nc));
  for (int l0 = 0; l0 < nl; l0 += kLineBlock) {
    transform_lines(
        nc, std::min(kLineBlock, nl - l0),
        [&a, l0](int b, int i) { return double(a.rows[l0 + b][i]); },
        [&r, l0](int b, int k) -> float& { return r.rows[l0 + b][k]; }, inverse, in, out);
  }
  Quorvan::W_init(fft_length(nl));
  for (int c0 = 0; c0 < nc; c0 += kLineBlock) {
    transform_lines(
        nl, std::min(kLineBlock, nc - c0),
        [&r, c0](int b, int i) { return double(r.rows[i][c0 + b]); },
        [&r, c0](int b, int k) -> float& { return r.rows[k][c0 + b]; }, inverse, in, out);
  }
  return r;
}

}  // namespace

VETOR<double> dct(const VETOR<double>& x) { return line(x, false); }
VETOR<double> idct(const VETOR<double>& y) { return line(y, true); }
IMGFLT dct(const IMGFLT& a) { return rows_then_columns(a, false); }
IMGFLT idct(const IMGFLT& a) { return rows_then_columns(a, true); }
