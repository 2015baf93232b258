// Gaussian-derivative gradients: derivative-of-Gaussian kernels (optionally rotated), the x and
// y derivatives of an image and the gradient magnitude.
//
// x points toward higher column indices and y toward lower row indices (upward). Kernels are
// square, side 2r+1 with r = trunc(5 sigma), centred on (r, r), outside value 0, and rescaled
// so that at theta = 0 their positive lobe sums to 0.39894228: a response approximates sigma
// times the derivative of the smoothed image.
#pragma once

#include "foundation/matriz.h"
#include "images/images.h"

#pragma GCC visibility push(default)

namespace GradienteD {
// Multiply every value by 0.39894228 / S, S the sum of the columns left of the centre column
// (normalizex) or of the rows below the centre row (normalizey). No test for a zero sum.
void normalizex(IMGDBL& k);
void normalizey(IMGDBL& k);
// (x, y) := (x, y) m for a 2 x 2 matrix m; any other size is fatal.
void multiplica(double& x, double& y, const MATRIZ<double>& m);
}  // namespace GradienteD

namespace GradienteF {
void normalizex(IMGFLT& k);
void normalizey(IMGFLT& k);
void multiplica(double& x, double& y, const MATRIZ<double>& m);
}  // namespace GradienteF

// Derivative kernels along (cos theta, -sin theta) (x) and (sin theta, cos theta) (y); theta in
// radians. sigma must be above 0. Below 0.2 the kernel is the single tap 0.
IMGDBL IMGDBLgrxnormal(double sigma, double theta);
IMGDBL IMGDBLgrynormal(double sigma, double theta);
IMGFLT IMGFLTgrxnormal(double sigma, double theta);
IMGFLT IMGFLTgrynormal(double sigma, double theta);

// Convolution with the kernels, edges continued (mode 'x'). Fresh results of a's size.
IMGDBL gradientex(const IMGDBL& a, double sigma, double theta);
IMGDBL gradientey(const IMGDBL& a, double sigma, double theta);
// A negative (or NaN) theta takes the separable path: Gaussian smoothing, then sigma/2 times
// the central difference.
IMGFLT gradientex(const IMGFLT& a, double sigma, double theta);
IMGFLT gradientey(const IMGFLT& a, double sigma, double theta);

// sqrt(gx^2 + gy^2) in double; the IMGFLT overload takes the separable path as above.
IMGDBL modgrad(const IMGDBL& a, double sigma, double theta);
IMGFLT modgrad(const IMGFLT& a, double sigma, double theta);

#pragma GCC visibility pop
