// Elementary operations on dense real matrices and their products with vectors.
#pragma once

#include "foundation/matriz.h"
#include "foundation/vetor.h"

#pragma GCC visibility push(default)

MATRIZ<double> trans(const MATRIZ<double>& a);
MATRIZ<double> ident(int n);
MATRIZ<double> operator*(double s, const MATRIZ<double>& a);
MATRIZ<double> operator-(const MATRIZ<double>& a);
MATRIZ<double> operator+(const MATRIZ<double>& a, const MATRIZ<double>& b);
MATRIZ<double> operator-(const MATRIZ<double>& a, const MATRIZ<double>& b);
MATRIZ<double> operator*(const MATRIZ<double>& a, const MATRIZ<double>& b);
VETOR<double> operator*(const MATRIZ<double>& a, const VETOR<double>& x);
VETOR<double> operator*(const VETOR<double>& x, const MATRIZ<double>& a);
double trace(const MATRIZ<double>& a);
// Entrywise p-norm of all elements in storage order; p = infinito gives the largest magnitude.
double comprimento(const MATRIZ<double>& a, double p);

#pragma GCC visibility pop
