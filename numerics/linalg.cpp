// LU decomposition with partial pivoting and implicit row scaling, the solvers built on it,
// and Gauss-Jordan elimination with full pivoting.
#include "numerics/linalg.h"

#include <cmath>
#include <utility>

#include "foundation/constants.h"
#include "foundation/erro.h"

namespace {

// Indexes inside the loop: a matrix without columns may have no block at all.
void swap_rows(MATRIZ<double>& a, int r1, int r2, int ncols) {
  const int nc = a.nc();
  for (int k = 0; k < ncols; k++) std::swap(a.data[r1 * nc + k], a.data[r2 * nc + k]);
}

}  // namespace

void ludcmp(MATRIZ<double>& a, VETOR<int>& indx, double& d) {
  if (a.nl() != a.nc()) erro("Erro: Matriz a nao-quadrada em LUDCMP", "");
  const int n = a.nl();
  double* A = a.data;
  indx.resize(n);
  d = 1.0;

  VETOR<double> vv(n);
  for (int i = 0; i < n; i++) {
    double big = 0.0;
    for (int j = 0; j < n; j++)
      if (std::fabs(A[i * n + j]) > big) big = std::fabs(A[i * n + j]);
    if (big == 0.0) erro("Erro: Singular matrix in routine LUDCMP", "");
    vv.data[i] = 1.0 / big;
  }

  for (int j = 0; j < n; j++) {
    for (int i = 0; i < j; i++) {
      double sum = A[i * n + j];
      for (int k = 0; k < i; k++) sum -= A[i * n + k] * A[k * n + j];
      A[i * n + j] = sum;
    }
    double big = 0.0;
    int imax = j;  // kept when no row qualifies (entries that are not numbers)
    for (int i = j; i < n; i++) {
      double sum = A[i * n + j];
      for (int k = 0; k < j; k++) sum -= A[i * n + k] * A[k * n + j];
      A[i * n + j] = sum;
      double dum = vv.data[i] * std::fabs(sum);
      if (dum >= big) {
        big = dum;
        imax = i;
      }
    }
    if (j != imax) {
      swap_rows(a, imax, j, n);
      d = -d;
      vv.data[imax] = vv.data[j];
    }
    indx.data[j] = imax;
    if (A[j * n + j] == 0.0) A[j * n + j] = epsilon;
    double dum = 1.0 / A[j * n + j];
    for (int i = j + 1; i < n; i++) A[i * n + j] *= dum;
  }
}

void lubksb(MATRIZ<double>& a, VETOR<int>& indx, VETOR<double>& b) {
  if (a.nl() != a.nc()) erro("Erro: Matriz a nao-quadrada em LUDCMP", "");
  const int n = a.nl();
  const double* A = a.data;
  // The record and b go through their checked access: they may be shorter than n.
  int first = -1;
  for (int i = 0; i < n; i++) {
    int r = indx(i);
    double sum = b(r);
    b(r) = b(i);
    if (first != -1)
      for (int j = first; j < i; j++) sum -= A[i * n + j] * b(j);
    else if (sum != 0.0)
      first = i;
    b(i) = sum;
  }
  for (int i = n - 1; i >= 0; i--) {
    double sum = b(i);
    for (int j = i + 1; j < n; j++) sum -= A[i * n + j] * b(j);
    b(i) = sum / A[i * n + i];
  }
}

MATRIZ<double> lineq(const MATRIZ<double>& a, const MATRIZ<double>& b) {
  if (a.nl() != a.nc()) erro("Erro: Matriz a nao-quadrada em lineq", "");
  if (b.nl() != a.nl()) erro("Erro: Dimensao do matriz b", "");
  const int n = a.nl(), m = b.nc();
  MATRIZ<double> lu(a);
  VETOR<int> indx;
  double d;
  ludcmp(lu, indx, d);
  MATRIZ<double> r(b.nl, b.nc);
  VETOR<double> col(n);
  for (int c = 0; c < m; c++) {
    for (int i = 0; i < n; i++) col.data[i] = b.data[i * m + c];
    lubksb(lu, indx, col);
    for (int i = 0; i < n; i++) r.data[i * m + c] = col.data[i];
  }
  return r;
}

