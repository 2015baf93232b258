// Arithmetic, statistics and similarity on VETOR<double>, and element-wise complex vectors.
#pragma once

#include <complex>

#include "foundation/vetor.h"

#pragma GCC visibility push(default)

typedef std::complex<double> CPXD;

// Element-wise sums and difference; the dot product.
VETOR<double> operator+(double x, const VETOR<double>& v);
VETOR<double> operator+(const VETOR<double>& a, const VETOR<double>& b);
VETOR<double> operator-(const VETOR<double>& a, const VETOR<double>& b);
double operator*(const VETOR<double>& a, const VETOR<double>& b);

// Subtracts the mean in place and returns it.
double dcrejectcommedia(VETOR<double>& v);
VETOR<double> dcreject(VETOR<double> v);
// Divides by the sum of absolute values, in place.
void SomatoriaUm(VETOR<double>& v);
// (v - mean + epsilon) / (k * deviation + epsilon), clipped to -1..1.
VETOR<double> normalizamd(VETOR<double> v, double k);
// The p-norm; p == infinito gives the maximum norm.
double comprimento(const VETOR<double>& v, double p);
// sqrt(sum of squares / (n-1)) of a vector already centred.
double desvio_seguro(const VETOR<double>& v);

// Pearson correlation, or fallback when either deviation is at most lim.
double coefcorr_seguro(VETOR<double> x, VETOR<double> y, double lim, double fallback);
// Correlation and the least-squares line x = slope*y + intercept.
void coefcorr(VETOR<double> x, VETOR<double> y, double lim, double& r, double& slope,
              double& intercept);
// The same on centred x and y with their sums of squares; r is 0 unless lim < |slope| < 1/lim.
void fastcoefcorr(const VETOR<double>& x, double Sxx, const VETOR<double>& y, double Syy,
                  double lim, double& r, double& slope);
// Least-squares line y = a*x + b; a = 1, b = 0 when x is degenerate.
void regressao(VETOR<double> x, VETOR<double> y, double& a, double& b);

// Structural similarity: luminance^alpha * contrast^beta * structure^gamma, signed by x.y.
double ssimgry(VETOR<double> x, VETOR<double> y, double alpha, double beta, double gamma);
double ssimgry(const VETOR<double>& x, double Sxx, double mx, const VETOR<double>& y, double Syy,
               double my, double alpha, double beta, double gamma);

// Element-wise complex vectors.
VETOR<CPXD> pol2ret(VETOR<CPXD> v);
VETOR<CPXD> ret2pol(VETOR<CPXD> v);
VETOR<CPXD> operator*(const VETOR<CPXD>& a, const VETOR<CPXD>& b);
VETOR<double> arg(const VETOR<CPXD>& v);
VETOR<double> abs(const VETOR<CPXD>& v);
VETOR<double> imag(const VETOR<CPXD>& v);
VETOR<double> real(const VETOR<CPXD>& v);
VETOR<CPXD> conj(const VETOR<CPXD>& v);

#pragma GCC visibility pop
