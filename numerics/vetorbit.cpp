#include "numerics/vetorbit.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <ostream>

#include "foundation/file_internal.h"
#include "foundation/tokens.h"

namespace {

int words_for(int n) { return n < 1 ? 0 : (n - 1) / 32 + 1; }

// A computed length; one past the int range cannot be allocated.
int length(int64_t len) {
  if (len > INT32_MAX) erro("Erro VETOR::aloca - Falta memoria", "");
  return len < INT32_MIN ? INT32_MIN : static_cast<int>(len);
}

void check_same_length(const VETORBIT& a, const VETORBIT& b, const char* msg) {
  if (a.n != b.n) erro(msg, "");
}

template <class Op>
VETORBIT wordwise(const VETORBIT& a, const VETORBIT& b, Op op) {
  VETORBIT r(a.n);
  for (int w = 0; w < r.nw; w++) r.words[w] = op(a.words[w], b.words[w]);
  return r;
}

}  // namespace

VETORBIT::VETORBIT(int count) { aloca(count); }

VETORBIT::VETORBIT(int count, bool v) {
  aloca(count);
  for (int i = 0; i < n; i++) (*this)(i) = v;
}

VETORBIT::VETORBIT(const VETORBIT& s) {
  aloca(s.n);
  copia(s);
}

void VETORBIT::aloca(int count) {
  n = count;
  nw = words_for(count);
  words = nullptr;
  if (nw > 0) {
    words = new (std::nothrow) uint32_t[nw]();
    if (words == nullptr) erro("Erro VETOR::aloca - Falta memoria", "");
  }
}

void VETORBIT::desaloca() {
  delete[] words;
  words = nullptr;
}

void VETORBIT::copia(const VETORBIT& s) { std::copy(s.words, s.words + nw, words); }

void VETORBIT::resize(int count) {
  if (count == n) return;
  desaloca();
  aloca(count);
}

VETORBIT& VETORBIT::operator=(const VETORBIT& s) {
  if (this == &s) return *this;
  if (n != s.n) {
    desaloca();
    aloca(s.n);
  }
  copia(s);
  return *this;
}

// Keeps the block; nw follows n so copies never read past a shorter source.
void VETORBIT::shorten(int len) {
  n = len;
  nw = words_for(len);
}

bool VETORBIT::shiftleft1(bool b) {
  bool out = (*this)(n - 1);
  for (int i = n - 1; i >= 1; i--) (*this)(i) = (*this)(i - 1);
  (*this)(0) = b;
  return out;
}

void VETORBIT::delleft(int k) {
  if (k > n) erro("Erro delleft n>nv", "");
  if (k < 0) erro("Erro delleft k<0", "");
  shorten(n - k);
}

void VETORBIT::delzeros() {
  int i = n - 1;
  while (!(*this)(i)) i--;
  shorten(i + 1);
}

BITREF bit(uint32_t& w, int i) {
  if (static_cast<unsigned>(i) > 31u) erro("Erro: bit inexistente", "");
  return BITREF{&w, 0x80000000u >> i};
}

VETORBIT operator>>(const VETORBIT& a, int k) {
  int64_t len = static_cast<int64_t>(a.n) - k;
  if (k < 0 && len > 0) a(k);  // the first bit it would read is out of range
  VETORBIT r(length(len));
  for (int i = 0; i < r.n; i++) r(i) = a(i + k);
  return r;
}

VETORBIT operator<<(const VETORBIT& a, int k) {
  VETORBIT r(length(static_cast<int64_t>(a.n) + k));
  for (int i = 0; i < r.n; i++) r(i) = i < k ? false : a(i - k);
  return r;
}

VETORBIT padzeros(const VETORBIT& a, int m) {
  if (m < 0) erro("Erro padzeros m<0", "");
  VETORBIT r(length(static_cast<int64_t>(a.n) + m));
  for (int i = 0; i < a.n; i++) r(i) = a(i);
  for (int i = a.n; i < r.n; i++) r(i) = false;
  return r;
}

VETORBIT subvetorbit(const VETORBIT& a, int inic, int fim) {
  if (inic > fim) erro("Erro subvetorbit inic>fim", "");
  VETORBIT r(length(static_cast<int64_t>(fim) - inic + 1));
  for (int j = 0; j < r.n; j++) r(j) = a(inic + j);
  return r;
}

VETORBIT vira(const VETORBIT& a) {
  VETORBIT r(a.n);
  for (int i = 0; i < a.n; i++) r(a.n - 1 - i) = a(i);
  return r;
}

VETORBIT operator^(const VETORBIT& a, const VETORBIT& b) {
  check_same_length(a, b, "Erro ^: vetores com tamanhos diferentes");
  return wordwise(a, b, [](uint32_t x, uint32_t y) { return x ^ y; });
}

VETORBIT operator|(const VETORBIT& a, const VETORBIT& b) {
  check_same_length(a, b, "Erro |: vetores com tamanhos diferentes");
  return wordwise(a, b, [](uint32_t x, uint32_t y) { return x | y; });
}

VETORBIT operator&(const VETORBIT& a, const VETORBIT& b) {
  check_same_length(a, b, "Erro &: vetores com tamanhos diferentes");
  return wordwise(a, b, [](uint32_t x, uint32_t y) { return x & y; });
}

bool operator==(const VETORBIT& a, const VETORBIT& b) {
  if (a.n != b.n) return false;
  for (int i = 0; i < a.n; i++)
    if (a(i) != b(i)) return false;
  return true;
}

std::ostream& operator<<(std::ostream& os, const VETORBIT& v) {
  os << "n=" << v.n << "  ";
  for (int i = 0; i < v.n; i++) os << v(i);
  return os << std::endl;
}

void imp(const VETORBIT& v, const std::string& nome) {
  vistelmo::StdioFile f(nome, "wt", "Erro imp(VETORBIT,nome) - abertura de ",
                        "Erro VETOR<T>::ImpTxt - Faltou memoria setvbuf");
  std::fprintf(f, "%d\n\n", v.n);
  for (int i = 0; i < v.n; i++) {
    std::fprintf(f, "%d", v(i) ? 1 : 0);
    if (i % 32 == 31)
      std::fputc('\n', f);
    else if (i % 8 == 7)
      std::fputc(' ', f);
    else if (i % 4 == 3)
      std::fputc(',', f);
  }
  f.finish("Erro imp(VETORBIT,nome) - Falha na escrita ");
}

void le(VETORBIT& v, const std::string& nome) {
  vistelmo::StdioFile f(nome, "rt", "Erro le(VETORBIT - Abertura ",
                        "Erro le(VETORBIT) - Faltou memoria setvbuf");
  int count;
  LeNum(f, count);
  if (v.n != count) {
    v.desaloca();
    v.aloca(count);
  }
  for (int i = 0; i < count; i++) {
    bool b;
    LeBool(f, b);
    v(i) = b;
  }
  f.close();
}