VETOR<double> lineq(const MATRIZ<double>& a, const VETOR<double>& b) {
  if (a.nl() != a.nc()) erro("Erro: Matriz a nao-quadrada em lineq", "");
  if (b.n() != a.nl()) erro("Erro: Dimensao do vetor b", "");
  MATRIZ<double> lu(a);
  VETOR<int> indx;
  double d;
  ludcmp(lu, indx, d);
  VETOR<double> x(b);
  lubksb(lu, indx, x);
  return x;
}

double det(const MATRIZ<double>& a) {
  if (a.nl() != a.nc()) erro("Erro: Matriz a nao-quadrada em det", "");
  const int n = a.nl();
  MATRIZ<double> lu(a);
  VETOR<int> indx;
  double d;
  ludcmp(lu, indx, d);
  for (int i = 0; i < n; i++) d *= lu.data[i * n + i];
  return d;
}

MATRIZ<double> inv(const MATRIZ<double>& a) {
  if (a.nl() != a.nc()) erro("Erro: Matriz a nao-quadrada em inv", "");
  const int n = a.nl();
  MATRIZ<double> lu(a);
  VETOR<int> indx;
  double d;
  ludcmp(lu, indx, d);
  MATRIZ<double> r(n, n);
  VETOR<double> col(n);
  for (int j = 0; j < n; j++) {
    col.fill(0.0);
    col.data[j] = 1.0;
    lubksb(lu, indx, col);
    for (int i = 0; i < n; i++) r.data[i * n + j] = col.data[i];
  }
  return r;
}

int basicgaussjordan(MATRIZ<double>& a, MATRIZ<double>& b) {
  if (a.nl() != a.nc()) return 1;
  const int n = a.nl(), m = b.nc();
  if (b.nl() != n && m != 0) return 2;
  double* A = a.data;
  double* B = b.data;
  VETOR<int> indxc(n), indxr(n), ipiv(n, 0);
  for (int i = 0; i < n; i++) {
    // Each step chooses its own pivot; a step without a candidate has none.
    int irow = -1, icol = -1;
    double big = 0.0;
    for (int j = 0; j < n; j++) {
      if (ipiv.data[j] == 1) continue;
      for (int k = 0; k < n; k++) {
        if (ipiv.data[k] == 0) {
          if (std::fabs(A[j * n + k]) >= big) {
            big = std::fabs(A[j * n + k]);
            irow = j;
            icol = k;
          }
        } else if (ipiv.data[k] > 1) {
          return 3;
        }
      }
    }
    if (irow == -1 || icol == -1) erro("Erro inesperado", "");
    ++ipiv.data[icol];
    if (irow != icol) {
      swap_rows(a, irow, icol, n);
      swap_rows(b, irow, icol, m);
    }
    indxr.data[i] = irow;
    indxc.data[i] = icol;
    const int c = icol;
    if (A[c * n + c] == 0.0) return 4;
    double pivinv = 1.0 / A[c * n + c];
    A[c * n + c] = 1.0;
    for (int x = 0; x < n; x++) A[c * n + x] *= pivinv;
    for (int x = 0; x < m; x++) B[c * m + x] *= pivinv;
    for (int l = 0; l < n; l++) {
      if (l == c) continue;
      double dum = A[l * n + c];
      A[l * n + c] = 0.0;
      for (int x = 0; x < n; x++) A[l * n + x] -= A[c * n + x] * dum;
      for (int x = 0; x < m; x++) B[l * m + x] -= B[c * m + x] * dum;
    }
  }
  for (int l = n - 1; l >= 0; l--) {
    int r = indxr.data[l], c = indxc.data[l];
    if (r != c)
      for (int k = 0; k < n; k++) std::swap(A[k * n + r], A[k * n + c]);
  }
  return 0;
}

void gaussj(MATRIZ<double>& a, MATRIZ<double>& b) {
  if (basicgaussjordan(a, b) != 0) erro("Error in gaussj", "");
}
