// RANDOM: the minimal-standard generator (16807 modulo 2^31-1, Schrage's method), its uniform,
// byte, word and normal draws, random permutations, bit permutations and the ciphers built on
// them. The key of a cipher is the generator's state: the same seed on both sides undoes it.
// The library's shared generator and the spare value of gauss() are process-wide: draw from
// one thread at a time.
#pragma once

#include <cstdint>

#include "foundation/vetor.h"

#pragma GCC visibility push(default)

class RANDOM {
 public:
  int32_t state;  // current value XOR 0x075BD924

  explicit RANDOM(int seed = 7);
  void srand(int seed);

  int rand();                // 0..2147483646
  double uniform();          // rand() / 2147483647
  unsigned char byterand();  // low byte of rand()
  uint32_t dwordrand();      // x1 ^ (x2 << 8)
  float gauss();             // polar Box-Muller; one spare shared by every generator

  VETOR<int> vetpermut(int n);   // a permutation of 0..n-1
  VETOR<int> vetipermut(int n);  // the inverse of what vetpermut(n) would give

  // Bit i of the result = bit p[i] of x, bits counted from the most significant.
  unsigned char permut(unsigned char x);
  unsigned char ipermut(unsigned char x);
  uint32_t permut(uint32_t x);
  uint32_t ipermut(uint32_t x);

  // Permutation, then XOR with a mask; vectors are chained element to element.
  unsigned char encrypt(unsigned char x);
  unsigned char decrypt(unsigned char y);
  uint32_t encrypt(uint32_t x);
  uint32_t decrypt(uint32_t y);
  void encrypt(VETOR<unsigned char>& v);
  void decrypt(VETOR<unsigned char>& v);
  void encrypt(VETOR<uint32_t>& v);
  void decrypt(VETOR<uint32_t>& v);
};

// The library's shared generator, in the state RANDOM(7) leaves.
extern RANDOM myrandom;

#pragma GCC visibility pop
