// Mixed-radix FFT of any length on caller-owned arrays, with one process-wide twiddle table.
// The table is shared by every transform (and by fft_wrappers.h, dct.h, fft_correlation.h):
// call them from one thread at a time.
#pragma once

#pragma GCC visibility push(default)

namespace Quorvan {

// Real part first; has the layout of std::complex<double>.
struct COMPLEX {
  double re;
  double im;
};

// Twiddle table: W[k] = e^{+2 pi i k / nW}; both empty (nullptr, 0) or both set.
extern COMPLEX* W;
extern int nW;

// Smallest divisor of n above 1 (n itself when prime); 1 below 2.
int radix(int n);
// Rebuilds the table for length n unless it already has that length; n = 0 releases it.
void W_init(int n);
// Unscaled transform with the positive exponent; the table must fit a multiple of n.
// in is used as work space; in and out are distinct arrays of n elements.
void Fourier(COMPLEX* in, int n, COMPLEX* out);
// Regroups in into r blocks of stride r in out, then transforms each block back into in.
void split(COMPLEX* in, int r, int m, COMPLEX* out);
// Combines the n/m transforms of length m lying in in into the transform of length n in out.
void join(COMPLEX* in, int m, int n, COMPLEX* out);

// Forward (negative exponent) and inverse transforms; in is consumed.
void fft(COMPLEX* in, int n, COMPLEX* out);    // unscaled
void ifft(COMPLEX* in, int n, COMPLEX* out);   // divided by n
void nfft(COMPLEX* in, int n, COMPLEX* out);   // divided by sqrt(n)
void infft(COMPLEX* in, int n, COMPLEX* out);  // divided by sqrt(n)

// Empties the table when built and again when destroyed.
class _Quorvan {
 public:
  _Quorvan();
  ~_Quorvan();
};
extern _Quorvan _quorvan;

}  // namespace Quorvan

#pragma GCC visibility pop
