// Spatial convolution and correlation: full-size direct products of two operands, same-size
// convolution with a kernel image under a border mode, and the fixed difference kernels.
#pragma once

#include <complex>

#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// Full size: (a.nl + b.nl - 1) x (a.nc + b.nc - 1), or a.n + b.n - 1 elements, with the default
// centre; samples of a outside its bounds count as 0. Sums in double, in row-major order of b.
// conv reflects b: r(i, j) = sum of b(p, q) a(i - p, j - q).
IMGFLT conv(const IMGFLT& a, const IMGFLT& b);
IMGCPX conv(const IMGCPX& a, const IMGCPX& b);
VETOR<double> conv(const VETOR<double>& a, const VETOR<double>& b);
VETOR<std::complex<double> > conv(const VETOR<std::complex<double> >& a,
                                  const VETOR<std::complex<double> >& b);
// xcorr does not: r(i, j) = sum of b(p, q) a(i - (b.nl-1) + p, j - (b.nc-1) + q); the complex
// overloads conjugate b.
IMGFLT xcorr(const IMGFLT& a, const IMGFLT& b);
IMGCPX xcorr(const IMGCPX& a, const IMGCPX& b);
VETOR<double> xcorr(const VETOR<double>& a, const VETOR<double>& b);
VETOR<std::complex<double> > xcorr(const VETOR<std::complex<double> >& a,
                                   const VETOR<std::complex<double> >& b);
// Linear filtering by the mask b, without reflection: the same values as xcorr(a, b).
IMGFLT filtlin(const IMGFLT& a, const IMGFLT& b);

// a convolved with k (mirrored about its stored centre): r(i, j) = sum of
// k(p, q) a(i + k.lc - p, j + k.cc - q, modo). Fresh result of a's size (default centre,
// outside value 0). An invalid letter or mode 'e' past an edge fails in the element access.
IMGFLT convolucao(const IMGFLT& a, const IMGFLT& k, char modo);
IMGDBL convolucao(const IMGDBL& a, const IMGDBL& k, char modo);

// Fixed kernels for convolucao, with the default centre; direcao is 'x' or 'y'.
IMGFLT laplace4();
IMGFLT laplace8();
IMGFLT derivparc(char direcao);  // 1x3 or 3x1 central difference
IMGFLT sobel(char direcao);
IMGFLT prewitt(char direcao);
IMGFLT sobeld(char direcao);  // diagonal variants
IMGFLT prewittd(char direcao);
IMGFLT roberts(char direcao);  // 2x2, centred on the upper-left element

#pragma GCC visibility pop
