// Uniform B-spline curves over control points, their derivatives, and finite differences of a
// closed polygon.
//
// The parameter t runs over the whole curve in [0, 1]. Mode 'n' clamps t to [0, 1]; mode 'r'
// wraps it into [0, 1) (the control-point indices are not wrapped). Degree 1 needs at least 2
// control points, degrees 2 and 3 at least 4.
#pragma once

#include "foundation/points.h"
#include "foundation/vetor.h"

#pragma GCC visibility push(default)

// The cubic kernel and its first and second derivatives.
double L(double x);
double L1(double x);
double L2(double x);
// Kernel of degree 1, 2 or 3.
double Lg(double x, int grau);

// Curve point of the given degree.
PONTO2 bsplineg(const VETOR<PONTO2>& v, double t, int grau, char modo);
// Cubic curve point and its first and second derivatives with respect to t.
PONTO2 bspline(const VETOR<PONTO2>& v, double t, char modo);
PONTO2 bspline1(const VETOR<PONTO2>& v, double t, char modo);
PONTO2 bspline2(const VETOR<PONTO2>& v, double t, char modo);

// Central first differences and second differences of a closed polygon (indices wrap).
VETOR<PONTO2> derivada1(const VETOR<PONTO2>& v);
VETOR<PONTO2> derivada2(const VETOR<PONTO2>& v);

#pragma GCC visibility pop
