#include "numerics/cipher.h"

#include "numerics/bitperm_internal.h"
#include "numerics/console_internal.h"

using vistelmo::permute_bits;

unsigned char RANDOM::encrypt(unsigned char x) {
  unsigned k = static_cast<unsigned>(rand()) & 255u;
  return static_cast<unsigned char>(permute_bits(x, vetpermut(8)) ^ k);
}

unsigned char RANDOM::decrypt(unsigned char y) {
  unsigned k = static_cast<unsigned>(rand()) & 255u;
  return permute_bits(static_cast<unsigned char>(y ^ k), vetipermut(8));
}

uint32_t RANDOM::encrypt(uint32_t x) {
  uint32_t k = dwordrand();
  return permute_bits(x, vetpermut(32)) ^ k;
}

uint32_t RANDOM::decrypt(uint32_t y) {
  uint32_t k = dwordrand();
  return permute_bits(y ^ k, vetipermut(32));
}

namespace {

template <class T>
void encrypt_chain(RANDOM& r, VETOR<T>& v) {
  v(0) = r.encrypt(v(0));
  for (int i = 1; i < v.n; i++) v(i) = r.encrypt(v(i)) ^ v(i - 1);
}

template <class T>
void decrypt_chain(RANDOM& r, VETOR<T>& v) {
  VETOR<T> c(v);
  v(0) = r.decrypt(c(0));
  for (int i = 1; i < v.n; i++) v(i) = r.decrypt(static_cast<T>(c(i) ^ c(i - 1)));
}

}  // namespace

void RANDOM::encrypt(VETOR<unsigned char>& v) { encrypt_chain(*this, v); }
void RANDOM::decrypt(VETOR<unsigned char>& v) { decrypt_chain(*this, v); }
void RANDOM::encrypt(VETOR<uint32_t>& v) { encrypt_chain(*this, v); }
void RANDOM::decrypt(VETOR<uint32_t>& v) { decrypt_chain(*this, v); }

std::string lesenha() {
  vistelmo::RawConsole con;
  std::string s;
  for (;;) {
    int c = con.getch();
    if (c == 13 || c < 0) break;
    con.putch('*');
    s += static_cast<char>(c);
  }
  con.putch(10);
  return s;
}
