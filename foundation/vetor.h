// VETOR<T>: an owning vector with checked and border-mode access.
#pragma once

#include <cstdint>
#include <new>

#include "foundation/erro.h"
#include "foundation/int_field.h"

#pragma GCC visibility push(default)

template <class T>
class VETOR {
 public:
  T* data;
  IntField n;
  T backg{};
  int centro;

  explicit VETOR(int count = 0) { aloca(count); }
  VETOR(int count, T x) {
    aloca(count);
    fill(x);
  }
  VETOR(const VETOR& v) {
    aloca(v.n);
    copia(v);
  }
  ~VETOR() { desaloca(); }

  void aloca(int count) {
    n = count;
    centro = 0;
    data = nullptr;
    if (count > 0) {
      data = new (std::nothrow) T[count];
      if (data == nullptr) erro("Erro VETOR::aloca - Falta memoria", "");
    }
  }
  void desaloca() {
    delete[] data;
    data = nullptr;
  }
  void copia(const VETOR& v) {
    if (data != nullptr && v.data != nullptr)
      for (int i = 0; i < n && i < v.n; i++) data[i] = v.data[i];
    centro = v.centro;
  }
  // An equal count keeps the block; after desaloca() it is allocated again.
  void resize(int count) {
    if (count == n && (data != nullptr || count <= 0)) return;
    desaloca();
    aloca(count);
  }
  VETOR& operator=(const VETOR& v) {
    if (this == &v) return *this;
    resize(v.n);
    copia(v);
    return *this;
  }
  void fill(T x) {
    if (data == nullptr) return;
    for (int i = 0; i < n; i++) data[i] = x;
  }

  // Index inside the stored elements (after desaloca() there are none).
  bool inside(int64_t i) const { return i >= 0 && i < n && data != nullptr; }

  T& operator()(int i) {
    if (!inside(i)) erro("Erro VETOR::operator() - Indice invalido", "");
    return data[i];
  }
  const T& operator()(int i) const { return const_cast<VETOR&>(*this)(i); }

  T& operator()(int i, char modo) {
    switch (modo) {
      case 'n':
      case 0:
        return inside(i) ? data[i] : backg;
      case 'e':
      case 2:
        if (!inside(i)) erro("Erro VETOR::operator(i,'e') - Indice invalido", "");
        return data[i];
      case 'r':
      case 3: {
        if (n <= 0 || data == nullptr) return backg;  // nothing to wrap onto
        int k = i % n;
        return data[k < 0 ? k + n : k];
      }
      case 'c':
      case 4: {
        int64_t k = static_cast<int64_t>(i) + centro;
        return inside(k) ? data[k] : backg;
      }
      default:
        erro("Erro VETOR::operator(i,modo) - modo invalido", "");
    }
  }
};

#pragma GCC visibility pop
