// Text in the built-in one-bit font.
//
// The font sheet is a binary image of 10 x 20 cells of 25 x 19 pixels with a one-pixel ink grid
// (paper true, ink false); codes 33 to 232 fill the cells in reading order. A space draws cell
// 160 and a code below 32 (also a byte above 127, read as signed) cell 183. The visible glyph is
// the cell interior less borda pixels on every side: 14 x 8 with the default margin of 5.
// The font sheet and the text position are process-wide: write text from one thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "images/images.h"
#include "images/yuv.h"

#pragma GCC visibility push(default)

class PutTxt {
 public:
  PutTxt() = delete;

  static constexpr int kWords = 2989;  // 251 x 381 pixels, 32 to a word
  // The built-in sheet as one row-major bit stream, most significant bit first.
  static const uint32_t fixedsys[kWords];
  static IMGBIN f;   // the sheet in use
  static int borda;  // margin cut from each side of a cell interior

  // Builds the built-in sheet at load.
  class __PutTxt {
   public:
    __PutTxt();
  };
  static __PutTxt __puttxt;

  // Top-left interior pixel of the cell of character ch.
  static void PosicaoInicial(int ch, int& l, int& c);
};

// Replaces the sheet by any image file read as binary and sets the margin.
void lefont(const std::string& name, int margin);

// Draws s with its top-left corner at (l, c), each font pixel a scale x scale block. Ink takes
// the colour; paper is left alone when transparent, else painted with the background.
void puttxt(IMGCOR& img, int l, int c, const std::string& s, COR cor, int scale, bool transparent,
            COR fundo);
// The colours are (Y, U, V).
void puttxt(IMGYUV& img, int l, int c, const std::string& s, COR cor, int scale, bool transparent,
            COR fundo);
void puttxt(IMGGRY& img, int l, int c, const std::string& s, unsigned char cor, int scale,
            bool transparent, unsigned char fundo);
void puttxt(IMGBIN& img, int l, int c, const std::string& s, bool cor, int scale, bool transparent,
            bool fundo);

#pragma GCC visibility pop
