// Readers of the portable anymap forms P1 to P6, and the bit reader.
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/pnm.h"
#include "formats/pnm_internal.h"
#include "foundation/file_internal.h"
#include "foundation/tokens.h"
#include "images/image_core_internal.h"
#include "images/image_files_internal.h"

using vistelmo::PnmForm;
using vistelmo::StdioFile;

namespace {

struct PnmReadForm : PnmForm {
  const char* format_msg;
  const char* short_msg;
};

const PnmReadForm kP1{{"lepbmt", '1', false}, "Erro lepbmt: Formato nao-PBMT (TEXT)", nullptr};
const PnmReadForm kP2{{"lepgmt", '2', true}, "Erro lepgmt: Formato nao-PGMT (TEXT)", nullptr};
const PnmReadForm kP3{{"leppmt", '3', true}, "Erro leppmt: Formato nao-PPMT (TEXT)", nullptr};
const PnmReadForm kP4{{"lepbmb", '4', false},
                      "Erro lepbmb: Formato nao-PBMB (BINARY)",
                      "Erro lepbmb - Fim inesperado"};
const PnmReadForm kP5{{"lepgmb", '5', true},
                      "Erro lepgmb: Formato nao-PGMB (BINARY)",
                      "Erro lepgmb - Fim inesperado"};
const PnmReadForm kP6{{"leppmb", '6', true},
                      "Erro leppmb: Formato nao-PPMB (BINARY)",
                      "Erro leppmb - Fim inesperado"};

struct Header {
  int nc = 0;
  int nl = 0;
  int ncores = 1;
};

// Checks the magic and reads columns, rows and (grey and colour) the maximum sample value.
// A negative size is no format; a size of 0 gives an image without pixels.
Header read_header(FILE* f, const PnmReadForm& form) {
  const std::string magic = std::string("p") + form.digit;
  if (LeStr(f) != magic) erro(form.format_msg, "");
  Header h;
  LeNum(f, h.nc);
  LeNum(f, h.nl);
  if (h.nc < 0 || h.nl < 0) erro(form.format_msg, "");
  if (form.has_maxval) {
    LeNum(f, h.ncores);
    if (h.ncores < 1) erro(form.format_msg, "");
  }
  return h;
}

// Pixels of a header's size; 0 when a size is below 1.
inline int64_t pixel_count(const Header& h) {
  return h.nl > 0 && h.nc > 0 ? int64_t(h.nl) * h.nc : 0;
}

// A body the file cannot hold fails before the image is sized for it, with the message its
// read would give: a binary body of `bytes`, or `samples` text samples a pixel.
void check_binary_body(FILE* f, const Header& h, int64_t bytes, const PnmReadForm& form) {
  if (form.has_maxval && h.ncores > 255) erro("Erro: ncores>255", "");
  if (vistelmo::block_exceeds_file(f, bytes, 1)) erro(form.short_msg, "");
}
void check_text_body(FILE* f, const Header& h, int samples) {
  if (vistelmo::tokens_exceed_file(f, pixel_count(h) * samples))
    erro(h.ncores == 255 ? "LeNum(BYTE)" : "LeNum(int)", "");
}

// A sample of range 0..ncores scaled to 0..255, halves away from zero.
inline unsigned char scale(int s, double factor) {
  double v = s * factor;
  if (v < 0) v = 0;
  if (v > 255) v = 255;
  return static_cast<unsigned char>(std::round(v));
}

// Binary bodies of PGM and PPM: one block read, then byte samples scaled through a table.
template <class Img>
void read_byte_body(StdioFile& f, Img& img, const Header& h, const PnmReadForm& form) {
  if (h.ncores > 255) erro("Erro: ncores>255", "");
  if (!vistelmo::has_pixels(img)) return;
  const size_t bytes = static_cast<size_t>(vistelmo::block_count(img)) * sizeof(*img.data);
  auto* p = reinterpret_cast<unsigned char*>(img.data);
  if (!f.read(p, 1, bytes)) erro(form.short_msg, "");
  if (h.ncores == 255) return;
  const double factor = 255.0 / h.ncores;
  std::array<unsigned char, 256> table;
  for (int s = 0; s < 256; s++) table[s] = scale(s, factor);
  for (size_t k = 0; k < bytes; k++) p[k] = table[p[k]];
}

// One text sample: clamped as is for maxval 255, scaled otherwise.
inline unsigned char read_text_sample(FILE* f, int ncores, double factor) {
  if (ncores == 255) {
    unsigned char v;
    LeNum(f, v);
    return v;
  }
  int s;
  LeNum(f, s);
  return scale(s, factor);
}

// Plain PBM pixels: words of the truth readers, or runs of 0 and 1 digits, one pixel a digit.
class PbmDigits {
 public:
  explicit PbmDigits(FILE* f) : f_(f) {}
  // True for a black pixel.
  bool next() {
    if (pos_ < run_.size()) return run_[pos_++] == '1';
    std::string t = LeStr(f_);
    if (t.size() > 1 && t.find_first_not_of("01") == std::string::npos) {
      run_ = t;
      pos_ = 1;
      return t[0] == '1';
    }
    if (t == "true" || t == "1" || t == "t" || t == "v" || t == "x") return true;
    if (t == "false" || t == "0" || t == "f" || t == ".") return false;
    erro("LeNum(bool)", "");
  }

