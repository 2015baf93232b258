// Dense linear algebra on MATRIZ<double>: symmetric eigen-decomposition (cyclic Jacobi),
// LU decomposition with partial pivoting, linear systems, determinant, inverse and
// Gauss-Jordan elimination with full pivoting.
#pragma once

#include "foundation/matriz.h"
#include "foundation/vetor.h"

#pragma GCC visibility push(default)

// Eigenvalues d (unsorted) and unit eigenvectors in the columns of v of the symmetric a.
// a's strict upper triangle is destroyed; nrot receives the number of rotations.
void jacobi(MATRIZ<double>& a, VETOR<double>& d, MATRIZ<double>& v, int& nrot);
// Sorts d into descending order, moving the columns of v along.
void eigsrt(VETOR<double>& d, MATRIZ<double>& v);
// jacobi on a copy of a, then eigsrt.
void eig(MATRIZ<double> a, VETOR<double>& d, MATRIZ<double>& v);

// In place LU factors of the row-permuted a; indx[j] is the row exchanged with j at step j,
// d is +1 or -1 for an even or odd number of exchanges.
void ludcmp(MATRIZ<double>& a, VETOR<int>& indx, double& d);
// Solves in place for b with the factors and the record from ludcmp.
void lubksb(MATRIZ<double>& a, VETOR<int>& indx, VETOR<double>& b);
// X with a X = b, one column per right-hand side.
MATRIZ<double> lineq(const MATRIZ<double>& a, const MATRIZ<double>& b);
VETOR<double> lineq(const MATRIZ<double>& a, const VETOR<double>& b);
double det(const MATRIZ<double>& a);
MATRIZ<double> inv(const MATRIZ<double>& a);

// Replaces a by its inverse and b by the solutions. Returns 0 on success, 1 when a is not
// square, 2 when b has columns but not a's rows, 3 and 4 when a is singular.
int basicgaussjordan(MATRIZ<double>& a, MATRIZ<double>& b);
// basicgaussjordan, fatal on any failure.
void gaussj(MATRIZ<double>& a, MATRIZ<double>& b);

#pragma GCC visibility pop
