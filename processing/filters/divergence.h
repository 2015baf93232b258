// Divergence of a vector field given as two images, with a sampled derivative-of-Gaussian
// kernel along the rows (x component) and down the columns (y component, positive upward).
#pragma once

#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

namespace DivergenteD {
// 2r+1 taps of the normal density's derivative at offsets -r..r, r = trunc(5 sigma), scaled so
// that the r taps left of the centre sum to 0.39894228. sigma must be above 0.3334.
VETOR<double> normal1(double sigma);
// The same scaling in place: every element times 0.39894228 / (sum of elements 0..n/2-1).
// A vector of fewer than two elements has no left half and is left as it is.
void normalize1(VETOR<double>& v);
}  // namespace DivergenteD

namespace DivergenteF {
VETOR<double> normal1(double sigma);
void normalize1(VETOR<double>& v);
}  // namespace DivergenteF

// ConvH(entx, k, 'x') - ConvV(enty, k, 'x') with k = normal1(sigma); the two images must have
// one size. Fresh result (default centre, outside value 0).
IMGDBL divergente(const IMGDBL& entx, const IMGDBL& enty, double sigma);
IMGFLT divergente(const IMGFLT& entx, const IMGFLT& enty, double sigma);

#pragma GCC visibility pop