 private:
  FILE* f_;
  std::string run_;
  size_t pos_ = 0;
};

// Text PGM and PPM: a sample per byte of the pixel, red, green, blue for colour.
inline void read_text_pixel(FILE* f, int ncores, double factor, unsigned char& p) {
  p = read_text_sample(f, ncores, factor);
}
inline void read_text_pixel(FILE* f, int ncores, double factor, COR& p) {
  p.r = read_text_sample(f, ncores, factor);
  p.g = read_text_sample(f, ncores, factor);
  p.b = read_text_sample(f, ncores, factor);
}

template <class Img>
void read_text_file(Img& img, const std::string& name, const PnmReadForm& form) {
  StdioFile f(name, "rb", form.open_msg(), form.buf_msg());
  Header h = read_header(f, form);
  check_text_body(f, h, sizeof(*img.data));
  img.resize(h.nl, h.nc);
  if (!vistelmo::has_pixels(img)) return;
  const double factor = 255.0 / h.ncores;
  for (int l = 0; l < img.nl(); l++) {
    auto* row = img.rows[l];
    for (int c = 0; c < img.nc(); c++) read_text_pixel(f, h.ncores, factor, row[c]);
  }
}

// Binary PGM and PPM.
template <class Img>
void read_byte_file(Img& img, const std::string& name, const PnmReadForm& form) {
  StdioFile f(name, "rb", form.open_msg(), form.buf_msg());
  Header h = read_header(f, form);
  check_binary_body(f, h, int64_t(sizeof(*img.data)) * pixel_count(h), form);
  img.resize(h.nl, h.nc);
  read_byte_body(f, img, h, form);
}

// Current byte of fgetbit and the bits already taken from it.
int get_byte = 0;
int get_count = 8;

}  // namespace

void lepbmt(IMGBIN& img, const std::string& name) {
  StdioFile f(name, "rb", kP1.open_msg(), kP1.buf_msg());
  Header h = read_header(f, kP1);
  // A pixel takes at least one character (digit runs carry one pixel a digit).
  if (vistelmo::block_exceeds_file(f, pixel_count(h), 1)) erro("LeNum(bool)", "");
  img.resize(h.nl, h.nc);
  PbmDigits digits(f);
  for (int l = 0; l < img.nl(); l++)
    for (int c = 0; c < img.nc(); c++) img(l, c) = !digits.next();
}

void lepgmt(IMGGRY& img, const std::string& name) { read_text_file(img, name, kP2); }

void leppmt(IMGCOR& img, const std::string& name) { read_text_file(img, name, kP3); }

void lepbmb(IMGBIN& img, const std::string& name) {
  StdioFile f(name, "rb", kP4.open_msg(), kP4.buf_msg());
  Header h = read_header(f, kP4);
  if (h.nl > 0 && h.nc > 0) check_binary_body(f, h, int64_t(h.nl) * ((h.nc - 1) / 8 + 1), kP4);
  img.resize(h.nl, h.nc);
  if (!vistelmo::has_pixels(img)) return;
  const int bytes = (img.nc() - 1) / 8 + 1;
  const uint32_t last = vistelmo::last_word_mask(img.nc());
  std::vector<uint8_t> buf(static_cast<size_t>(img.wpr) * 4);
  for (int l = 0; l < img.nl(); l++) {
    if (!f.read(buf.data(), 1, bytes)) erro(kP4.short_msg, "");
    uint32_t* row = img.rows[l];
    // A set bit in the file is black, a set bit in the image white.
    for (int w = 0; w < img.wpr; w++) {
      const uint8_t* b = &buf[4 * w];
      row[w] = ~((uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]);
    }
    row[img.wpr - 1] &= last;
  }
}

void lepgmb(IMGGRY& img, const std::string& name) { read_byte_file(img, name, kP5); }

void leppmb(IMGCOR& img, const std::string& name) { read_byte_file(img, name, kP6); }

int fgetbit(FILE* f) {
  if (get_count == 8) {
    int c = std::fgetc(f);
    if (c == EOF) return -1;
    get_byte = c;
    get_count = 0;
  }
  return (get_byte >> (7 - get_count++)) & 1;
}
