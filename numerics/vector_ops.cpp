// Sums, dot product, mean removal, unit sum, clipped standardisation and p-norms of vectors.
#include "numerics/vector_ops.h"

#include <cmath>

#include "foundation/constants.h"
#include "foundation/erro.h"
#include "numerics/kth.h"

namespace {

// Sum of the elements over their count (0/0 for an empty vector).
double mean(const VETOR<double>& v) {
  const int n = v.n();
  double s = 0;
  for (int i = 0; i < n; i++) s += v.data[i];
  return s / n;
}

enum class Op { add, sub };

VETOR<double> elementwise(const VETOR<double>& a, const VETOR<double>& b, Op op) {
  VETOR<double> r;
  if (a.n() != b.n()) {
    erro(op == Op::add ? "operator+: Os vetores nao tem o mesmo tamanho"
                       : "operator-: Os vetores nao tem o mesmo tamanho",
         "");
  }
  r.resize(a.n());
  const int n = a.n();
  if (op == Op::add) {
    for (int i = 0; i < n; i++) r.data[i] = a.data[i] + b.data[i];
  } else {
    for (int i = 0; i < n; i++) r.data[i] = a.data[i] - b.data[i];
  }
  return r;
}

}  // namespace

VETOR<double> operator+(double x, const VETOR<double>& v) {
  VETOR<double> r(v.n());
  for (int i = 0; i < v.n(); i++) r.data[i] = x + v.data[i];
  return r;
}

VETOR<double> operator+(const VETOR<double>& a, const VETOR<double>& b) {
  return elementwise(a, b, Op::add);
}

VETOR<double> operator-(const VETOR<double>& a, const VETOR<double>& b) {
  return elementwise(a, b, Op::sub);
}

double operator*(const VETOR<double>& a, const VETOR<double>& b) {
  if (a.n() != b.n()) erro("Erro operator*: os vetores nao tem mesmo tamanho", "");
  double s = 0;
  for (int i = 0; i < a.n(); i++) s += a.data[i] * b.data[i];
  return s;
}

double dcrejectcommedia(VETOR<double>& v) {
  const double m = mean(v);
  for (int i = 0; i < v.n(); i++) v.data[i] -= m;
  return m;
}

VETOR<double> dcreject(VETOR<double> v) {
  dcrejectcommedia(v);
  return v;
}

void SomatoriaUm(VETOR<double>& v) {
  double s = 0;
  for (int i = 0; i < v.n(); i++) s += std::fabs(v.data[i]);
  for (int i = 0; i < v.n(); i++) v.data[i] /= s;
}

VETOR<double> normalizamd(VETOR<double> v, double k) {
  double m, d;
  mediadesvio<double>(v, m, d, -1);
  const double s = k * d + epsilon;
  for (int i = 0; i < v.n(); i++) {
    double t = (v.data[i] - m + epsilon) / s;
    if (t < -1) {
      t = -1;
    } else if (t > 1) {
      t = 1;
    }
    v.data[i] = t;
  }
  return v;
}

double comprimento(const VETOR<double>& v, double p) {
  const int n = v.n();
  const double* a = v.data;
  double s = 0;
  if (p == 2) {
    for (int i = 0; i < n; i++) s += a[i] * a[i];
    return std::sqrt(s);
  }
  if (p == infinito) {
    for (int i = 0; i < n; i++) {
      if (std::fabs(a[i]) > s) s = std::fabs(a[i]);
    }
    return s;
  }
  if (p > 1) {
    for (int i = 0; i < n; i++) s += std::pow(std::fabs(a[i]), p);
    return std::pow(s, 1.0 / p);
  }
  if (p == 1) {
    for (int i = 0; i < n; i++) s += std::fabs(a[i]);
    return s;
  }
  erro("Erro: p<1.0", "");
}

double desvio_seguro(const VETOR<double>& v) {
  const int n = v.n();
  if (n <= 1) erro("Erro desvio_seguro: Vetor com 1 elemento", "");
  double s = 0;
  for (int i = 0; i < n; i++) s += v.data[i] * v.data[i];
  return std::sqrt(s / (n - 1));
}
