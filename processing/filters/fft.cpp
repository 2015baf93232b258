// Recursive decimation-in-time FFT, smallest prime factor first, with a cached twiddle table.
#include "processing/filters/fft.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "foundation/erro.h"
#include "processing/filters/fft_engine_internal.h"

namespace Quorvan {

COMPLEX* W = nullptr;
int nW = 0;

_Quorvan _quorvan;

_Quorvan::_Quorvan() { W_init(0); }
_Quorvan::~_Quorvan() { W_init(0); }

namespace {

// acc += a * w
inline void mul_add(COMPLEX& acc, const COMPLEX& a, const COMPLEX& w) {
  acc.re += a.re * w.re - a.im * w.im;
  acc.im += a.re * w.im + a.im * w.re;
}

// (step * k) mod nW: the twiddle stride of output k at a level of length nW / step.
inline int64_t twiddle_stride(int64_t step, int64_t k) { return (step * k) % nW; }

// Next multiple of the stride, reduced: idx + inc with both below nW.
inline int64_t advance(int64_t idx, int64_t inc) {
  idx += inc;
  return idx >= nW ? idx - nW : idx;
}

// Length-1 level: a copy.
void pass1(const COMPLEX* in, int n, COMPLEX* out) {
  for (int k = 0; k < n; k++) out[k] = in[k];
}

// Radix 2: out[k] = in[k0] + in[k0 + m] W^k.
void pass2(const COMPLEX* in, int m, int64_t step, COMPLEX* out) {
  for (int k0 = 0; k0 < m; k0++) {
    for (int k = k0; k < 2 * m; k += m) {
      COMPLEX acc = in[k0];
      mul_add(acc, in[k0 + m], W[twiddle_stride(step, k)]);
      out[k] = acc;
    }
  }
}

// Radix 3: out[k] = (in[k0] + in[k0 + m] W^k) + in[k0 + 2m] W^2k.
void pass3(const COMPLEX* in, int m, int64_t step, COMPLEX* out) {
  for (int k0 = 0; k0 < m; k0++) {
    for (int k = k0; k < 3 * m; k += m) {
      const int64_t inc = twiddle_stride(step, k);
      COMPLEX acc = in[k0];
      mul_add(acc, in[k0 + m], W[inc]);
      mul_add(acc, in[k0 + 2 * m], W[advance(inc, inc)]);
      out[k] = acc;
    }
  }
}

// Any radix r: out[k] = in[k0] + sum over q = 1 .. r-1, in order, of in[k0 + q m] W^(q k),
// for every k below n.
void passg(const COMPLEX* in, int r, int m, int n, int64_t step, COMPLEX* out) {
  for (int k0 = 0; k0 < m; k0++) {
    for (int k = k0; k < n; k += m) {
      const int64_t inc = twiddle_stride(step, k);
      int64_t idx = 0;
      COMPLEX acc = in[k0];
      for (int q = 1; q < r; q++) {
        idx = advance(idx, inc);
        mul_add(acc, in[k0 + q * m], W[idx]);
      }
      out[k] = acc;
    }
  }
}

}  // namespace

int radix(int n) {
  if (n < 2) return 1;
  if (n == 2) return 2;
  for (int64_t d = 2; d * d <= n; d++)
    if (n % d == 0) return static_cast<int>(d);
  return n;
}

void W_init(int n) {
  if (n == nW) return;
  if ((W == nullptr) != (nW == 0)) erro("Erro inesperado", "");
  // The new table is made first: a refused length or a failed allocation leaves the old one.
  COMPLEX* table = nullptr;
  if (n != 0) {
    if (n > 0) table = static_cast<COMPLEX*>(std::malloc(sizeof(COMPLEX) * static_cast<size_t>(n)));
    if (table == nullptr) erro("Erro: malloc do FFT - W_init", "");
    for (int k = 0; k < n; k++) {
      const double a = static_cast<double>(k) * 6.283185307179586 / n;
      table[k].re = std::cos(a);
      table[k].im = std::sin(a);
    }
  }
  std::free(W);
  W = table;
  nW = n;
}

void split(COMPLEX* in, int r, int m, COMPLEX* out) {
  if (r < 1) return;
  for (int q = 0; q < r; q++)
    for (int j = 0; j < m; j++) out[q * m + j] = in[q + j * r];
  for (int q = 0; q < r; q++) Fourier(out + q * m, m, in + q * m);
}

void join(COMPLEX* in, int m, int n, COMPLEX* out) {
  if (m < 1 || n < 1) return;
  const int r = n / m;
  const int64_t step = nW / n;
  if (n != r * m) {  // n not a multiple of m: the outputs below n, as they come
    passg(in, r, m, n, step, out);
    return;
  }
  switch (r) {
    case 1:
      pass1(in, n, out);
      break;
    case 2:
      pass2(in, m, step, out);
      break;
    case 3:
      pass3(in, m, step, out);
      break;
    default:
      passg(in, r, m, n, step, out);
  }
}

void Fourier(COMPLEX* in, int n, COMPLEX* out) {
  vistelmo::fft_engine::fourier_levels(in, n, out, {false, 1.0});
}

namespace {

// W_init, then Fourier with the conjugations and the divisor of the line fused in.
void transform(COMPLEX* in, int n, COMPLEX* out, const vistelmo::fft_engine::Line& line) {
  W_init(n);
  vistelmo::fft_engine::fourier_levels(in, n, out, line);
}

}  // namespace

void fft(COMPLEX* in, int n, COMPLEX* out) {
  transform(in, n, out, vistelmo::fft_engine::fft_line(n));
}
void ifft(COMPLEX* in, int n, COMPLEX* out) {
  transform(in, n, out, vistelmo::fft_engine::ifft_line(n));
}
void nfft(COMPLEX* in, int n, COMPLEX* out) {
  transform(in, n, out, vistelmo::fft_engine::nfft_line(n));
}
void infft(COMPLEX* in, int n, COMPLEX* out) {
  transform(in, n, out, vistelmo::fft_engine::infft_line(n));
}

}  // namespace Quorvan
