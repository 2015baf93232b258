// One native IMG record: 7-byte magic "IMGxxx*", 0x1A, element size, nl, nc, lc, cc (int32
// each, little-endian), then the nl*nc pixels row by row. A 2D IMG file is one record; a volume
// IMG file holds one per slice. Library only.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/binary_internal.h"
#include "foundation/erro.h"
#include "foundation/file_internal.h"
#include "images/image_core_internal.h"

namespace vistelmo {

constexpr int kImgRecordHeader = 28;

// "IMGFLT*": the class name and '*'.
template <class Img>
std::string img_record_magic() {
  return std::string(ImageTraits<Img>::name) + "*";
}

// Writes the header and pixels of im.
template <class Img>
void write_img_record(StdioFile& f, const Img& im) {
  using Pixel = typename Img::Pixel;
  uint8_t h[kImgRecordHeader];
  std::memcpy(h, img_record_magic<Img>().data(), 7);
  h[7] = 0x1A;
  put32(h + 8, sizeof(Pixel));
  put32(h + 12, im.nl());
  put32(h + 16, im.nc());
  put32(h + 20, im.lc);
  put32(h + 24, im.cc);
  f.write(h, 1, kImgRecordHeader);
  if (has_pixels(im)) f.write(im.data, sizeof(Pixel), block_count(im));
}

// Tests the magic and element size in h[0..12); the eighth byte is not examined.
template <class Img>
void check_img_record_magic(const uint8_t* h, const std::string& format) {
  if (std::memcmp(h, img_record_magic<Img>().data(), 7) != 0 ||
      get32s(h + 8) != int32_t(sizeof(typename Img::Pixel)))
    erro(format, "");
}

// Tests nl and nc in h[12..20); returns the pixel count.
template <class Img>
int64_t img_record_count(const uint8_t* h, const std::string& format) {
  const int nl = get32s(h + 12), nc = get32s(h + 16);
  const int64_t count = int64_t(nl) * nc;
  if (nl < 0 || nc < 0 || count > INT32_MAX / int64_t(sizeof(typename Img::Pixel)))
    erro(format, "");
  return count;
}

// Takes the centre from h[20..28) and reads the count pixels into im, already sized.
template <class Img>
void read_img_record_pixels(StdioFile& f, Img& im, const uint8_t* h, int64_t count,
                            const std::string& short_file) {
  im.lc = get32s(h + 20);
  im.cc = get32s(h + 24);
  if (count > 0 && !f.read(im.data, sizeof(typename Img::Pixel), count)) erro(short_file, "");
}

}  // namespace vistelmo
