// Uncompressed TGA files: 8-bit grey, 24-bit true colour and 8-bit colour-mapped.
//
// The writers store the top row first (descriptor 0x20). The readers honour the origin bits:
// rows run bottom-up unless bit 0x20 is set, and columns right to left when bit 0x10 is set.
#include <algorithm>
#include <utility>

#include "foundation/binary_internal.h"
#include "foundation/file_internal.h"
#include "foundation/vetor.h"
#include "images/image_core_internal.h"
#include "images/image_files_internal.h"

namespace vistelmo {
namespace {

constexpr int kHeaderSize = 18;
constexpr int kMaxSide = 65535;
constexpr uint8_t kTopLeft = 0x20;
constexpr uint8_t kRightToLeft = 0x10;

struct TgaHeader {
  uint8_t id_length = 0;
  uint8_t map_type = 0;
  uint8_t image_type = 0;
  uint16_t map_first = 0;
  uint16_t map_length = 0;
  uint8_t map_entry_bits = 0;
  uint16_t x_origin = 0;
  uint16_t y_origin = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t depth = 0;
  uint8_t descriptor = 0;
};

void pack(const TgaHeader& h, uint8_t* p) {
  p[0] = h.id_length;
  p[1] = h.map_type;
  p[2] = h.image_type;
  put16(p + 3, h.map_first);
  put16(p + 5, h.map_length);
  p[7] = h.map_entry_bits;
  put16(p + 8, h.x_origin);
  put16(p + 10, h.y_origin);
  put16(p + 12, h.width);
  put16(p + 14, h.height);
  p[16] = h.depth;
  p[17] = h.descriptor;
}

TgaHeader unpack(const uint8_t* p) {
  TgaHeader h;
  h.id_length = p[0];
  h.map_type = p[1];
  h.image_type = p[2];
  h.map_first = get16(p + 3);
  h.map_length = get16(p + 5);
  h.map_entry_bits = p[7];
  h.x_origin = get16(p + 8);
  h.y_origin = get16(p + 10);
  h.width = get16(p + 12);
  h.height = get16(p + 14);
  h.depth = p[16];
  h.descriptor = p[17];
  return h;
}

enum class Kind { Grey, Colour, Mapped };

// The only headers each kind of reader accepts: no identification field, zero origin,
// uncompressed, 8 bits a pixel (24 for true colour), 24-bit map entries starting at 0.
bool accepted(const TgaHeader& h, Kind kind) {
  const bool common = h.id_length == 0 && h.map_first == 0 && h.x_origin == 0 && h.y_origin == 0;
  switch (kind) {
    case Kind::Grey:
      return common && h.map_type == 0 && h.image_type == 3 && h.map_length == 0 &&
             h.map_entry_bits == 0 && h.depth == 8;
    case Kind::Colour:
      return common && h.map_type == 0 && h.image_type == 2 && h.map_length == 0 &&
             h.map_entry_bits == 0 && h.depth == 24;
    case Kind::Mapped:
      return common && h.map_type == 1 && h.image_type == 1 && h.map_entry_bits == 24 &&
             h.depth == 8;
  }
  return false;
}

const char* format_text(Kind kind) {
  switch (kind) {
    case Kind::Grey:
      return "Formato TGA deve ser 8bits grayscale sem-palette nao-compactado";
    case Kind::Colour:
      return "Formato TGA deve ser 24bits sem-palette nao-compactado";
    case Kind::Mapped:
      return "Formato TGA deve ser 8bits com-palette nao-compactado";
  }
  return "";
}

void swap_red_blue(COR* p, int64_t count) {
  for (int64_t k = 0; k < count; k++) std::swap(p[k].r, p[k].b);
}

void check_size(int nl, int nc) {
  if (nl > kMaxSide || nc > kMaxSide) erro("Erro: Imagem muito grande para TGA", "");
}

// Writes an uncompressed file of the image's pixels, already in file order.
template <class Img>
void write_tga(const Img& image, const std::string& name, const std::string& open_msg,
               const std::string& buf_msg, const std::string& fail_msg, uint8_t image_type) {
  using Pixel = typename Img::Pixel;
  Img tmp;
  const Img& im = storage_or_outside(image, tmp);
  StdioFile f(name, "wb", open_msg, buf_msg);
  TgaHeader h;
  h.image_type = image_type;
  h.width = static_cast<uint16_t>(std::max(0, im.nc()));
  h.height = static_cast<uint16_t>(std::max(0, im.nl()));
  h.depth = 8 * sizeof(Pixel);
  h.descriptor = kTopLeft;
  uint8_t bytes[kHeaderSize];
  pack(h, bytes);
  f.write(bytes, 1, kHeaderSize);
  if (has_pixels(im)) f.write(im.data, sizeof(Pixel), block_count(im));
  f.finish(fail_msg);
}

// One read of a TGA file: header, colour map, then the pixel block.
class TgaIn {
 public:
  TgaIn(const std::string& name, const char* cls, const char* method, Kind kind)
      : who_(message_prefix(cls, method)),
        f_(name, "rb", who_ + (std::string(cls) == "IMGCOR" ? "Abertura " : "Abertura de "),
           who_ + "Faltou memoria setvbuf"),
        kind_(kind) {
    uint8_t bytes[kHeaderSize];
    if (!f_.read(bytes, 1, kHeaderSize)) fail_short();
    h_ = unpack(bytes);
    if (!accepted(h_, kind)) erro(who_ + format_text(kind), "");
    if (kind == Kind::Mapped) {
      map_.aloca(h_.map_length);
      if (map_.n > 0 && !f_.read(map_.data, sizeof(COR), map_.n)) fail_short();
    }
    const int64_t count = int64_t(h_.width) * h_.height;
    if (count > INT32_MAX) erro(who_ + format_text(kind), "");
    if (block_exceeds_file(f_, count, pixel_bytes())) fail_short();
  }

