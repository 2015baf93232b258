// Symmetric eigen-decomposition by the cyclic Jacobi method with threshold sweeps.
#include <cmath>
#include <utility>

#include "foundation/erro.h"
#include "numerics/linalg.h"

namespace {

const int max_sweeps = 50;

// (x, y) -> (x - s (y + x tau), y + s (x - y tau)), both read before either is written.
inline void rotate(double& x, double& y, double s, double tau) {
  double g = x, h = y;
  x = g - s * (h + g * tau);
  y = h + s * (g - h * tau);
}

}  // namespace

void jacobi(MATRIZ<double>& a, VETOR<double>& d, MATRIZ<double>& v, int& nrot) {
  if (a.nl() != a.nc()) erro("Erro: Matriz a nao-quadrada", "");
  const int n = a.nl();
  double* A = a.data;
  for (int i = 1; i < n; i++)
    for (int j = 0; j < i; j++)
      if (!(A[i * n + j] == A[j * n + i])) erro("Erro: Matriz a nao-simetrica", "");

  d.resize(n);
  d.centro = 0;
  v.resize(n, n);
  v.fill(0.0);
  double* V = v.data;
  for (int i = 0; i < n; i++) V[i * n + i] = 1.0;
  VETOR<double> b(n), z(n, 0.0);
  for (int i = 0; i < n; i++) b.data[i] = d.data[i] = A[i * n + i];
  nrot = 0;

  for (int sweep = 0; sweep < max_sweeps; sweep++) {
    double sm = 0.0;
    for (int p = 0; p < n - 1; p++)
      for (int q = p + 1; q < n; q++) sm += std::fabs(A[p * n + q]);
    if (sm == 0.0) return;
    const double tresh = sweep < 3 ? 0.2 * sm / (n * n) : 0.0;

    for (int p = 0; p < n - 1; p++)
      for (int q = p + 1; q < n; q++) {
        double& apq = A[p * n + q];
        double g = 100.0 * std::fabs(apq);
        double dp = std::fabs(d.data[p]), dq = std::fabs(d.data[q]);
        if (sweep >= 4 && dp + g == dp && dq + g == dq) {
          apq = 0.0;
        } else if (std::fabs(apq) > tresh) {
          double h = d.data[q] - d.data[p];
          double t;
          if (std::fabs(h) + g == std::fabs(h)) {
            t = apq / h;
          } else {
            double theta = 0.5 * h / apq;
            t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
            if (theta < 0.0) t = -t;
          }
          double c = 1.0 / std::sqrt(1 + t * t);
          double s = t * c;
          double tau = s / (1.0 + c);
          h = t * apq;
          z.data[p] -= h;
          z.data[q] += h;
          d.data[p] -= h;
          d.data[q] += h;
          apq = 0.0;
          for (int j = 0; j < p; j++) rotate(A[j * n + p], A[j * n + q], s, tau);
          for (int j = p + 1; j < q; j++) rotate(A[p * n + j], A[j * n + q], s, tau);
          for (int j = q + 1; j < n; j++) rotate(A[p * n + j], A[q * n + j], s, tau);
          for (int j = 0; j < n; j++) rotate(V[j * n + p], V[j * n + q], s, tau);
          ++nrot;
        }
      }

    for (int i = 0; i < n; i++) {
      b.data[i] += z.data[i];
      d.data[i] = b.data[i];
      z.data[i] = 0.0;
    }
  }
  erro("Erro: Too many iterations in routine JACOBI", "");
}

void eigsrt(VETOR<double>& d, MATRIZ<double>& v) {
  const int n = d.n();
  if (v.nl() != n || v.nc() != n) erro("Erro: dimensoes invalidas", "");
  double* V = v.data;
  for (int i = 0; i < n - 1; i++) {
    int k = i;
    double p = d.data[i];
    for (int j = i + 1; j < n; j++)
      if (d.data[j] >= p) {
        k = j;
        p = d.data[j];
      }
    if (k != i) {
      d.data[k] = d.data[i];
      d.data[i] = p;
      for (int j = 0; j < n; j++) std::swap(V[j * n + i], V[j * n + k]);
    }
  }
}

void eig(MATRIZ<double> a, VETOR<double>& d, MATRIZ<double>& v) {
  int nrot;
  jacobi(a, d, v, nrot);
  eigsrt(d, v);
}
