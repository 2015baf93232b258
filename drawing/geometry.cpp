// Plane and sphere geometry.
#include "drawing/geometry.h"

#include <cmath>
#include <cstdint>

#include "foundation/constants.h"
#include "foundation/erro.h"

namespace {

const double dois_pi = 6.283185307179586;

template <class T>
int sinal(T d) {
  return (d > 0) - (d < 0);
}

}  // namespace

int tsh(PONTOI2 a, PONTOI2 b, PONTOI2 c) {
  // Wider products: exact for every int input.
  const int64_t d = (int64_t{b.lin} - a.lin) * (int64_t{c.col} - a.col) -
                    (int64_t{b.col} - a.col) * (int64_t{c.lin} - a.lin);
  return sinal(d);
}

int tsh(PONTO2 a, PONTO2 b, PONTO2 c) {
  const double d = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
  if (std::fabs(d) < epsilon) return 0;
  return sinal(d);
}

int cruza(PONTOI2 p1, PONTOI2 p2, PONTOI2 p3, PONTOI2 p4) {
  const int t1 = tsh(p2, p1, p4), t2 = tsh(p2, p1, p3);
  if (t1 == 0 || t2 == 0) return -1;
  const int t3 = tsh(p3, p4, p1), t4 = tsh(p3, p4, p2);
  if (t3 == 0 || t4 == 0) return -1;
  return (t1 * t2 == -1 && t3 * t4 == -1) ? 1 : 0;
}

double pseudoangl1(PONTO2 p) {
  const double s = std::fabs(p.x) + std::fabs(p.y);
  double u = 0, v = 0;
  if (s > epsilon) {
    u = p.x / s;
    v = p.y / s;
  }
  if (u > 0 && v >= 0) return v;
  if (u <= 0 && v > 0) return 1 - u;
  if (u < 0 && v <= 0) return 2 - v;
  if (u >= 0 && v < 0) return 3 + u;
  return 0;
}

double pseudoangulo(PONTO2 p) {
  const double x = p.x, y = p.y;
  if (std::fabs(x) < epsilon && std::fabs(y) < epsilon) erro("Erro: Vetor nulo", "");
  if (std::fabs(x) > std::fabs(y)) {
    if (x > 0) {
      const double t = y / x;
      return t >= 0 ? t : 8 + t;
    }
    return 4 + y / x;
  }
  if (y > 0) return 2 - x / y;
  return 6 - x / y;
}

double arg(double x, double y) {
  const double a = std::atan2(y, x);
  return a < 0 ? a + dois_pi : a;
}

PONTO3 esf2ret(PONTO3 p) {
  const double r = p.x, phi = p.y, theta = p.z;
  const double rho = r * std::sin(theta);
  return PONTO3(rho * std::cos(phi), rho * std::sin(phi), r * std::cos(theta));
}

PONTO3 esfz2ret(PONTO3 p) { return esf2ret(p); }

PONTO3 esfx2ret(PONTO3 p) {
  const double r = p.x, phi = p.y, theta = p.z;
  const double rho = r * std::sin(theta);
  return PONTO3(r * std::cos(theta), rho * std::cos(phi), rho * std::sin(phi));
}

PONTO3 esfy2ret(PONTO3 p) {
  const double r = p.x, phi = p.y, theta = p.z;
  const double rho = r * std::sin(theta);
  return PONTO3(rho * std::sin(phi), r * std::cos(theta), rho * std::cos(phi));
}

namespace {

// (r, arg(a, b), acos(c / r)) where c lies on the polar axis.
PONTO3 para_esfera(double a, double b, double c, double r) {
  if (r < epsilon) return PONTO3(0, 0, 0);
  return PONTO3(r, arg(a, b), std::acos(c / r));
}

double raio(PONTO3 p) { return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z); }

}  // namespace

PONTO3 ret2esf(PONTO3 p) { return para_esfera(p.x, p.y, p.z, raio(p)); }
PONTO3 ret2esfz(PONTO3 p) { return ret2esf(p); }
PONTO3 ret2esfx(PONTO3 p) { return para_esfera(p.y, p.z, p.x, raio(p)); }
PONTO3 ret2esfy(PONTO3 p) { return para_esfera(p.z, p.x, p.y, raio(p)); }

PONTO4 ret2esf(PONTO4 p) {
  const double r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z + p.w * p.w);
  if (r < epsilon) return PONTO4(0, 0, 0, 0);
  return PONTO4(r, arg(p.x, p.y), std::acos(p.z / r), std::acos(p.w / r));
}

PONTO4 ret2esfl1(PONTO4 p) {
  const double s = std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z) + std::fabs(p.w);
  if (s < epsilon) return PONTO4(0, 0, 0, 0);
  return PONTO4(s, pseudoangl1(PONTO2(p.x, p.y)), 1 - p.z / s, 1 - p.w / s);
}