  int nl() const { return h_.height; }
  int nc() const { return h_.width; }
  uint8_t descriptor() const { return h_.descriptor; }
  // The map entries as stored: blue in r, green in g, red in b.
  VETOR<COR>& map() { return map_; }

  void read_pixels(void* p, int64_t count) {
    if (count > 0 && !f_.read(p, pixel_bytes(), count)) fail_short();
  }
  void close() { f_.close(); }

 private:
  size_t pixel_bytes() const { return kind_ == Kind::Colour ? 3 : 1; }
  [[noreturn]] void fail_short() { erro(who_ + "Fim inesperado", ""); }

  std::string who_;
  StdioFile f_;
  Kind kind_;
  TgaHeader h_;
  VETOR<COR> map_;
};

// Gives the image the file's size; storage, outside value and centre stay when it already
// has that size, unless `always` asks for a fresh allocation.
template <class Img>
void size_for(Img& im, const TgaIn& in, bool always) {
  if (always) {
    im.desaloca();
    im.aloca(in.nl(), in.nc());
  } else {
    im.resize(in.nl(), in.nc());
  }
}

// Puts the rows top-down and the columns left to right, as the descriptor says they were stored.
template <class Img>
void apply_origin(Img& im, uint8_t descriptor) {
  if (!has_pixels(im)) return;
  const int nl = im.nl(), nc = im.nc();
  if (!(descriptor & kTopLeft))
    for (int l = 0; l < nl / 2; l++)
      std::swap_ranges(im.rows[l], im.rows[l] + nc, im.rows[nl - 1 - l]);
  if (descriptor & kRightToLeft)
    for (int l = 0; l < nl; l++) std::reverse(im.rows[l], im.rows[l] + nc);
}

// Grey file, or the raw indices of a colour-mapped one.
void read_grey(IMGGRY& im, TgaIn& in) {
  size_for(im, in, false);
  in.read_pixels(im.data, block_count(im));
  in.close();
  apply_origin(im, in.descriptor());
}

}  // namespace
}  // namespace vistelmo

