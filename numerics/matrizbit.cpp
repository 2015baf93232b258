#include "numerics/matrizbit.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <ostream>

MATRIZBIT::MATRIZBIT(int l, int c) { aloca(l, c); }

MATRIZBIT::MATRIZBIT(int l, int c, bool v) {
  aloca(l, c);
  for (int i = 0; i < nl; i++)
    for (int j = 0; j < nc; j++) (*this)(i, j) = v;
}

MATRIZBIT::MATRIZBIT(const MATRIZBIT& s) {
  aloca(s.nl, s.nc);
  copia(s);
}

void MATRIZBIT::aloca(int l, int c) {
  nl = l;
  nc = c;
  int64_t bits = static_cast<int64_t>(l) * c;
  if (bits > INT32_MAX) erro("Erro MATRIZBIT::aloca - Falta memoria", "");
  n = bits < INT32_MIN ? INT32_MIN : static_cast<int>(bits);
  nw = 0;
  words = nullptr;
  // A negative row count is taken as empty, like a column count below 1.
  if (c < 1 || l < 0) return;
  nw = (n - 1) / 32 + 1;  // a 0-row matrix still gets one word
  words = new (std::nothrow) uint32_t[nw]();
  if (words == nullptr) erro("Erro MATRIZBIT::aloca - Falta memoria", "");
}

void MATRIZBIT::desaloca() {
  delete[] words;
  words = nullptr;
}

void MATRIZBIT::copia(const MATRIZBIT& s) { std::copy(s.words, s.words + nw, words); }

void MATRIZBIT::resize(int l, int c) {
  if (l == nl && c == nc) return;
  desaloca();
  aloca(l, c);
}

MATRIZBIT& MATRIZBIT::operator=(const MATRIZBIT& s) {
  if (this == &s) return *this;
  if (nl != s.nl || nc != s.nc) {
    desaloca();
    aloca(s.nl, s.nc);
  }
  copia(s);
  return *this;
}

std::ostream& operator<<(std::ostream& os, const MATRIZBIT& m) {
  for (int l = 0; l < m.nl; l++) {
    os << "[";
    for (int c = 0; c < m.nc; c++) os << m(l, c) << " ";
    os << "]" << std::endl;
  }
  return os;
}
