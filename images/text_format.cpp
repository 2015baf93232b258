// Text matrix files of the 2D images and their stream inserters.
//
// Layout: "nl nc", an empty line, one line per row (each element followed by its separator),
// an empty line, "lc cc". The reader takes tokens in order, so spacing and line ends are free.
#include <complex>
#include <ostream>
#include <sstream>

#include "foundation/constants.h"
#include "foundation/file_internal.h"
#include "foundation/tokens.h"
#include "images/image_core_internal.h"
#include "images/image_files_internal.h"
#include "images/text_io.h"

namespace vistelmo {
namespace {

template <class T>
void put_width(std::ostream& os, int width, const T& v) {
  os.width(width);
  os << v;
}

template <class T>
T read_value(FILE* f) {
  T v;
  LeNum(f, v);
  return v;
}

// How one element of each class is written and read; `file` selects the ImpTxt form over the
// inserter form. An element takes `tokens` tokens; `missing` is the token reader's message when
// one is absent.
template <class Img>
struct TextElement;

template <>
struct TextElement<IMGBIN> {
  static constexpr int tokens = 1;
  static constexpr const char* missing = "LeNum(bool)";
  static const char* separator(bool file) { return file ? " " : ""; }
  static void put(std::ostream& os, bool v, bool) { os << v; }
  static bool get(FILE* f) { return read_value<bool>(f); }
};
template <>
struct TextElement<IMGGRY> {
  static constexpr int tokens = 1;
  static constexpr const char* missing = "LeNum(BYTE)";
  static const char* separator(bool) { return " "; }
  static void put(std::ostream& os, unsigned char v, bool) { put_width(os, 3, int(v)); }
  static unsigned char get(FILE* f) { return read_value<unsigned char>(f); }
};
template <>
struct TextElement<IMGCOR> {
  static constexpr int tokens = 3;
  static constexpr const char* missing = "LeNum(BYTE)";
  static const char* separator(bool) { return "    "; }
  static void put(std::ostream& os, COR v, bool) {
    put_width(os, 3, int(v.r));
    os << ' ';
    put_width(os, 3, int(v.g));
    os << ' ';
    put_width(os, 3, int(v.b));
  }
  static COR get(FILE* f) {
    COR v;
    v.r = read_value<unsigned char>(f);
    v.g = read_value<unsigned char>(f);
    v.b = read_value<unsigned char>(f);
    return v;
  }
};
template <>
struct TextElement<IMGSHT> {
  static constexpr int tokens = 1;
  static constexpr const char* missing = "LeNum(SHT)";
  static const char* separator(bool) { return " "; }
  static void put(std::ostream& os, short v, bool) { put_width(os, 3, int(v)); }
  static short get(FILE* f) { return read_value<short>(f); }
};
template <>
struct TextElement<IMGFLT> {
  static constexpr int tokens = 1;
  static constexpr const char* missing = "LeNum(FLT)";
  static const char* separator(bool) { return " "; }
  static void put(std::ostream& os, float v, bool) { put_width(os, 3, double(v)); }
  static float get(FILE* f) { return read_value<float>(f); }
};
template <>
struct TextElement<IMGDBL> {
  static constexpr int tokens = 1;
  static constexpr const char* missing = "LeNum(double)";
  static const char* separator(bool) { return " "; }
  static void put(std::ostream& os, double v, bool file) { put_width(os, file ? 8 : 3, v); }
  static double get(FILE* f) { return read_value<double>(f); }
};
template <>
struct TextElement<IMGCPX> {
  static constexpr int tokens = 2;
  static constexpr const char* missing = "LeNum(FLT)";
  static const char* separator(bool) { return " "; }
  static void put(std::ostream& os, std::complex<float> v, bool) { os << v; }
  static std::complex<float> get(FILE* f) {
    float re = read_value<float>(f);
    float im = read_value<float>(f);
    return {re, im};
  }
};

// Writes row l of an image that holds pixels.
template <class Img>
void put_row(std::ostream& os, const Img& im, int l, bool file) {
  using E = TextElement<Img>;
  const char* sep = E::separator(file);
  const auto* row = im.rows[l];
  for (int c = 0; c < im.nc(); c++) {
    E::put(os, row[c], file);
    os << sep;
  }
}
void put_row(std::ostream& os, const IMGBIN& im, int l, bool file) {
  using E = TextElement<IMGBIN>;
  const char* sep = E::separator(file);
  const uint32_t* row = im.rows[l];
  for (int c = 0; c < im.nc(); c++) {
    E::put(os, (row[c >> 5] >> (31 - (c & 31))) & 1u, file);
    os << sep;
  }
}

// Reads row l of a freshly allocated image.
template <class Img>
void get_row(FILE* f, Img& im, int l) {
  auto* row = im.rows[l];
  for (int c = 0; c < im.nc(); c++) row[c] = TextElement<Img>::get(f);
}
void get_row(FILE* f, IMGBIN& im, int l) {
  uint32_t* row = im.rows[l];
  for (int c = 0; c < im.nc(); c++)
    if (TextElement<IMGBIN>::get(f)) row[c >> 5] |= 0x80000000u >> (c & 31);
}

// The whole layout; end_line() ends each line.
template <class Img, class EndLine>
void put_layout(std::ostream& os, const Img& im, bool file, EndLine end_line) {
  os << im.nl() << ' ' << im.nc();
  end_line();
  end_line();
  const bool pixels = has_pixels(im);
  for (int l = 0; l < im.nl(); l++) {
    if (pixels) put_row(os, im, l, file);
    end_line();
  }
  end_line();
  os << im.lc << ' ' << im.cc;
  end_line();
}

template <class Img>
void write_txt(const Img& image, const std::string& name) {
  Img tmp;
  const Img& im = storage_or_outside(image, tmp);
  const std::string who = message_prefix(ImageTraits<Img>::name, "ImpTxt");
  StdioFile f(name, "w", who + "Abertura ", "");
  std::ostringstream line;
  auto end_line = [&] {
    line << '\n';
    const std::string s = line.str();
    f.write(s.data(), 1, s.size());
    line.str("");
  };
  put_layout(line, im, true, end_line);
  f.finish(who + "Falha na escrita ");
}

template <class Img>
void read_txt(Img& im, const std::string& name) {
  const std::string who = message_prefix(ImageTraits<Img>::name, "LeTxt");
  StdioFile f(name, "r", who + "Abertura ", "");
  int nl, nc;
  LeNum(f, nl);
  LeNum(f, nc);
  if (nl < 0 || nc < 0 || int64_t(nl) * nc > INT32_MAX) erro(who + "Formato incorreta", "");
  // Elements the file cannot hold would fail in the token reader; fail before allocating.
  using E = TextElement<Img>;
  if (tokens_exceed_file(f, int64_t(nl) * nc * E::tokens)) erro(E::missing, "");
  im.desaloca();
  im.aloca(nl, nc);
  if (has_pixels(im))
    for (int l = 0; l < nl; l++) get_row(f, im, l);
  int v;
  LeNumIgnEOF(f, v);
  if (v != minint) {
    im.lc = v;
    LeNumIgnEOF(f, v);
    if (v != minint) im.cc = v;
  }
  f.close();
}

template <class Img>
std::ostream& insert(std::ostream& os, const Img& image) {
  Img tmp;
  const Img& im = storage_or_outside(image, tmp);
  put_layout(os, im, false, [&] { os << std::endl; });
  return os;
}

}  // namespace
}  // namespace vistelmo

std::ostream& operator<<(std::ostream& os, COR c) {
  return os << '(' << int(c.r) << ',' << int(c.g) << ',' << int(c.b) << ')';
}

#define VISTELMO_DEFINE_TEXT_FILES(IMG)                                                 \
  void IMG::ImpTxt(const std::string& name) const { vistelmo::write_txt(*this, name); } \
  void IMG::LeTxt(const std::string& name) { vistelmo::read_txt(*this, name); }         \
  std::ostream& operator<<(std::ostream& os, const IMG& img) { return vistelmo::insert(os, img); }

VISTELMO_DEFINE_TEXT_FILES(IMGBIN)
VISTELMO_DEFINE_TEXT_FILES(IMGGRY)
VISTELMO_DEFINE_TEXT_FILES(IMGCOR)
VISTELMO_DEFINE_TEXT_FILES(IMGSHT)
VISTELMO_DEFINE_TEXT_FILES(IMGFLT)
VISTELMO_DEFINE_TEXT_FILES(IMGDBL)
VISTELMO_DEFINE_TEXT_FILES(IMGCPX)