void IMGGRY::ImpTga(const std::string& name) const {
  vistelmo::check_size(nl, nc);
  vistelmo::write_tga(*this, name, "Erro IMGGRY::imp - Abertura de ",
                      "Erro IMGGRY::imp - Faltou memoria setvbuf",
                      "Erro IMGGRY::ImpTga - Falha na escrita ", 3);
}

void IMGCOR::ImpTga(const std::string& name) {
  vistelmo::check_size(nl, nc);
  IMGCOR tmp;
  if (&vistelmo::storage_or_outside(*this, tmp) == &tmp) return tmp.ImpTga(name);
  const int64_t count = vistelmo::block_count(*this);
  vistelmo::swap_red_blue(data, count);
  vistelmo::write_tga(*this, name, "Erro IMGCOR::ImpTga - Abertura ",
                      "Erro IMGCOR::ImpTga - Faltou memoria setvbuf",
                      "Erro IMGCOR::ImpTga - Falha na escrita ", 2);
  vistelmo::swap_red_blue(data, count);
}

void IMGSHT::ImpTga(const std::string& name) const { IMGGRY(*this).ImpTga(name); }
void IMGFLT::ImpTga(const std::string& name) const { IMGGRY(*this).ImpTga(name); }
void IMGDBL::ImpTga(const std::string& name) const { IMGGRY(*this).ImpTga(name); }

void IMGGRY::LeTga(const std::string& name) {
  vistelmo::TgaIn in(name, "IMGGRY", "LeTga", vistelmo::Kind::Grey);
  vistelmo::read_grey(*this, in);
}

void IMGGRY::LeTgaI(const std::string& name) {
  vistelmo::TgaIn in(name, "IMGGRY", "LeTgaI", vistelmo::Kind::Mapped);
  vistelmo::read_grey(*this, in);
}

void IMGGRY::LeTgaP(const std::string& name) {
  vistelmo::TgaIn in(name, "IMGGRY", "LeTgaP", vistelmo::Kind::Mapped);
  const VETOR<COR>& map = in.map();
  VETOR<unsigned char> grey(map.n);
  for (int i = 0; i < map.n; i++)
    grey.data[i] =
        static_cast<unsigned char>((map.data[i].r + map.data[i].g + map.data[i].b + 1) / 3);
  vistelmo::read_grey(*this, in);
  const int64_t count = vistelmo::block_count(*this);
  for (int64_t k = 0; k < count; k++) data[k] = grey(data[k]);
}

void IMGCOR::LeTga(const std::string& name) {
  vistelmo::TgaIn in(name, "IMGCOR", "LeTga", vistelmo::Kind::Colour);
  vistelmo::size_for(*this, in, true);
  const int64_t count = vistelmo::block_count(*this);
  in.read_pixels(data, count);
  in.close();
  vistelmo::swap_red_blue(data, count);
  vistelmo::apply_origin(*this, in.descriptor());
}

void IMGCOR::LeTgaP(const std::string& name) {
  vistelmo::TgaIn in(name, "IMGCOR", "LeTgaP", vistelmo::Kind::Mapped);
  VETOR<COR>& map = in.map();
  vistelmo::swap_red_blue(map.data, map.n);
  const int nl = in.nl(), nc = in.nc();
  VETOR<unsigned char> index(nl * nc);
  in.read_pixels(index.data, index.n);
  in.close();
  vistelmo::size_for(*this, in, false);
  if (vistelmo::has_pixels(*this))
    for (int l = 0; l < nl; l++) {
      const unsigned char* from = index.data + int64_t(l) * nc;
      COR* row = rows[l];
      for (int c = 0; c < nc; c++) row[c] = map(from[c]);
    }
  vistelmo::apply_origin(*this, in.descriptor());
}
