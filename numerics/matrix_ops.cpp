#include "numerics/matrix_ops.h"

#include <cmath>

#include "foundation/constants.h"
#include "foundation/erro.h"

namespace {

// r[k] = f(a[k]) over every element, in storage order.
template <class F>
MATRIZ<double> map1(const MATRIZ<double>& a, F f) {
  MATRIZ<double> r(a.nl, a.nc);
  for (int k = 0; k < a.n(); k++) r.data[k] = f(a.data[k]);
  return r;
}

// r[k] = f(a[k], b[k]) for two matrices of one shape, else fatal with msg.
template <class F>
MATRIZ<double> map2(const MATRIZ<double>& a, const MATRIZ<double>& b, const char* msg, F f) {
  if (b.nl() != a.nl() || b.nc() != a.nc()) erro(msg, "");
  MATRIZ<double> r(a.nl, a.nc);
  for (int k = 0; k < a.n(); k++) r.data[k] = f(a.data[k], b.data[k]);
  return r;
}

}  // namespace

MATRIZ<double> trans(const MATRIZ<double>& a) {
  const int m = a.nl(), k = a.nc();
  MATRIZ<double> r(k, m);
  for (int i = 0; i < m; i++)
    for (int j = 0; j < k; j++) r.data[j * m + i] = a.data[i * k + j];
  return r;
}

MATRIZ<double> ident(int n) {
  MATRIZ<double> r(n, n, 0.0);
  for (int i = 0; i < n; i++) r.data[i * n + i] = 1.0;
  return r;
}

MATRIZ<double> operator*(double s, const MATRIZ<double>& a) {
  return map1(a, [s](double x) { return s * x; });
}

MATRIZ<double> operator-(const MATRIZ<double>& a) {
  return map1(a, [](double x) { return -x; });
}

MATRIZ<double> operator+(const MATRIZ<double>& a, const MATRIZ<double>& b) {
  return map2(a, b, "operator+: As matrizes nao tem o mesmo tamanho",
              [](double x, double y) { return x + y; });
}

MATRIZ<double> operator-(const MATRIZ<double>& a, const MATRIZ<double>& b) {
  return map2(a, b, "operator-: As matrizes nao tem o mesmo tamanho",
              [](double x, double y) { return x - y; });
}

MATRIZ<double> operator*(const MATRIZ<double>& a, const MATRIZ<double>& b) {
  if (a.nc() != b.nl()) erro("operator*: Numero de colunas != numero de linhas", "");
  const int m = a.nl(), k = a.nc(), p = b.nc();
  MATRIZ<double> r(m, p);
  for (int i = 0; i < m; i++)
    for (int j = 0; j < p; j++) {
      double s = 0.0;
      for (int t = 0; t < k; t++) s += a.data[i * k + t] * b.data[t * p + j];
      r.data[i * p + j] = s;
    }
  return r;
}

VETOR<double> operator*(const MATRIZ<double>& a, const VETOR<double>& x) {
  if (a.nc() != x.n()) erro("operator*: Numero de colunas != numero de linhas", "");
  const int m = a.nl(), k = a.nc();
  VETOR<double> r(m);
  for (int i = 0; i < m; i++) {
    double s = 0.0;
    for (int t = 0; t < k; t++) s += a.data[i * k + t] * x.data[t];
    r.data[i] = s;
  }
  return r;
}

VETOR<double> operator*(const VETOR<double>& x, const MATRIZ<double>& a) {
  if (x.n() != a.nl()) erro("operator*: Numero de elementos != numero de linhas", "");
  const int m = a.nl(), k = a.nc();
  VETOR<double> r(k);
  for (int j = 0; j < k; j++) {
    double s = 0.0;
    for (int i = 0; i < m; i++) s += x.data[i] * a.data[i * k + j];
    r.data[j] = s;
  }
  return r;
}

double trace(const MATRIZ<double>& a) {
  if (a.nl() != a.nc()) erro("Erro: Matriz nao-quadrada", "");
  const int n = a.nl();
  double s = 0.0;
  for (int i = 0; i < n; i++) s += a.data[i * n + i];
  return s;
}

double comprimento(const MATRIZ<double>& a, double p) {
  const int n = a.n();
  const double* x = a.data;
  double s = 0.0;
  if (p == 2.0) {
    for (int i = 0; i < n; i++) s += x[i] * x[i];
    return std::sqrt(s);
  }
  if (p == infinito) {
    for (int i = 0; i < n; i++)
      if (std::fabs(x[i]) > s) s = std::fabs(x[i]);
    return s;
  }
  if (p > 1.0) {
    for (int i = 0; i < n; i++) s += std::pow(std::fabs(x[i]), p);
    return std::pow(s, 1.0 / p);
  }
  if (p == 1.0) {
    for (int i = 0; i < n; i++) s += std::fabs(x[i]);
    return s;
  }
  erro("Erro: p<1.0", "");
}
