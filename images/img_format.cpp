// Native binary IMG files of the short, float, double and complex images.
//
// Layout (little-endian): 7-byte magic "IMGxxx*", 0x1A, element size, nl, nc, lc, cc (int32 each),
// then the nl*nc pixels row by row.
#include "foundation/file_internal.h"
#include "images/image_core_internal.h"
#include "images/image_files_internal.h"
#include "images/img_record_internal.h"

namespace vistelmo {
namespace {

template <class Img>
void write_img(const Img& image, const std::string& name) {
  Img tmp;
  const Img& im = storage_or_outside(image, tmp);
  const std::string who = message_prefix(ImageTraits<Img>::name, "ImpImg");
  StdioFile f(name, "wb", who + "Abertura de ", who + "Faltou memoria setvbuf");
  write_img_record(f, im);
  f.finish(who + "Falha na escrita ");
}

template <class Img>
void read_img(Img& im, const std::string& name) {
  const std::string who = message_prefix(ImageTraits<Img>::name, "LeImg");
  const std::string format = who + "Formato incorreta";
  const std::string short_file = who + "Fim inesperado";
  StdioFile f(name, "rb", who + "Abertura de ", who + "Faltou memoria setvbuf");
  uint8_t h[kImgRecordHeader];
  if (!f.read(h, 1, kImgRecordHeader)) erro(short_file, "");
  check_img_record_magic<Img>(h, format);
  const int64_t count = img_record_count<Img>(h, format);
  if (block_exceeds_file(f, count, sizeof(typename Img::Pixel))) erro(short_file, "");

  // Same size: storage and outside value stay (storage is made when there is none).
  im.resize(get32s(h + 12), get32s(h + 16));
  read_img_record_pixels(f, im, h, count, short_file);
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
