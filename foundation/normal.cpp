#include "foundation/normal.h"

#include <cmath>

#include "foundation/math_internal.h"

namespace {
const double raiz2pi = 2.5066282746310002;
const double doispi = 6.283185307179586;
using vistelmo::kPi;

// exp(-q / (2 s^2)), the exponent formed as q / (s^2 * -2).
double gauss_exp(double q, double s) { return std::exp(q / (s * s * -2.0)); }
// exp(-q / (2 s^2)), the exponent formed as -q / (2 s^2).
double deriv_exp(double q, double s) { return std::exp(-q / (2.0 * s * s)); }
}  // namespace

double normal(double x, double s) {
  double f = 1.0 / (s * raiz2pi);
  return f * gauss_exp(x * x, s);
}

double dxnormal(double x, double s) {
  double f = -x / (s * s * s * raiz2pi);
  return f * deriv_exp(x * x, s);
}

double dxxnormal(double x, double s) {
  double f = (x * x - s * s) / (s * s * s * s * s * raiz2pi);
  return f * deriv_exp(x * x, s);
}

double binormal(double r, double s) {
  double f = 1.0 / (doispi * s * s);
  return f * gauss_exp(r * r, s);
}

double grxbinormal(double x, double y, double s) {
  double f = -x / (doispi * s * s * s * s);
  return f * deriv_exp(x * x + y * y, s);
}

double grybinormal(double x, double y, double s) {
  double f = -y / (doispi * s * s * s * s);
  return f * deriv_exp(x * x + y * y, s);
}

double lapbinormalsqr(double q, double s) {
  double f = q / (doispi * s * s * s * s * s * s) - 1.0 / (kPi * s * s * s * s);
  return f * deriv_exp(q, s);
}

double lapnormal(double r, double s) { return lapbinormalsqr(r * r, s); }

double normalsqr(double q, double s) {
  double f = 1.0 / (s * raiz2pi);
  return f * gauss_exp(q, s);
}

double binormalsqr(double q, double s) {
  double f = 1.0 / (doispi * s * s);
  return f * gauss_exp(q, s);
}

std::complex<double> ret2pol(std::complex<double> z) {
  return {std::abs(z), std::atan2(z.imag(), z.real())};
}

std::complex<double> pol2ret(std::complex<double> p) {
  double r = p.real();
  double t = p.imag();
  return {r * std::cos(t), r * std::sin(t)};
}
