// Total-variation denoising of double images by projected-gradient iterations on a dual field,
// and the discrete operators it is built from.
//
// The dual field p is an IMGCPX: real part along the row (toward higher columns), imaginary
// part across rows toward lower row indices (upward). The denoised image is u = f - lambda
// div(p).
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

namespace TV {
// Forward differences (f(r, c+1) - f(r, c), f(r-1, c) - f(r, c)) for r >= 1 and c <= nc-2;
// 0 in the top row and the last column. Fresh result.
IMGCPX grad(const IMGDBL& f);
// The negative adjoint of grad. Fresh result.
IMGDBL div(const IMGCPX& p);
// Copy of p with each component clamped to [-1, 1] (the outside value as it is).
IMGCPX clip(IMGCPX p);
// Sum of the moduli of grad(f).
double J(const IMGDBL& f);
}  // namespace TV

// Moduli s sqrt((re/s)^2 + (im/s)^2), s = max(|re|, |im|) (0 when s is 0), of the pixels and
// of the outside value. Fresh result.
IMGFLT abs(const IMGCPX& z);

// niter iterations with a fixed lambda, steps 0.225 (tv_lambda) or 0.125 (tv_lambda2), or with
// lambda adapted from 0.2 so that the removed part's RMS approaches sigma (tv_sigma). The
// result has f's size and outside value and the default centre. A lambda of 0 leaves f as it
// is. verbose prints the iteration number "%d\r" at each iteration and a line end after them.
IMGDBL tv_lambda(const IMGDBL& f, double lambda, int niter, bool verbose);
IMGDBL tv_lambda2(const IMGDBL& f, double lambda, int niter, bool verbose);
IMGDBL tv_sigma(const IMGDBL& f, double sigma, int niter, bool verbose);

#pragma GCC visibility pop
