// Volume IMG files of I3DSHT, I3DFLT and I3DCPX.
//
// Layout (little-endian): magic "I3Dxxx*" and 0x1A, the slice count (int32), then one record per
// slice laid out as a 2D IMG file: "IMGxxx*", 0x1A, element size, nl, nc, lc, cc (int32 each),
// then the nl*nc elements row by row.
#include <cstdint>
#include <cstring>

#include "foundation/binary_internal.h"
#include "foundation/file_internal.h"
#include "images/image_files_internal.h"
#include "images/img_record_internal.h"
#include "volumes/volume_core_internal.h"

namespace vistelmo {
namespace {

constexpr int kVolumeHeader = 12;

// "I3DFLT*"; its slices are records of the matching 2D image.
template <class Vol>
std::string volume_magic() {
  return std::string(VolumeTraits<Vol>::name) + "*";
}

template <class Vol>
void write_volume(const Vol& v, const std::string& name) {
  const std::string who = message_prefix(VolumeTraits<Vol>::name, "ImpImg");
  StdioFile f(name, "wb", who + "Abertura de ", who + "Faltou memoria setvbuf");
  uint8_t h[kVolumeHeader];
  std::memcpy(h, volume_magic<Vol>().data(), 7);
  h[7] = 0x1A;
  put32(h + 8, v.ns());
  f.write(h, 1, kVolumeHeader);
  for (int s = 0; s < v.ns; s++) write_img_record(f, v.slices[s]);
  f.finish(who + "Falha na escrita ");
}

template <class Vol>
void read_volume(Vol& v, const std::string& name) {
  using Slice = typename Vol::Slice;
  const int64_t size = sizeof(typename Vol::Pixel);
  const std::string who = message_prefix(VolumeTraits<Vol>::name, "LeImg");
  const std::string short_file = who + "Fim inesperado 3";
  const std::string format2 = who + "Formato incorreta 2";
  StdioFile f(name, "rb", who + "Abertura de ", who + "Faltou memoria setvbuf");
  uint8_t h[kImgRecordHeader];
  // A file shorter than the magic fails the magic test; the eighth byte is not examined.
  if (!f.read(h, 1, 8) || std::memcmp(h, volume_magic<Vol>().data(), 7) != 0)
    erro(who + "Formato incorreta 1", "");
  if (!f.read(h, 1, 4)) erro(short_file, "");
  const int32_t count = get32s(h);
  if (count <= 0) return;  // the volume stays as it was

  for (int s = 0; s < count; s++) {
    // The magic and the element size are tested before the sizes are read.
    if (!f.read(h, 1, 12)) erro(short_file, "");
    check_img_record_magic<Slice>(h, format2);
    if (!f.read(h + 12, 1, 8)) erro(short_file, "");
    const int64_t elements = img_record_count<Slice>(h, format2);
    const int nl = get32s(h + 12), nc = get32s(h + 16);
    if (s == 0) {
      // Before any allocation: the file must hold the centre and elements of this slice and
      // at least a record header for each later one.
      if (block_exceeds_file(f, 1, 8 + elements * size + int64_t(count - 1) * kImgRecordHeader))
        erro(short_file, "");
      v.resize(count, nl, nc);
    } else if (nl != v.nl || nc != v.nc) {
      erro("Erro: Dimensoes de imagens diferentes", "");
    }
    if (!f.read(h + 20, 1, 8)) erro(short_file, "");
    read_img_record_pixels(f, v.slices[s], h, elements, short_file);
  }
  f.close();
}

}  // namespace
}  // namespace vistelmo

#define VISTELMO_DEFINE_VOLUME_IMG(VOL)                                                    \
  void VOL::ImpImg(const std::string& name) const { vistelmo::write_volume(*this, name); } \
  void VOL::LeImg(const std::string& name) { vistelmo::read_volume(*this, name); }

VISTELMO_DEFINE_VOLUME_IMG(I3DSHT)
VISTELMO_DEFINE_VOLUME_IMG(I3DFLT)
VISTELMO_DEFINE_VOLUME_IMG(I3DCPX)
