// Uncompressed DIB AVI files: the header layout written by ImpAvi and the colour reader's
// parser state. Library sources and tests only.
//
// Written file: RIFF "AVI " { LIST hdrl { avih, LIST strl { strh, strf [+ palette], strn } },
// LIST movi { "00db" frames }, idx1 }. All fields little-endian.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "foundation/vetor.h"
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

// State of the colour reader LeAvi(I3DCOR&): one list function per level of the RIFF tree,
// each accounting exactly for the bytes of its list. Not re-entrant.
namespace NameLeAvi {

extern FILE* arq;                 // file of the read in progress
extern VETOR<unsigned char> buf;  // chunk data; 65536 bytes or one frame, whichever is larger
extern unsigned char ident[4];    // list or form type just read
extern unsigned char chunk[8];    // chunk header just read: code, then size (int32)
extern unsigned char* ch;         // views of buf set by the stream header,
extern uint16_t* wd;              // the stream format
extern int32_t* dw;               // and the main header
extern int32_t resta;             // unused

// Skips n bytes; returns n.
int pula(int n);
// Reads n bytes into p (at most buf.n); returns n.
int analex(void* p, int n);
// Each parses one list of size s (its type included), fills v and returns s.
int anariff(I3DCOR& v, int s);
int anahdrl(I3DCOR& v, int s);
int analist(I3DCOR& v, int s);
int anamovi(I3DCOR& v, int s);

}  // namespace NameLeAvi
