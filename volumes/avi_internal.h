// Uncompressed DIB AVI files: the header layout written by ImpAvi. Library sources and tests
// only.
//
// Written file: RIFF "AVI " { LIST hdrl { avih, LIST strl { strh, strf [+ palette], strn } },
// LIST movi { "00db" frames }, idx1 }. All fields little-endian.
#pragma once

#include <cstdint>
#include <vector>

#include "volumes/volumes.h"

namespace vistelmo {

constexpr int kAviHeaderColour = 252;  // header block before the first frame chunk
constexpr int kAviHeaderGrey = 1276;   // the same with the 1024-byte palette
constexpr int kAviChunkHeader = 8;
constexpr int kAviIndexEntry = 16;

// The values of an AVI header block that vary; everything else is fixed.
struct AviHeader {
  int bits;                 // 24 (colour) or 8 (grey, with a grey-ramp palette)
  int frames;               // ns
  int width;                // nc
  int height;               // nl
  uint32_t frame_bytes;     // F: height rows of TamCol(bytes of one row)
  uint32_t usec_per_frame;  // main header
  uint32_t max_bytes_per_sec;
  uint32_t scale;  // stream header: rate / scale frames per second
  uint32_t rate;
};

// Bytes of one frame (F: nl rows of TamCol(bytes of one row)) and of the whole file, for ns
// frames of nl x nc pixels of `bits` bits (24 or 8).
struct AviSizes {
  int64_t frame;
  int64_t file;
  // The RIFF length (file - 8) is the largest size, length or offset a 32-bit field holds.
  bool fits() const { return file - 8 <= int64_t(UINT32_MAX); }
};
AviSizes avi_sizes(int bits, int ns, int nl, int nc);

// The header block (kAviHeaderColour or kAviHeaderGrey bytes) for h.
std::vector<uint8_t> avi_header(const AviHeader& h);

// TamCol without overflow: v rounded up to a multiple of 4 (toward zero first when negative).
inline int64_t tamcol64(int64_t v) { return v % 4 == 0 ? v : 4 * (v / 4) + 4; }

// Four-character code at p equals code.
inline bool fourcc_is(const void* p, const char* code) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return b[0] == uint8_t(code[0]) && b[1] == uint8_t(code[1]) && b[2] == uint8_t(code[2]) &&
         b[3] == uint8_t(code[3]);
}

}  // namespace vistelmo
