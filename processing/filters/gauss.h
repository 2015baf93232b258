// Gaussian and Laplacian-of-Gaussian kernels, and smoothing with them.
#pragma once

#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// Kernels sampled from the normal density over 2R+1 points per axis, R = trunc(4 sigma),
// centred on (R, R) and scaled to sum 1. A sigma below 0.25 (or NaN) gives the single tap 1.
IMGFLT IMGFLTnormal(double sigma);
IMGDBL IMGDBLnormal(double sigma);
VETOR<double> VETORnormal(double sigma);
// Laplacian of the 2-D density, R = trunc(3 sigma), not rescaled; sigma <= 0 (or NaN) gives 0.
IMGFLT IMGFLTlapnormal(double sigma);

// convolucao with the 2-D kernel, samples outside a taken as 0.5 where the mode gives the
// outside value. Fresh result (default centre, outside value 0).
IMGFLT ConvGauss(const IMGFLT& a, double sigma, char modo);
IMGDBL ConvGauss(const IMGDBL& a, double sigma, char modo);
// ConvHV with the 1-D kernel, a's outside value set to 0.5 first; the result keeps a's centre.
// A sigma below 0.25 (or NaN) returns a unchanged.
IMGFLT ConvGaussHV(const IMGFLT& a, double sigma, char modo);
IMGDBL ConvGaussHV(const IMGDBL& a, double sigma, char modo);
// Each channel smoothed with the edges continued, bytes rounded and clamped.
IMGCOR ConvGaussHV(const IMGCOR& a, double sigma);
// Laplacian-of-Gaussian filtering with the edges continued (mode 'x'); fresh result.
IMGFLT laplace(const IMGFLT& a, double sigma);

#pragma GCC visibility pop
