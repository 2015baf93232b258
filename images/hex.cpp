// Hexadecimal word text of a binary image: its bit stream as a C array initialiser.
#include <cinttypes>
#include <cstdio>

#include "foundation/file_internal.h"
#include "images/bmp.h"

namespace {

// Writer state shared by ImpHex and __ImpBit: one text at a time.
struct HexState {
  int bits;       // bits pending in word, 0..31 between calls
  uint32_t word;  // pending word
  int on_line;    // words printed on the current line, 0..7 between calls
};
HexState hex_state = {0, 0, 0};

inline void put_bit(FILE* f, bool bit) {
  HexState& s = hex_state;
  s.word = (s.word << 1) | (bit ? 1u : 0u);
  if (++s.bits == 32) {
    std::fprintf(f, "0x%08" PRIx32 ", ", s.word);
    s.on_line++;
    s.word = 0;
    s.bits = 0;
  }
  if (s.on_line == 8) {
    std::fputs("\n", f);
    s.on_line = 0;
  }
}

}  // namespace

void __ImpBit(FILE* f, bool bit) { put_bit(f, bit); }

void ImpHex(const IMGBIN& img, const std::string& name) {
  vistelmo::StdioFile f(name, "wt", "Erro ImpHex - abertura de ",
                        "Erro ImpHex - Faltou memoria setvbuf");
  hex_state = {0, 0, 0};
  std::fprintf(f, "%d, %d,\n", img.nl(), img.nc());

  int64_t count = 0;
  if (img.nl > 0 && img.nc > 0) {
    for (int l = 0; l < img.nl; l++)
      for (int c = 0; c < img.nc; c++) put_bit(f, img(l, c));
    count = static_cast<int64_t>(img.nl) * img.nc;
  }
  for (int64_t k = count; k % 32 != 0; k++) put_bit(f, false);
  f.finish("Erro ImpHex - Falha na escrita ");
}
