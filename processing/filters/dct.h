// Orthonormal discrete cosine transform (type II) and its inverse, through the FFT.
//
// Not thread-safe: the transforms share the process-wide twiddle table of fft.h; call them from
// one thread at a time.
#pragma once

#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// y[k] = s(k) sum x[i] cos(pi (2i+1) k / 2n), s(0) = sqrt(1/n), s(k) = sqrt(2/n).
VETOR<double> dct(const VETOR<double>& x);
// x[i] = sum s(k) y[k] cos(pi (2i+1) k / 2n).
VETOR<double> idct(const VETOR<double>& y);
// Every row, then every column, stored as float after each pass; centre and outside value kept.
IMGFLT dct(const IMGFLT& a);
IMGFLT idct(const IMGFLT& a);

#pragma GCC visibility pop
