// Bitmap text, and the drawing state built at load: the point pen, then the font sheet.
#include "drawing/text.h"

#include "drawing/lines.h"
#include "drawing/paint_internal.h"
#include "formats/image_io.h"

namespace draw = vistelmo::draw;

// Load order matters: the pen, the empty sheet, then the object that fills the sheet.
PONTOI2 caneta(0, 0);
int lcaneta = 0;
int ccaneta = 0;
IMGBIN PutTxt::f;
int PutTxt::borda = 5;
PutTxt::__PutTxt PutTxt::__puttxt;

namespace {

constexpr int kSheetRows = 251, kSheetCols = 381;

template <class Img, class V>
void puttxt_t(Img& img, int l, int c, const std::string& s, V cor, int scale, bool transparent,
              V fundo) {
  const auto ink = draw::ink(img, cor);
  const auto paper = draw::ink(img, fundo);
  const IMGBIN& f = PutTxt::f;
  const int B = PutTxt::borda;
  const int64_t h = (24 - 2 * static_cast<int64_t>(B)) * scale;
  const int64_t w = (18 - 2 * static_cast<int64_t>(B)) * scale;
  if (scale < 1) return;  // draws nothing
  int64_t x = c;
  for (const char ch : s) {
    if (ch == '\0') break;
    int cl, cc;
    PutTxt::PosicaoInicial(static_cast<signed char>(ch), cl, cc);
    const int64_t r0 = int64_t{cl} + B, c0 = int64_t{cc} + B;  // top-left of the visible glyph
    for (int64_t r = 0; r < h; r++) {
      const int fr = draw::clip(r0 + r / scale);
      for (int64_t q = 0; q < w; q++) {
        if (!f(fr, draw::clip(c0 + q / scale)))
          ink(l + r, x + q);
        else if (!transparent)
          paper(l + r, x + q);
      }
    }
    x += w;
  }
}

}  // namespace

PutTxt::__PutTxt::__PutTxt() {
  f.resize(kSheetRows, kSheetCols);
  f.fill(fixedsys);
  f.backg |= 1u;
  borda = 5;
}

void PutTxt::PosicaoInicial(int ch, int& l, int& c) {
  if (ch == 32)
    ch = 160;
  else if (ch < 32)
    ch = 183;
  // In 64 bits, then wrapped to int, so that a huge code cannot overflow.
  const int64_t k = int64_t{ch} - 33;
  l = static_cast<int>((k / 20) * 25 + 1);
  c = static_cast<int>((k % 20) * 19 + 1);
}

void lefont(const std::string& name, int margin) {
  le(PutTxt::f, name);
  PutTxt::f.backg |= 1u;
  PutTxt::borda = margin;
}

void puttxt(IMGCOR& img, int l, int c, const std::string& s, COR cor, int scale, bool transparent,
            COR fundo) {
  puttxt_t(img, l, c, s, cor, scale, transparent, fundo);
}
void puttxt(IMGYUV& img, int l, int c, const std::string& s, COR cor, int scale, bool transparent,
            COR fundo) {
  puttxt_t(img, l, c, s, cor, scale, transparent, fundo);
}
void puttxt(IMGGRY& img, int l, int c, const std::string& s, unsigned char cor, int scale,
            bool transparent, unsigned char fundo) {
  puttxt_t(img, l, c, s, cor, scale, transparent, fundo);
}
void puttxt(IMGBIN& img, int l, int c, const std::string& s, bool cor, int scale, bool transparent,
            bool fundo) {
  puttxt_t(img, l, c, s, cor, scale, transparent, fundo);
}
