// Points of 2, 3 or 4 doubles (PONTO2..4) and ints (PONTOI2..4).
#pragma once

#include <complex>
#include <ostream>

#include "foundation/matriz.h"

#pragma GCC visibility push(default)

int double2int(double x);

struct PONTOI2;
struct PONTOI3;
struct PONTOI4;

struct PONTO2 {
  double x, y;

  PONTO2() = default;
  PONTO2(double x0, double y0) : x(x0), y(y0) {}
  PONTO2(const PONTOI2& p);
  PONTO2& operator=(const PONTOI2& p);
  void copia(const PONTOI2& p);
  double& operator()(int i);  // 0 or 1, checked
  double operator()(int i) const;
};

struct PONTO3 {
  double x, y, z;

  PONTO3() = default;
  PONTO3(double x0, double y0, double z0) : x(x0), y(y0), z(z0) {}
  PONTO3(const PONTOI3& p);
  PONTO3& operator=(const PONTOI3& p);
  void copia(const PONTOI3& p);
  double& operator()(int i);  // 0 to 2, checked
  double operator()(int i) const;
};

struct PONTO4 {
  double x, y, z, w;

  PONTO4() = default;
  PONTO4(double x0, double y0, double z0, double w0) : x(x0), y(y0), z(z0), w(w0) {}
  PONTO4(const PONTOI4& p);
  PONTO4& operator=(const PONTOI4& p);
  void copia(const PONTOI4& p);
};

// A pixel position: row first, then column.
struct PONTOI2 {
  int lin, col;

  PONTOI2() = default;
  PONTOI2(int l, int c) : lin(l), col(c) {}
  PONTOI2(const PONTO2& p);
  PONTOI2& operator=(const PONTO2& p);
  void copia(const PONTO2& p);
  int& l() { return lin; }
  int& c() { return col; }
  int l() const { return lin; }
  int c() const { return col; }
};

struct PONTOI3 {
  int x, y, z;

  PONTOI3() = default;
  PONTOI3(int x0, int y0, int z0) : x(x0), y(y0), z(z0) {}
  PONTOI3(const PONTO3& p);
  PONTOI3& operator=(const PONTO3& p);
  void copia(const PONTO3& p);
};

struct PONTOI4 {
  int x, y, z, w;

  PONTOI4() = default;
  PONTOI4(int x0, int y0, int z0, int w0) : x(x0), y(y0), z(z0), w(w0) {}
  PONTOI4(const PONTO4& p);
  PONTOI4& operator=(const PONTO4& p);
  void copia(const PONTO4& p);
};

inline bool operator==(const PONTOI2& a, const PONTOI2& b) {
  return a.lin == b.lin && a.col == b.col;
}
inline bool operator!=(const PONTOI2& a, const PONTOI2& b) { return !(a == b); }

PONTO3 operator*(const MATRIZ<double>& M, const PONTO3& p);
PONTO3 operator*(const PONTO3& p, const MATRIZ<double>& M);
PONTO2 operator*(const MATRIZ<double>& M, const PONTO2& p);
PONTO2 operator*(const PONTO2& p, const MATRIZ<double>& M);

std::complex<double> toCPXD(const PONTO2& p);

std::ostream& operator<<(std::ostream& os, const PONTO2& p);
std::ostream& operator<<(std::ostream& os, const PONTO3& p);
std::ostream& operator<<(std::ostream& os, const PONTO4& p);
std::ostream& operator<<(std::ostream& os, const PONTOI2& p);
std::ostream& operator<<(std::ostream& os, const PONTOI3& p);
std::ostream& operator<<(std::ostream& os, const PONTOI4& p);

#pragma GCC visibility pop
