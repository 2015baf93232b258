#include "numerics/gf2.h"

#include <cstdint>
#include <istream>

namespace {

// Drops the zeros above the highest set bit; a vector without one becomes empty.
void trim(VETORBIT& v) {
  int i = v.n - 1;
  while (i >= 0 && !v(i)) i--;
  if (i >= 0)
    v.delzeros();
  else if (v.n > 0)
    v.delleft(v.n);
  else
    v.resize(0);
}

bool is_numeral(const std::string& s) {
  for (char ch : s)
    if (ch != '0' && ch != '1') return false;
  return true;
}

// Bit len-1-i of v = s[i] (v already holds s.size() bits).
void store_numeral(VETORBIT& v, const std::string& s) {
  int len = static_cast<int>(s.size());
  for (int i = 0; i < len; i++) v(len - 1 - i) = s[i] == '1';
}

int string_length(const std::string& s) {
  if (s.size() > static_cast<size_t>(INT32_MAX)) erro("Erro VETOR::aloca - Falta memoria", "");
  return static_cast<int>(s.size());
}

}  // namespace

VETORBIT modGF2(VETORBIT a, VETORBIT p) {
  trim(a);
  trim(p);
  if (p.n <= 0) erro("Erro modGF2 p.n<=0", "");
  if (a.n < p.n) return padzeros(a, p.n - a.n - 1);

  int d = a.n - p.n;
  VETORBIT feed = subvetorbit(a, 0, d);
  VETORBIT reg = subvetorbit(a, d + 1, a.n - 1);
  p.delleft(1);  // p's leading 1 is implied by the register's top bit
  for (int round = 0; round <= d; round++) {
    bool c = feed.shiftleft1(false);
    if (reg.shiftleft1(c)) reg = reg ^ p;
  }
  return reg;
}

VETORBIT modGF2n(const VETORBIT& a, int n, const VETORBIT& p) {
  VETORBIT r = modGF2(a, p);
  for (int i = 0; i < n; i++) r = modGF2(r << 1, p);
  return r;
}

std::string VETORBIT::tostring() const {
  std::string s;
  for (int i = 0; i < n; i++) s += (*this)(i) ? '1' : '0';
  return s;
}

void VETORBIT::copia(const std::string& s) {
  if (n > 0 && s.size() < static_cast<size_t>(n))
    erro("Erro VETORBIT::copia(string) - string curta", "");
  for (int i = 0; i < n; i++) (*this)(i) = s[i] != '0';
}

VETORBIT& VETORBIT::operator=(const std::string& s) {
  int len = string_length(s);
  if (n != len) {
    desaloca();
    aloca(len);
  }
  copia(s);
  return *this;
}

VETORBIT::VETORBIT(const std::string& s) {
  aloca(string_length(s));
  copia(s);
}

VETORBIT atovetorbit(const std::string& s) {
  if (!is_numeral(s)) erro("Erro atovetorbit", "");
  VETORBIT v(string_length(s));
  store_numeral(v, s);
  return v;
}

std::istream& operator>>(std::istream& is, VETORBIT& v) {
  std::string s;
  is >> s;
  if (!is_numeral(s)) erro("Erro leitura VETORBIT", "");
  int len = string_length(s);
  if (v.n != len) {
    v.desaloca();
    v.aloca(len);
  }
  store_numeral(v, s);
  return is;
}
