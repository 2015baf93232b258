// Little-endian packing of binary file headers. Library only.
#pragma once

#include <cstdint>

namespace vistelmo {

inline void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}
inline uint32_t get16(const uint8_t* p) { return p[0] | (static_cast<uint32_t>(p[1]) << 8); }
inline uint32_t get32(const uint8_t* p) { return get16(p) | (get16(p + 2) << 16); }
inline int32_t get32s(const uint8_t* p) { return static_cast<int32_t>(get32(p)); }

// Reverses the bytes of a 32-bit word.
inline uint32_t swap32(uint32_t x) { return __builtin_bswap32(x); }

}  // namespace vistelmo
