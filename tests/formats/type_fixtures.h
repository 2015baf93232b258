// Small file headers built byte by byte for the type detection and dispatch tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace fixtures {

using testutil::Bytes;

// An uncompressed TGA header of 2 x 1 pixels; a colour map, when present, has two entries.
inline Bytes tga_header(uint8_t map_type, uint8_t image_type, uint8_t map_entry_bits,
                        uint8_t depth) {
  Bytes h(18, 0);
  h[1] = map_type;
  h[2] = image_type;
  if (map_type) h[5] = 2;
  h[7] = map_entry_bits;
  h[12] = 2;
  h[14] = 1;
  h[16] = depth;
  h[17] = 0x20;
  return h;
}

// A BMP header of 1 x 1 pixels.
inline Bytes bmp_header(int bits, int compression, int colours_used) {
  Bytes h(62, 0);
  h[0] = 'B';
  h[1] = 'M';
  h[10] = 62;
  h[14] = 40;
  h[18] = 1;
  h[22] = 1;
  h[26] = 1;
  h[28] = static_cast<uint8_t>(bits);
  h[30] = static_cast<uint8_t>(compression);
  h[46] = static_cast<uint8_t>(colours_used);
  return h;
}

// A RIFF AVI whose stream format sits where the library's own writer puts it.
inline Bytes avi_header(int planes, int bits, int compression) {
  Bytes h(224, 0);
  const std::string riff = "RIFF", avi = "AVI ";
  std::copy(riff.begin(), riff.end(), h.begin());
  std::copy(avi.begin(), avi.end(), h.begin() + 8);
  h[184] = static_cast<uint8_t>(planes);
  h[186] = static_cast<uint8_t>(bits);
  h[188] = static_cast<uint8_t>(compression);
  return h;
}

inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes with_tail(Bytes b, const std::string& tail) {
  b.insert(b.end(), tail.begin(), tail.end());
  return b;
}

}  // namespace fixtures
