// Image file type codes from a name's suffix and from a file's content.
#include "formats/filetype.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>

#include "foundation/binary_internal.h"
#include "foundation/erro.h"
#include "foundation/file_internal.h"
#include "foundation/tokens.h"

using vistelmo::get16;
using vistelmo::get32;

namespace {

const char* const kTipoAbertura = "Erro TipoImg - Abertura ";
const char* const kTipoAviInvalido =
    "Erro TipoImg - Formato deve ser JPG ou um dos nao-compactados: BMP-1bit ou TGA-8bits ou "
    "TGA-24bits ou .TXT (MAT) ou .IMG ou .AVI";
const char* const kTipoDesconhecido =
    "Erro TipoImg - Formato deve ser JPG ou um dos nao-compactados: BMP-1bit ou TGA-8bits ou "
    "TGA-24bits ou .TXT (MAT) ou .IMG ou .AVIou PBM ou PGM ou PPM";

const int kHeaderBytes = 192;

// True when "%d" converts exactly one value from the start of text.
bool scan_int(const std::string& text, int& v) { return std::sscanf(text.c_str(), "%d", &v) == 1; }

struct SuffixCode {
  const char* suffix;
  int tipo;
};

// Suffixes whose code does not depend on the number.
const SuffixCode kSuffixes[] = {
    {"tga", TIPO_TGA_GRY}, {"bmp", TIPO_BMP},  {"txt", TIPO_TXT},  {"mat", TIPO_TXT},
    {"img", TIPO_IMGSHT},  {"avi", TIPO_AVI8}, {"has", TIPO_AVI8}, {"jpg", TIPO_JPG},
};

// Portable anymaps: binary with number 0, text otherwise.
struct AnymapCode {
  const char* suffix;
  int binary;
  int text;
};

const AnymapCode kAnymaps[] = {
    {"pbm", TIPO_PBMB, TIPO_PBMT},
    {"pgm", TIPO_PGMB, TIPO_PGMT},
    {"ppm", TIPO_PPMB, TIPO_PPMT},
};

struct Magic {
  const char* text;
  int tipo;
};

const Magic kImgMagics[] = {
    {"IMGSHT*", TIPO_IMGSHT}, {"IMGFLT*", TIPO_IMGFLT}, {"I3DFLT*", TIPO_I3DFLT},
    {"IMGCPX*", TIPO_IMGCPX}, {"I3DSHT*", TIPO_I3DSHT}, {"IMGDBL*", TIPO_IMGDBL},
    {"I3DCPX*", TIPO_I3DCPX},
};

const Magic kAnymapMagics[] = {
    {"P1", TIPO_PBMT}, {"P2", TIPO_PGMT}, {"P3", TIPO_PPMT},
    {"P4", TIPO_PBMB}, {"P5", TIPO_PGMB}, {"P6", TIPO_PPMB},
};

// The first len bytes of the header as text; a zero byte ends it early.
std::string header_text(const uint8_t* h, size_t len) {
  const char* p = reinterpret_cast<const char*>(h);
  return std::string(p, strnlen(p, len));
}

bool bytes_are(const uint8_t* h, std::initializer_list<uint8_t> expected) {
  size_t i = 0;
  for (uint8_t b : expected)
    if (h[i++] != b) return false;
  return true;
}

bool is_tga_grey(const uint8_t* h) {
  return bytes_are(h, {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}) && h[16] == 8;
}

bool is_tga_palette(const uint8_t* h) {
  return bytes_are(h, {0, 1, 1, 0, 0}) && h[7] == 24 && get32(h + 8) == 0 && h[16] == 8;
}

bool is_tga_colour(const uint8_t* h) {
  return bytes_are(h, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}) && h[16] == 24;
}

bool is_bmp_1bit(const uint8_t* h) {
  const uint32_t used = get32(h + 46);
  return h[0] == 'B' && h[1] == 'M' && get16(h + 28) == 1 && get32(h + 30) == 0 &&
         (used == 0 || used == 2);
}

bool is_jpeg(const uint8_t* h) { return h[0] == 0xFF && h[1] == 0xD8; }

bool is_avi(const uint8_t* h) {
  return std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "AVI ", 4) == 0;
}

// Depth code of an AVI whose stream format sits where the library's own writer puts it.
int avi_code(const uint8_t* h) {
  const uint32_t planes = get16(h + 184), bits = get16(h + 186), compression = get32(h + 188);
  if (planes == 1 && compression == 0 && bits == 8) return TIPO_AVI8;
  if (planes == 1 && compression == 0 && bits == 24) return TIPO_AVI24;
  erro(kTipoAviInvalido, "");
}

// A text file whose first two tokens both begin with an integer.
bool is_text_matrix(const std::string& name) {
  vistelmo::StdioFile f(name, "rt", kTipoAbertura, "");
  const std::string a = LeStr(f);
  const std::string b = LeStr(f);
  f.close();
  int v;
  const bool first = scan_int(a, v);
  const bool second = scan_int(b, v);
  return first && second;
}

int magic_code(const std::string& text, const Magic* begin, const Magic* end) {
  for (const Magic* m = begin; m != end; ++m)
    if (text == m->text) return m->tipo;
  return 0;
}

}  // namespace

std::string sufixoimg(std::string name, int& tipo, int& num) {
  if (name.size() < 1 || name.size() > 255) erro("Erro: nome arquivo invalido", "");
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) {
    tipo = TIPO_SEM_SUFIXO;
    num = 0;
    return name;
  }
  std::string suffix = minuscula(name.substr(dot + 1));
  num = 0;
  if (suffix.size() > 3) {
    if (!scan_int(suffix.substr(3), num)) erro("Erro suf do arquivo: numero apos suf", "");
    suffix.resize(3);
    name.resize(dot + 4);
  }

  tipo = TIPO_DESCONHECIDO;
  for (const SuffixCode& s : kSuffixes)
    if (suffix == s.suffix) tipo = s.tipo;
  for (const AnymapCode& a : kAnymaps)
    if (suffix == a.suffix) tipo = num == 0 ? a.binary : a.text;
  if (tipo == TIPO_JPG && num == 0) num = 90;
  return name;
}

int TipoImg(const std::string& name) {
  // Zero-filled, so a short file is judged on zeros past its end.
  uint8_t h[kHeaderBytes] = {};
  {
    vistelmo::StdioFile f(name, "rb", kTipoAbertura, "");
    f.read(h, 1, sizeof h);
  }

  if (is_tga_grey(h)) return TIPO_TGA_GRY;
  if (is_tga_palette(h)) return TIPO_TGA_PAL;
  if (is_tga_colour(h)) return TIPO_TGA_COR;
  if (is_bmp_1bit(h)) return TIPO_BMP;
  if (is_jpeg(h)) return TIPO_JPG;
  if (is_avi(h)) return avi_code(h);
  if (is_text_matrix(name)) return TIPO_TXT;
  if (int t = magic_code(header_text(h, 7), std::begin(kImgMagics), std::end(kImgMagics))) return t;
  if (int t = magic_code(header_text(h, 2), std::begin(kAnymapMagics), std::end(kAnymapMagics)))
    return t;
  erro(kTipoDesconhecido, "");
}

void ConvArg(double& x, const std::string& text) {
  if (std::sscanf(text.c_str(), "%lf", &x) != 1) erro("Erro: Leitura ", text);
}

void ConvArg(int& x, const std::string& text) {
  if (!scan_int(text, x)) erro("Erro: Leitura ", text);
}
