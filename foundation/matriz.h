// MATRIZ<T>: an owning row-major matrix with checked access.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <new>

#include "foundation/erro.h"
#include "foundation/int_field.h"

#pragma GCC visibility push(default)

template <class T>
class MATRIZ {
 public:
  T* data;
  IntField nl;
  IntField nc;
  IntField n;

  MATRIZ(int rows = 0, int cols = 0) { aloca(rows, cols); }
  MATRIZ(int rows, int cols, T x) {
    aloca(rows, cols);
    fill(x);
  }
  // Elements in row-major order; every further argument must be a double.
  MATRIZ(int nl, int nc, double a0, double a1, ...);
  MATRIZ(const MATRIZ& m) {
    aloca(m.nl, m.nc);
    copia(m);
  }
  ~MATRIZ() { desaloca(); }

  // A product outside the int range is refused; two negative sizes give an empty matrix (n 0).
  void aloca(int l, int c) {
    nl = l;
    nc = c;
    data = nullptr;
    int64_t count = (l < 0 && c < 0) ? 0 : static_cast<int64_t>(l) * c;
    if (count > INT32_MAX || count < INT32_MIN) erro("Erro MATRIZ::aloca - Falta memoria", "");
    n = static_cast<int>(count);
    if (count > 0) {
      data = new (std::nothrow) T[count];
      if (data == nullptr) erro("Erro MATRIZ::aloca - Falta memoria", "");
    }
  }
  void desaloca() {
    delete[] data;
    data = nullptr;
  }
  void copia(const MATRIZ& m) {
    if (data == nullptr || m.data == nullptr) return;
    for (int i = 0; i < n && i < m.n; i++) data[i] = m.data[i];
  }
  void resize(int l, int c) {
    desaloca();
    aloca(l, c);
  }
  MATRIZ& operator=(const MATRIZ& m) {
    if (this == &m) return *this;
    if (m.nl != nl || m.nc != nc || (data == nullptr && n > 0)) resize(m.nl, m.nc);
    copia(m);
    return *this;
  }
  void fill(T x) {
    if (data == nullptr) return;
    for (int i = 0; i < n; i++) data[i] = x;
  }

  T& operator()(int l, int c) {
    if (l < 0 || l >= nl || c < 0 || c >= nc)
      erro("Erro MATRIZ::operator(l,c) - Indice invalido", "");
    return data[l * nc + c];
  }
  const T& operator()(int l, int c) const { return const_cast<MATRIZ&>(*this)(l, c); }
};

template <class T>
MATRIZ<T>::MATRIZ(int l, int c, double a0, double a1, ...) {
  aloca(l, c);
  if (data == nullptr) return;
  va_list ap;
  va_start(ap, a1);
  for (int i = 0; i < n; i++) {
    double v = i == 0 ? a0 : i == 1 ? a1 : va_arg(ap, double);
    (*this)(i / nc, i % nc) = static_cast<T>(v);
  }
  va_end(ap);
}

#pragma GCC visibility pop
