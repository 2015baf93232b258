// Normal densities in one and two dimensions, their derivatives, and the polar form.
#pragma once

#include <complex>

#pragma GCC visibility push(default)

double normal(double x, double s);
double dxnormal(double x, double s);
double dxxnormal(double x, double s);
double binormal(double r, double s);
double grxbinormal(double x, double y, double s);
double grybinormal(double x, double y, double s);
double lapnormal(double r, double s);
// The same densities of the squared argument q = x*x or r*r.
double normalsqr(double q, double s);
double binormalsqr(double q, double s);
double lapbinormalsqr(double q, double s);

// (modulus, angle) from rectangular form, and back.
std::complex<double> ret2pol(std::complex<double> z);
std::complex<double> pol2ret(std::complex<double> p);

#pragma GCC visibility pop
