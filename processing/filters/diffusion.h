// Nonlinear (edge-preserving) diffusion of double images by explicit steps, with a fixed
// threshold K or with K re-estimated from the image's gradients before every step.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// Conductance for a difference or gradient magnitude x and threshold K:
//   '1' 1/(1 + x^2/K^2)   '2' exp(-x^2/(2K^2))   't' (1 - x^2/(5K^2))^2, 0 past x^2 = 5K^2
//   'i' 1   'd' 1 below |x| = K, else 0   'l' 1 - |x|/K below |x| = K, else 0
//   'f' 1 - 6u/5 + u^2/5 with a = 0.5507604246 x, u = a^2/K^2, 0 past a^2 = K^2
// Any other letter is fatal.
double g(double x, double K, char mode);

// One step from in into out, every pixel from in alone: out = in + delta with delta the
// conductance-weighted differences to the four neighbours times dt / (number of neighbours).
// Neighbours outside the image are left out; a pixel without any keeps its value. Returns the
// mean |delta| (0 for an empty image). With |K| below epsilon out becomes a copy of in and the
// return is 0.
double onepassdifusao(const IMGDBL& in, IMGDBL& out, double K, char mode, double dt);
// The same with the four neighbours always read, edges continued, and delta = dt * 0.25 * sum.
double xonepassdifusao(const IMGDBL& in, IMGDBL& out, double K, char mode, double dt);
// The flux is the Gaussian-derivative gradient (scale sigma, theta 0) weighted by g of its
// magnitude; out = in + dt * divergente(flux, sigma). Returns the mean |dt * div|.
double xonepassgausdif(const IMGDBL& in, IMGDBL& out, double K, char mode, double dt, double sigma);

// niter steps of onepassdifusao (the result keeps a's centre and outside value) or of
// xonepassdifusao (fresh result, default centre, outside value 0). niter <= 0: a copy of a,
// or for xdifusao a zero image of a's size.
IMGDBL difusao(IMGDBL a, int niter, double K, char mode, double dt);
IMGDBL xdifusao(IMGDBL a, int niter, double K, char mode, double dt);

// Threshold as a percentile of the image's absolute gradient samples (as floats): p >= 0 takes
// the k-th smallest with k = round(N p / 100), p < 0 takes k = N - round(-p); k < 1 gives 0,
// k > N gives 1. Samples: forward differences down and across inside the image
// (percentilgrad), the same with edges continued (xpercentilgrad: 2 nl nc samples), or the
// Gaussian-derivative gradient magnitude at sigma (xpercentilgausdif).
double percentilgrad(const IMGDBL& a, double p);
double xpercentilgrad(const IMGDBL& a, double p);
double xpercentilgausdif(const IMGDBL& a, double p, double sigma);

// niter steps of onepassdifusao (autodif) or xonepassdifusao (xautodif) with K estimated by
// percentilgrad or xpercentilgrad from the current image before each step. The result starts
// as a zero image of a's size (default centre, outside value 0).
IMGDBL autodif(IMGDBL a, int niter, double p, char mode, double dt);
IMGDBL xautodif(IMGDBL a, int niter, double p, char mode, double dt);

#pragma GCC visibility pop
