// Correlation, regression and structural similarity of vectors.
#include <cmath>

#include "foundation/constants.h"
#include "foundation/erro.h"
#include "numerics/vector_ops.h"

namespace {

// Stabiliser of the three similarity terms.
const double kSsim = 1e-8;

}  // namespace

double coefcorr_seguro(VETOR<double> x, VETOR<double> y, double lim, double fallback) {
  if (x.n() != y.n()) erro("Erro coeffcorr_seguro: Vetores com dimensoes diferentes", "");
  const int n = x.n();
  if (n <= 1) erro("Erro coeffcorr_seguro: Vetor com 1 elemento", "");
  dcrejectcommedia(y);
  dcrejectcommedia(x);
  const double sx = desvio_seguro(x);
  const double sy = desvio_seguro(y);
  if (sx <= lim) return fallback;
  if (sy <= lim) return fallback;
  return (x * y) / ((n - 1) * (sx * sy));
}

void coefcorr(VETOR<double> x, VETOR<double> y, double lim, double& r, double& slope,
              double& intercept) {
  const double mx = dcrejectcommedia(x);
  const double my = dcrejectcommedia(y);
  const double Syy = y * y;
  const double Sxx = x * x;
  fastcoefcorr(x, Sxx, y, Syy, lim, r, slope);
  intercept = mx - slope * my;
}

void fastcoefcorr(const VETOR<double>& x, double Sxx, const VETOR<double>& y, double Syy,
                  double lim, double& r, double& slope) {
  const double b = (x * y) * (1 / Syy);
  slope = b;
  if (lim >= std::fabs(b)) {
    r = 0;
  } else if (std::fabs(b) >= 1 / lim) {
    r = 0;
  } else {
    r = (Syy * b) / std::sqrt(Sxx * Syy);
  }
}

void regressao(VETOR<double> x, VETOR<double> y, double& a, double& b) {
  a = 1;
  b = 0;
  if (x.n() == 0 || y.n() == 0) return;
  const double my = dcrejectcommedia(y);
  const double mx = dcrejectcommedia(x);
  const double Sxx = x * x;
  if (!(Sxx > epsilon)) return;  // also when Sxx is not a number
  const double slope = (x * y) / Sxx;
  a = slope;
  b = my - slope * mx;
}

double ssimgry(VETOR<double> x, VETOR<double> y, double alpha, double beta, double gamma) {
  const double mx = dcrejectcommedia(x);
  const double my = dcrejectcommedia(y);
  const double Sxx = x * x;
  const double Syy = y * y;
  return ssimgry(x, Sxx, mx, y, Syy, my, alpha, beta, gamma);
}

double ssimgry(const VETOR<double>& x, double Sxx, double mx, const VETOR<double>& y, double Syy,
               double my, double alpha, double beta, double gamma) {
  const double K = kSsim;
  const double L = (2 * mx * my + K) / (mx * mx + my * my + K);
  const double C = (2 * std::sqrt(Sxx * Syy) + K) / (Sxx + Syy + K);
  const double P = x * y;
  if (P < 0) {
    const double S = (K - P) / (std::sqrt(Sxx * Syy) + K);
    return -(std::pow(L, alpha) * std::pow(C, beta) * std::pow(S, gamma));
  }
  const double S = (P + K) / (std::sqrt(Sxx * Syy) + K);
  return std::pow(L, alpha) * std::pow(C, beta) * std::pow(S, gamma);
}
