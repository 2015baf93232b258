#include "foundation/points.h"

#include "foundation/constants.h"
#include "foundation/erro.h"

int double2int(double x) {
  if (x >= 2147483647.0) return maxint;
  if (x <= -2147483648.0 || x != x) return minint;
  return static_cast<int>(x);
}

PONTO2::PONTO2(const PONTOI2& p) { copia(p); }
PONTO2& PONTO2::operator=(const PONTOI2& p) {
  copia(p);
  return *this;
}
void PONTO2::copia(const PONTOI2& p) {
  x = p.lin;
  y = p.col;
}
double& PONTO2::operator()(int i) {
  if (i == 0) return x;
  if (i == 1) return y;
  erro("Indice invalida PONTO2", "");
}
double PONTO2::operator()(int i) const { return const_cast<PONTO2&>(*this)(i); }

PONTO3::PONTO3(const PONTOI3& p) { copia(p); }
PONTO3& PONTO3::operator=(const PONTOI3& p) {
  copia(p);
  return *this;
}
void PONTO3::copia(const PONTOI3& p) {
  x = p.x;
  y = p.y;
  z = p.z;
}
double& PONTO3::operator()(int i) {
  if (i == 0) return x;
  if (i == 1) return y;
  if (i == 2) return z;
  erro("Indice invalida PONTO3", "");
}
double PONTO3::operator()(int i) const { return const_cast<PONTO3&>(*this)(i); }

PONTO4::PONTO4(const PONTOI4& p) { copia(p); }
PONTO4& PONTO4::operator=(const PONTOI4& p) {
  copia(p);
  return *this;
}
void PONTO4::copia(const PONTOI4& p) {
  x = p.x;
  y = p.y;
  z = p.z;
  w = p.w;
}

PONTOI2::PONTOI2(const PONTO2& p) { copia(p); }
PONTOI2& PONTOI2::operator=(const PONTO2& p) {
  copia(p);
  return *this;
}
void PONTOI2::copia(const PONTO2& p) {
  lin = double2int(p.x);
  col = double2int(p.y);
}

PONTOI3::PONTOI3(const PONTO3& p) { copia(p); }
PONTOI3& PONTOI3::operator=(const PONTO3& p) {
  copia(p);
  return *this;
}
void PONTOI3::copia(const PONTO3& p) {
  x = double2int(p.x);
  y = double2int(p.y);
  z = double2int(p.z);
}

PONTOI4::PONTOI4(const PONTO4& p) { copia(p); }
PONTOI4& PONTOI4::operator=(const PONTO4& p) {
  copia(p);
  return *this;
}
void PONTOI4::copia(const PONTO4& p) {
  x = double2int(p.x);
  y = double2int(p.y);
  z = double2int(p.z);
  w = double2int(p.w);
}

namespace {

void check_square(const MATRIZ<double>& M, int size, const char* msg) {
  if (M.nl() != size || M.nc() != size) erro(msg, "");
}

// r(i) = sum over j of M(i, j) * p(j), or with column = false r(j) = sum over i of p(i) * M(i, j);
// the sums run in increasing index order.
template <class P, int N>
P product(const MATRIZ<double>& M, const P& p, bool column) {
  P r;
  for (int i = 0; i < N; i++) {
    double s = 0.0;
    for (int j = 0; j < N; j++) s += column ? M(i, j) * p(j) : p(j) * M(j, i);
    r(i) = s;
  }
  return r;
}

const char kMsg3[] = "PONTO3 operator*: Matriz deve ser 3x3";
const char kMsg2[] = "PONTO2 operator*: Matriz deve ser 2x2";

}  // namespace

PONTO3 operator*(const MATRIZ<double>& M, const PONTO3& p) {
  check_square(M, 3, kMsg3);
  return product<PONTO3, 3>(M, p, true);
}
PONTO3 operator*(const PONTO3& p, const MATRIZ<double>& M) {
  check_square(M, 3, kMsg3);
  return product<PONTO3, 3>(M, p, false);
}
PONTO2 operator*(const MATRIZ<double>& M, const PONTO2& p) {
  check_square(M, 2, kMsg2);
  return product<PONTO2, 2>(M, p, true);
}
PONTO2 operator*(const PONTO2& p, const MATRIZ<double>& M) {
  check_square(M, 2, kMsg2);
  return product<PONTO2, 2>(M, p, false);
}

std::complex<double> toCPXD(const PONTO2& p) { return {p.x, p.y}; }

std::ostream& operator<<(std::ostream& os, const PONTO2& p) {
  return os << '[' << p.x << ' ' << p.y << ']';
}
std::ostream& operator<<(std::ostream& os, const PONTO3& p) {
  return os << '[' << p.x << ' ' << p.y << ' ' << p.z << ']';
}
std::ostream& operator<<(std::ostream& os, const PONTO4& p) {
  return os << '[' << p.x << ' ' << p.y << ' ' << p.z << ' ' << p.w << ']';
}
std::ostream& operator<<(std::ostream& os, const PONTOI2& p) {
  return os << '[' << p.lin << ' ' << p.col << ']';
}
std::ostream& operator<<(std::ostream& os, const PONTOI3& p) {
  return os << '[' << p.x << ' ' << p.y << ' ' << p.z << ']';
}
std::ostream& operator<<(std::ostream& os, const PONTOI4& p) {
  return os << '[' << p.x << ' ' << p.y << ' ' << p.z << ' ' << p.w << ']';
}
