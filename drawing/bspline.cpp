// Uniform B-splines.
#include "drawing/bspline.h"

#include <cmath>
#include <cstdint>

#include "foundation/erro.h"

double L(double x) {
  const double a = std::fabs(x);
  if (a >= 2) return 0;
  if (a >= 1) {
    const double b = 2 - a;
    return b * b * b / 6;
  }
  return (4 - 6 * a * a + 3 * a * a * a) / 6;
}

double L1(double x) {
  if (x >= 2) return 0;
  if (x >= 1) return -(2 - x) * (2 - x) / 2;
  if (x >= 0) return 1.5 * x * x - 2 * x;
  if (x >= -1) return -1.5 * x * x - 2 * x;
  if (x >= -2) return (2 + x) * (2 + x) / 2;
  return 0;
}

double L2(double x) {
  if (x >= 2) return 0;
  if (x >= 1) return 2 - x;
  if (x >= 0) return 3 * x - 2;
  if (x >= -1) return -3 * x - 2;
  if (x >= -2) return 2 + x;
  return 0;
}

namespace {

[[noreturn]] void grau_invalido() { erro("Erro: bs grau deve ser 1, 2 ou 3", ""); }

double kernel_grau(double x, int grau) {
  const double a = std::fabs(x);
  if (grau == 2) {
    if (a >= 1.5) return 0;
    if (a >= 0.5) return 0.5 * a * a - 1.5 * a + 1.125;
    return 0.75 - a * a;
  }
  if (grau == 1) return a >= 1 ? 0 : 1 - a;
  if (grau == 3) return L(x);
  grau_invalido();
}

// t after the mode: 'n' clamps to [0, 1], 'r' wraps into [0, 1).
double parametro(double t, char modo) {
  if (modo == 'n') {
    if (t > 1) t = 1;
    if (t < 0) t = 0;
    return t;
  }
  if (modo == 'r') {
    double f = std::fmod(t, 1.0);
    if (f < 0) f += 1;
    return f;
  }
  erro("Erro: modo invalido", "");
}

// Sum of kernel(s - i) * v(i) over the span that holds t; h is the half-width of the kernel.
template <class Kernel>
PONTO2 soma(const VETOR<PONTO2>& v, double t, int h, const Kernel& kernel) {
  const int n = v.n();
  const double s = h + (n - 1 - 2 * h) * t;
  const int limite = n - 2 - h;
  const double fk = std::floor(s);
  const int k = fk < limite ? static_cast<int>(fk) : limite;  // t = 1 ends the last span
  PONTO2 r(0, 0);
  for (int i = k - h; i <= k + h + 1; i++) {
    const double w = kernel(s - i);
    const PONTO2& p = v(i);
    r.x += w * p.x;
    r.y += w * p.y;
  }
  return r;
}

}  // namespace

double Lg(double x, int grau) { return kernel_grau(x, grau); }

PONTO2 bsplineg(const VETOR<PONTO2>& v, double t, int grau, char modo) {
  t = parametro(t, modo);
  if (grau < 1 || grau > 3) grau_invalido();
  return soma(v, t, grau / 2, [grau](double x) { return kernel_grau(x, grau); });
}

PONTO2 bspline(const VETOR<PONTO2>& v, double t, char modo) {
  return soma(v, parametro(t, modo), 1, L);
}

PONTO2 bspline1(const VETOR<PONTO2>& v, double t, char modo) {
  PONTO2 r = soma(v, parametro(t, modo), 1, L1);
  const double d = v.n() - 3;
  r.x *= d;
  r.y *= d;
  return r;
}

PONTO2 bspline2(const VETOR<PONTO2>& v, double t, char modo) {
  PONTO2 r = soma(v, parametro(t, modo), 1, L2);
  const int64_t m = v.n() - 3;
  const double d = static_cast<double>(m * m);
  r.x *= d;
  r.y *= d;
  return r;
}

namespace {

template <class Diff>
VETOR<PONTO2> diferencas(const VETOR<PONTO2>& v, const Diff& diff) {
  const int n = v.n();
  VETOR<PONTO2> r(n);
  for (int i = 0; i < n; i++) {
    const PONTO2& a = v.data[i == 0 ? n - 1 : i - 1];
    const PONTO2& b = v.data[i];
    const PONTO2& c = v.data[i == n - 1 ? 0 : i + 1];
    r.data[i] = diff(a, b, c);
  }
  return r;
}

}  // namespace

VETOR<PONTO2> derivada1(const VETOR<PONTO2>& v) {
  return diferencas(v, [](const PONTO2& a, const PONTO2&, const PONTO2& c) {
    return PONTO2(0.5 * (c.x - a.x), 0.5 * (c.y - a.y));
  });
}

VETOR<PONTO2> derivada2(const VETOR<PONTO2>& v) {
  return diferencas(v, [](const PONTO2& a, const PONTO2& b, const PONTO2& c) {
    return PONTO2(c.x - 2 * b.x + a.x, c.y - 2 * b.y + a.y);
  });
}
