#include "numerics/hash.h"

#include <cstdint>

namespace {

int words_for_bits(int nbits) {
  return nbits <= 0 ? 0 : static_cast<int>((static_cast<int64_t>(nbits) + 31) / 32);
}

}  // namespace

HASH::HASH(int nwords, int seed) {
  h.resize(nwords);
  r.srand(seed);
  for (int i = 0; i < h.n; i++) h(i) = r.dwordrand();
}

void HASH::feed(uint32_t x) {
  r.srand(static_cast<int>(x & 0xFFFFu));
  for (int i = 0; i < h.n; i++) h(i) ^= r.dwordrand();
  r.srand(static_cast<int>((x >> 16) & 0xFFFFu));
  for (int i = 0; i < h.n; i++) h(i) ^= r.dwordrand();
}

BITHASH::BITHASH(int bits, int seed)
    : HASH(words_for_bits(bits), seed), nbits(bits), acc(0), cnt(0) {}

void BITHASH::feed(bool b) {
  acc = acc * 2u + (b ? 1u : 0u);
  if (++cnt > 31) {
    HASH::feed(acc);
    cnt = 0;
  }
}

void BITHASH::close() {
  if (cnt > 0) HASH::feed(acc);
}
