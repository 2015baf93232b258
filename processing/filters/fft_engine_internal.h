// Planned FFT engine behind the Quorvan routines and the wrappers: plans cached by length,
// Stockham passes of radix 8, 4, 2, 3, 5 and small primes for smooth lengths, Bluestein's
// convolution over a length of factors 2, 3 and 5 for the others.
#pragma once

#include "processing/filters/fft.h"

namespace vistelmo {
namespace fft_engine {

using Quorvan::COMPLEX;

// out[k] = sum over j of in[j] e^{+2 pi i jk/n}, unscaled; in is left as it is. in and out are
// distinct arrays of n elements; n >= 1.
void dft(const COMPLEX* in, int n, COMPLEX* out);

// dft of count lines of length n stored interleaved: element e of line c at in[e count + c].
void dft_lines(const COMPLEX* in, int n, int count, COMPLEX* out);

// How a line is transformed: forward lines are conjugated on the way in and out; every
// result is divided by the divisor unless it is 1.
struct Line {
  bool forward;
  double divisor;
};
// The transform of Quorvan::Fourier, with the line's conjugations and divisor: for composite n,
// in holds on return the first level's sub-transforms (block q is the transform of the
// subsequence in[q + j r] as conjugated, r the smallest factor of n); for n 1 or prime, in holds
// its entry values, conjugated when forward.
void fourier_levels(COMPLEX* in, int n, COMPLEX* out, const Line& line);

// The end of a line's transform: conjugated when forward, then divided unless the divisor is 1.
inline COMPLEX finish(COMPLEX v, bool forward, double divisor) {
  if (forward) v.im = -v.im;
  if (divisor != 1.0) v = {v.re / divisor, v.im / divisor};
  return v;
}

// The line of Quorvan::fft, ifft, nfft or infft of length n.
Line fft_line(int n);
Line ifft_line(int n);
Line nfft_line(int n);
Line infft_line(int n);

}  // namespace fft_engine
}  // namespace vistelmo
