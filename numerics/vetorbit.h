// VETORBIT: a packed vector of bits, 32 to a word, bit 0 in the most significant bit of the
// first word. Text forms list bit 0 first; shifts treat bit 0 as the lowest position.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "foundation/bitref.h"
#include "foundation/erro.h"

#pragma GCC visibility push(default)

class VETORBIT {
 public:
  int n;            // bits; below 1 behaves as empty
  int nw;           // words that carry the bits
  uint32_t* words;  // owned block of at least nw words; null when n < 1

  explicit VETORBIT(int n = 0);
  VETORBIT(int n, bool v);
  // Bit 0 = b0, bit 1 = b1, bits 2..n-1 from rest (non-zero = 1).
  template <class... B>
  VETORBIT(int count, bool b0, bool b1, B... rest) {
    aloca(count);
    const bool bits[] = {b0, b1, (rest != 0)...};
    if (count > 2 + static_cast<int>(sizeof...(rest)))
      erro("Erro VETORBIT(n,b0,b1,...) - faltam valores", "");
    for (int i = 0; i < count; i++) (*this)(i) = bits[i];
  }
  VETORBIT(const std::string& s);
  VETORBIT(const VETORBIT& s);
  ~VETORBIT() { desaloca(); }

  void aloca(int n);
  void desaloca();
  void copia(const VETORBIT& s);
  void resize(int n);
  VETORBIT& operator=(const VETORBIT& s);

  BITREF operator()(int i) {
    if (i < 0 || i >= n) erro("Erro VETORBIT::operator() - Indice invalido", "");
    return BITREF{words + (i >> 5), 0x80000000u >> (i & 31)};
  }
  bool operator()(int i) const { return const_cast<VETORBIT&>(*this)(i); }

  // Returns the old bit n-1, moves every bit one place up and puts b in bit 0.
  bool shiftleft1(bool b);
  // Drops the last k bits.
  void delleft(int k);
  // Drops the zeros above the highest set bit.
  void delzeros();

  // Bit-string forms, bit 0 first; any character but '0' counts as 1.
  std::string tostring() const;
  void copia(const std::string& s);
  VETORBIT& operator=(const std::string& s);

 private:
  void shorten(int len);
};

// One bit of a word, 0 being the most significant.
BITREF bit(uint32_t& w, int i);

// r[i] = a[i+k]: the first k bits dropped.
VETORBIT operator>>(const VETORBIT& a, int k);
// r[i] = a[i-k]: k zeros in front.
VETORBIT operator<<(const VETORBIT& a, int k);
// a followed by m zeros.
VETORBIT padzeros(const VETORBIT& a, int m);
// Bits inic..fim of a.
VETORBIT subvetorbit(const VETORBIT& a, int inic, int fim);
// a in reverse order.
VETORBIT vira(const VETORBIT& a);

VETORBIT operator^(const VETORBIT& a, const VETORBIT& b);
VETORBIT operator|(const VETORBIT& a, const VETORBIT& b);
VETORBIT operator&(const VETORBIT& a, const VETORBIT& b);
bool operator==(const VETORBIT& a, const VETORBIT& b);

std::ostream& operator<<(std::ostream& os, const VETORBIT& v);
void imp(const VETORBIT& v, const std::string& nome);
void le(VETORBIT& v, const std::string& nome);

#pragma GCC visibility pop
