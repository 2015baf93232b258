// Full linear cross-correlation and convolution through the FFT, and the symmetric phase-only
// matched filter. Operands are zero-padded to powers of two.
//
// Not thread-safe: the transforms share the process-wide twiddle table of fft.h; call them from
// one thread at a time.
#pragma once

#include "foundation/vetor.h"
#include "images/images.h"
#include "numerics/vector_ops.h"

#pragma GCC visibility push(default)

// R(i, j) = sum over b's pixels of a(i + p - (nlb-1), j + q - (ncb-1)) conj(b(p, q)), a zero
// outside; (nla+nlb-1) x (nca+ncb-1), lag zero at (nlb-1, ncb-1), default centre, outside 0.
IMGCPX xcorrf(const IMGCPX& a, const IMGCPX& b);
IMGFLT xcorrf(const IMGFLT& a, const IMGFLT& b);
VETOR<CPXD> xcorrf(const VETOR<CPXD>& a, const VETOR<CPXD>& b);

// R(i, j) = sum over b's pixels of a(i - p, j - q) b(p, q), a zero outside; full size.
IMGCPX convf(const IMGCPX& a, const IMGCPX& b);
IMGFLT convf(const IMGFLT& a, const IMGFLT& b);
VETOR<CPXD> convf(const VETOR<CPXD>& a, const VETOR<CPXD>& b);

// Modulus of the inverse transform of e^{i(arg A + arg B)}; modo 'f' full size, 's' a's size,
// 'v' the valid part.
IMGFLT spomf(const IMGFLT& a, const IMGFLT& b, char modo);

#pragma GCC visibility pop
