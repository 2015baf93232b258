// Native binary IMG files of the short, float, double and complex images.
//
// Layout (little-endian): 7-byte magic "IMGxxx*", 0x1A, element size, nl, nc, lc, cc (int32 each),
// then the nl*nc pixels row by row.
#include <cstring>

#include "foundation/binary_internal.h"
#include "foundation/file_internal.h"
#include "images/image_core_internal.h"
#include "images/image_files_internal.h"

namespace vistelmo {
namespace {

constexpr int kHeaderSize = 28;

// The magic is "IMG", the class suffix and '*'; the element size is that of the pixel type.
template <class Img>
std::string magic() {
  return std::string(ImageTraits<Img>::name) + "*";
}

template <class Img>
void write_img(const Img& image, const std::string& name) {
  Img tmp;
  const Img& im = storage_or_outside(image, tmp);
  using Pixel = typename Img::Pixel;
  const std::string who = message_prefix(ImageTraits<Img>::name, "ImpImg");
  StdioFile f(name, "wb", who + "Abertura de ", who + "Faltou memoria setvbuf");
  uint8_t h[kHeaderSize];
  std::memcpy(h, magic<Img>().data(), 7);
  h[7] = 0x1A;
  put32(h + 8, sizeof(Pixel));
  put32(h + 12, im.nl());
  put32(h + 16, im.nc());
  put32(h + 20, im.lc);
  put32(h + 24, im.cc);
  f.write(h, 1, kHeaderSize);
  if (has_pixels(im)) f.write(im.data, sizeof(Pixel), block_count(im));
  f.finish(who + "Falha na escrita ");
}

template <class Img>
void read_img(Img& im, const std::string& name) {
  using Pixel = typename Img::Pixel;
  const std::string who = message_prefix(ImageTraits<Img>::name, "LeImg");
  const std::string format = who + "Formato incorreta";
  const std::string short_file = who + "Fim inesperado";
  StdioFile f(name, "rb", who + "Abertura de ", who + "Faltou memoria setvbuf");
  uint8_t h[kHeaderSize];
  if (!f.read(h, 1, kHeaderSize)) erro(short_file, "");
  // The eighth byte is not examined.
  if (std::memcmp(h, magic<Img>().data(), 7) != 0 || get32s(h + 8) != int32_t(sizeof(Pixel)))
    erro(format, "");
  const int nl = get32s(h + 12), nc = get32s(h + 16);
  const int64_t count = int64_t(nl) * nc;
  if (nl < 0 || nc < 0 || count * int64_t(sizeof(Pixel)) > INT32_MAX) erro(format, "");
  if (block_exceeds_file(f, count, sizeof(Pixel))) erro(short_file, "");

  // Same size: storage and outside value stay (storage is made when there is none).
  im.resize(nl, nc);
  im.lc = get32s(h + 20);
  im.cc = get32s(h + 24);
  if (count > 0 && !f.read(im.data, sizeof(Pixel), count)) erro(short_file, "");
  f.close();
}

}  // namespace
}  // namespace vistelmo

#define VISTELMO_DEFINE_IMG_FILES(IMG)                                                  \
  void IMG::ImpImg(const std::string& name) const { vistelmo::write_img(*this, name); } \
  void IMG::LeImg(const std::string& name) { vistelmo::read_img(*this, name); }

VISTELMO_DEFINE_IMG_FILES(IMGSHT)
VISTELMO_DEFINE_IMG_FILES(IMGFLT)
VISTELMO_DEFINE_IMG_FILES(IMGDBL)
VISTELMO_DEFINE_IMG_FILES(IMGCPX)
