// MATRIZBIT: nl x nc bits in one row-major bit stream, 32 to a word, most significant bit
// first; rows are not aligned to words.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "foundation/bitref.h"
#include "foundation/erro.h"

#pragma GCC visibility push(default)

class MATRIZBIT {
 public:
  int nl;
  int nc;
  int nw;           // words in the block
  int n;            // nl * nc
  uint32_t* words;  // owned block of nw words; null when nc < 1

  explicit MATRIZBIT(int nl = 0, int nc = 0);
  MATRIZBIT(int nl, int nc, bool v);
  // Elements in row-major order from b0, b1, rest (non-zero = 1).
  template <class... B>
  MATRIZBIT(int l, int c, bool b0, bool b1, B... rest) {
    aloca(l, c);
    const bool bits[] = {b0, b1, (rest != 0)...};
    if (static_cast<int64_t>(nl) * nc > 2 + static_cast<int64_t>(sizeof...(rest)))
      erro("Erro MATRIZBIT(nl,nc,b0,b1,...) - faltam valores", "");
    int k = 0;
    for (int i = 0; i < nl; i++)
      for (int j = 0; j < nc; j++) (*this)(i, j) = bits[k++];
  }
  MATRIZBIT(const MATRIZBIT& s);
  ~MATRIZBIT() { desaloca(); }

  void aloca(int nl, int nc);
  void desaloca();
  void copia(const MATRIZBIT& s);
  void resize(int nl, int nc);
  MATRIZBIT& operator=(const MATRIZBIT& s);

  BITREF operator()(int l, int c) {
    if (l < 0 || l >= nl || c < 0 || c >= nc)
      erro("Erro MATRIZBIT::operator() - Indice invalido", "");
    int64_t k = static_cast<int64_t>(l) * nc + c;
    return BITREF{words + (k >> 5), 0x80000000u >> (k & 31)};
  }
  bool operator()(int l, int c) const { return const_cast<MATRIZBIT&>(*this)(l, c); }
};

// One line per row: "[", each element and a blank, "]".
std::ostream& operator<<(std::ostream& os, const MATRIZBIT& m);

#pragma GCC visibility pop
