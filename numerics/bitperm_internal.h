// Moving bits of bytes and words by a permutation. Library only.
#pragma once

#include <cstdint>

#include "foundation/vetor.h"
#include "numerics/vetorbit.h"

namespace vistelmo {

inline bool byte_bit(unsigned char x, int i) {
  if (static_cast<unsigned>(i) > 7u) erro("Erro: bit inexistente", "");
  return (x & (0x80u >> i)) != 0;
}

// Bit i of the result = bit p(i) of x, bit 0 the most significant.
inline unsigned char permute_bits(unsigned char x, const VETOR<int>& p) {
  unsigned y = 0;
  for (int i = 0; i < 8; i++)
    if (byte_bit(x, p(i))) y |= 0x80u >> i;
  return static_cast<unsigned char>(y);
}

inline uint32_t permute_bits(uint32_t x, const VETOR<int>& p) {
  uint32_t y = 0;
  for (int i = 0; i < 32; i++) bit(y, i) = bit(x, p(i));
  return y;
}

}  // namespace vistelmo
