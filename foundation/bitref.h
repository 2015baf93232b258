// BITREF: a reference to one bit of a 32-bit word.
#pragma once

#include <cstdint>

#pragma GCC visibility push(default)

struct BITREF {
  uint32_t* word;
  uint32_t mask;

  operator bool() const { return (*word & mask) != 0; }
  BITREF& operator=(bool v) {
    if (v)
      *word |= mask;
    else
      *word &= ~mask;
    return *this;
  }
  // Copies the value of the other bit; never rebinds.
  BITREF& operator=(const BITREF& o) { return *this = static_cast<bool>(o); }
};

#pragma GCC visibility pop
