// HASH: an order-independent hash of 32-bit values into words; feeding a value twice takes it
// out again. BITHASH: the same fed one bit at a time.
#pragma once

#include <cstdint>

#include "foundation/vetor.h"
#include "numerics/random.h"

#pragma GCC visibility push(default)

class HASH {
 public:
  VETOR<uint32_t> h;  // the hash words
  RANDOM r;           // draws the words' patterns

  HASH(int nwords, int seed);
  // XORs into the words the patterns of x's low and high halves.
  void feed(uint32_t x);
};

class BITHASH : public HASH {
 public:
  int nbits;     // as given; not used by the hashing
  uint32_t acc;  // the most recent bits, the newest lowest
  int cnt;       // bits fed since acc was last hashed

  BITHASH(int nbits, int seed);
  // Hashes acc after every 32 bits.
  void feed(bool b);
  // Hashes acc when bits are pending; acc and cnt stay as they are.
  void close();
};

#pragma GCC visibility pop
