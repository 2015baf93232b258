// Helpers shared by the image classes' own file formats. Library only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

#include "images/images.h"

namespace vistelmo {

// "Erro CLS::METHOD - ", the start of every message of one reader or writer.
inline std::string message_prefix(const char* cls, const char* method) {
  return std::string("Erro ") + cls + "::" + method + " - ";
}

// Bytes left between the stream position and the end of the file; -1 when the stream
// cannot seek (a pipe), so the caller relies on its read count alone.
inline int64_t remaining_bytes(FILE* f) {
  long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(f);
  if (std::fseek(f, here, SEEK_SET) != 0) return -1;
  return end < here ? 0 : static_cast<int64_t>(end) - here;
}

// a * b for sizes of at least 0, held at 2^62 when larger: no file is that long, and two such
// products add without overflow. 0 when either is negative.
inline int64_t capped_product(int64_t a, int64_t b) {
  constexpr int64_t cap = int64_t(1) << 62;
  if (a <= 0 || b <= 0) return 0;
  return a > cap / b ? cap : a * b;
}

// Bytes of the 1-bit BMP file of an nl x nc image: the headers and palette, then nl rows of
// whole 32-bit words. Its file size field holds 32 bits.
constexpr int kBmpDataOffset = 62;
inline int64_t bmp_file_size(int nl, int nc) {
  return kBmpDataOffset + 4 * capped_product(nl, (int64_t(nc) + 31) / 32);
}
inline bool bmp_fits(int nl, int nc) { return bmp_file_size(nl, nc) <= int64_t(UINT32_MAX); }

// True when a block of count items of size bytes cannot be in the rest of the file.
inline bool block_exceeds_file(FILE* f, int64_t count, int64_t size) {
  int64_t left = remaining_bytes(f);
  return left >= 0 && capped_product(count, size) > left;
}

// True when count tokens cannot be in the rest of a text file: each takes at least one
// character and a separator stands between two of them.
inline bool tokens_exceed_file(FILE* f, int64_t count) {
  int64_t left = remaining_bytes(f);
  return left >= 0 && count > (left + 1) / 2;
}

// The image itself, or, for one that keeps its sizes but holds no storage (after desaloca()),
// tmp sized like it with every pixel its outside value, so writers always have rows to write.
template <class Img>
const Img& storage_or_outside(const Img& im, Img& tmp) {
  if (im.data != nullptr || im.nl < 1 || im.nc < 1) return im;
  tmp.resize(im.nl, im.nc);
  if constexpr (std::is_same_v<Img, IMGBIN>)
    tmp.fill(static_cast<bool>(im.backg & 1u));
  else
    tmp.fill(im.backg);
  tmp.backg = im.backg;
  tmp.lc = im.lc;
  tmp.cc = im.cc;
  return tmp;
}

}  // namespace vistelmo
