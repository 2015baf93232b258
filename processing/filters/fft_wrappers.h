// Fourier transforms of complex vectors and images, frequency shifts, padding and the lag
// order of circular correlations.
//
// Not thread-safe: the transforms share the process-wide twiddle table of fft.h; call them from
// one thread at a time.
#pragma once

#include <complex>

#include "foundation/vetor.h"
#include "images/images.h"
#include "numerics/vector_ops.h"

#pragma GCC visibility push(default)

// Zero frequency to the middle (index 0 goes to n/2) and back; centre (nl/2, nc/2) after
// fftshift, (0, 0) after ifftshift; outside value 0.
IMGFLT fftshift(const IMGFLT& a);
IMGCPX fftshift(const IMGCPX& a);
IMGFLT ifftshift(const IMGFLT& a);
IMGCPX ifftshift(const IMGCPX& a);
VETOR<CPXD> fftshift(const VETOR<CPXD>& a);
VETOR<CPXD> ifftshift(const VETOR<CPXD>& a);

// nl by nc zeros with the top-left block of a copied in.
IMGCPX fftpad(const IMGCPX& a, int nl, int nc);

// The circular correlation a of operands sized nl1 x nc1 and nl2 x nc2 rotated into lag order:
// (nl1+nl2-1) x (nc1+nc2-1), lags from -(nl2-1) upward.
IMGCPX xcorrshift(const IMGCPX& a, int nl1, int nc1, int nl2, int nc2);
VETOR<CPXD> xcorrshift(const VETOR<CPXD>& a, int n1, int n2);

// Forward transform (negative exponent, unscaled) of a zero-padded or truncated to n elements;
// n <= 0 keeps a's length.
VETOR<CPXD> fft(VETOR<CPXD> a, int n);
VETOR<CPXD> ifft(VETOR<CPXD> a);   // positive exponent, divided by n
VETOR<CPXD> nfft(VETOR<CPXD> a);   // negative exponent, divided by sqrt(n)
VETOR<CPXD> infft(VETOR<CPXD> a);  // positive exponent, divided by sqrt(n)

// Row pass, then column pass, each rounded to float. fft pads a to nl by nc at its top-left
// corner first (a's own size when nl or nc is below 1).
IMGCPX fft(const IMGCPX& a, int nl, int nc);
IMGCPX ifft(const IMGCPX& a);
IMGCPX nfft(const IMGCPX& a);
IMGCPX infft(const IMGCPX& a);

#pragma GCC visibility pop
