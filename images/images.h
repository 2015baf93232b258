// The 2D image family: IMGBIN, IMGGRY, IMGCOR, IMGSHT, IMGFLT, IMGDBL, IMGCPX.
//
// Every class owns one pixel block and a table of row starts; fields are public and in a fixed
// order. Element access takes a border mode:
//   'n' (0) outside value   'x' (1) clamp           'e' (2) fatal outside
//   'r' (3) wrap            'c' (4) centred         's' (5) centred wrap
//   'N' (10) x, y from the bottom-left  'X' (11) Cartesian clamped  'C' (14) Cartesian
// Plain img(l, c), without a mode, reads and writes the outside value (backg) at any position
// outside the image.
//
// Every class, when built or allocated: the centre (lc, cc) is ((nl - 1) / 2, (nc - 1) / 2),
// truncated; the outside value is white (true) in IMGBIN, black (0, 0, 0) in IMGCOR and 0 in
// IMGGRY, IMGSHT, IMGFLT, IMGDBL and IMGCPX. New pixels are black in IMGBIN and 0 in IMGCPX;
// the other classes leave them unset until filled.
// Copies (copy construction, assignment, copia) are deep: pixels, centre and outside value.
// Move construction takes the storage and leaves the source a 0 x 0 image without pixels
// (assignment, even from a temporary, copies).
// resize to another size reallocates without keeping the pixels, and the centre and outside
// value return to the defaults above; resize to the same size changes nothing.
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <type_traits>

#include "foundation/bitref.h"
#include "foundation/int_field.h"
#include "images/cor.h"

#pragma GCC visibility push(default)

class IMGBIN;
class IMGGRY;
class IMGCOR;
class IMGSHT;
class IMGFLT;
class IMGDBL;
class IMGCPX;
class IMGYUV;

// Members shared by the byte-addressed classes; PIXEL is the element type.
#define VISTELMO_IMAGE_COMMON(IMG, PIXEL)                                                        \
  using Pixel = PIXEL;                                                                           \
  explicit IMG(int nl = 0, int nc = 0);                                                          \
  IMG(int nl, int nc, PIXEL v);                                                                  \
  IMG(const IMG& a);                                                                             \
  /* Takes a's storage; a is left without pixels. */                                             \
  IMG(IMG&& a) noexcept;                                                                         \
  ~IMG();                                                                                        \
  void aloca(int nl, int nc);                                                                    \
  void desaloca();                                                                               \
  void copia(const IMG& a);                                                                      \
  void fill(PIXEL v);                                                                            \
  void fill(const PIXEL* a);                                                                     \
  /* An integer value (fill(0)) fills with that value, never as a null array. */                 \
  template <class I,                                                                             \
            std::enable_if_t<std::is_integral_v<I> && std::is_convertible_v<I, PIXEL>, int> = 0> \
  void fill(I v) {                                                                               \
    fill(static_cast<PIXEL>(v));                                                                 \
  }                                                                                              \
  void resize(int nl, int nc);                                                                   \
  IMG& operator=(const IMG& a);                                                                  \
  PIXEL& operator()(int a, int b, char mode);                                                    \
  const PIXEL& operator()(int a, int b, char mode) const {                                       \
    return const_cast<IMG&>(*this)(a, b, mode);                                                  \
  }                                                                                              \
  PIXEL& operator()(int l, int c) {                                                              \
    return (l >= 0 && l < nl.v && c >= 0 && c < nc.v && rows) ? rows[l][c] : backg;              \
  }                                                                                              \
  const PIXEL& operator()(int l, int c) const {                                                  \
    return (l >= 0 && l < nl.v && c >= 0 && c < nc.v && rows) ? rows[l][c] : backg;              \
  }                                                                                              \
  void ImpTxt(const std::string& name) const;                                                    \
  void LeTxt(const std::string& name);

// Conversion constructor, assignment and copy from another image class.
#define VISTELMO_IMAGE_FROM(IMG, SRC) \
  IMG(const SRC& a);                  \
  IMG& operator=(const SRC& a);       \
  void copia(const SRC& a);

class IMGGRY {
 public:
  unsigned char* data;
  unsigned char** rows;
  unsigned char backg;
  IntField nl;
  IntField nc;
  int lc;
  int cc;
  IntField n;

  VISTELMO_IMAGE_COMMON(IMGGRY, unsigned char)
  IMGGRY(int nl, int nc, unsigned char v0, unsigned char v1, ...);
  VISTELMO_IMAGE_FROM(IMGGRY, IMGBIN)
  VISTELMO_IMAGE_FROM(IMGGRY, IMGCOR)
  VISTELMO_IMAGE_FROM(IMGGRY, IMGSHT)
  VISTELMO_IMAGE_FROM(IMGGRY, IMGFLT)
  VISTELMO_IMAGE_FROM(IMGGRY, IMGDBL)
  VISTELMO_IMAGE_FROM(IMGGRY, IMGYUV)

  void ImpTga(const std::string& name) const;
  void LeTga(const std::string& name);
  void LeTgaP(const std::string& name);
  void LeTgaI(const std::string& name);
};

class IMGCOR {
 public:
  COR* data;
  COR** rows;
  COR backg;
  IntField nl;
  IntField nc;
  int lc;
  int cc;
  IntField n;

  VISTELMO_IMAGE_COMMON(IMGCOR, COR)
  // Pixel (0, 0) is (r, g, b); every further pixel takes three int arguments.
  IMGCOR(int nl, int nc, unsigned char r, unsigned char g, unsigned char b, ...);
  VISTELMO_IMAGE_FROM(IMGCOR, IMGBIN)
  VISTELMO_IMAGE_FROM(IMGCOR, IMGGRY)
  VISTELMO_IMAGE_FROM(IMGCOR, IMGFLT)
  VISTELMO_IMAGE_FROM(IMGCOR, IMGYUV)

  // Writes blue, green, red by reordering the pixels in place; they are restored before return.
  void ImpTga(const std::string& name);
  void LeTga(const std::string& name);
  void LeTgaP(const std::string& name);
};

class IMGSHT {
 public:
  short* data;
  short** rows;
  short backg;
  IntField nl;
  IntField nc;
  int lc;
  int cc;
  IntField n;

  VISTELMO_IMAGE_COMMON(IMGSHT, short)
  IMGSHT(int nl, int nc, short v0, short v1, ...);
  VISTELMO_IMAGE_FROM(IMGSHT, IMGGRY)

  void ImpTga(const std::string& name) const;
  void ImpImg(const std::string& name) const;
  void LeImg(const std::string& name);
};

class IMGFLT {
 public:
  float* data;
  float** rows;
  float backg;
  IntField nl;
  IntField nc;
  int lc;
  int cc;
  IntField n;

  VISTELMO_IMAGE_COMMON(IMGFLT, float)
  IMGFLT(int nl, int nc, double v0, double v1, ...);
  VISTELMO_IMAGE_FROM(IMGFLT, IMGBIN)
  VISTELMO_IMAGE_FROM(IMGFLT, IMGGRY)
  VISTELMO_IMAGE_FROM(IMGFLT, IMGCOR)
  VISTELMO_IMAGE_FROM(IMGFLT, IMGDBL)

  void ImpTga(const std::string& name) const;
  void ImpImg(const std::string& name) const;
  void LeImg(const std::string& name);
};

class IMGDBL {
 public:
  double* data;
  double** rows;
  double backg;
  IntField nl;
  IntField nc;
  int lc;
  int cc;
  IntField n;

  VISTELMO_IMAGE_COMMON(IMGDBL, double)
  IMGDBL(int nl, int nc, double v0, double v1, ...);
  VISTELMO_IMAGE_FROM(IMGDBL, IMGBIN)
  VISTELMO_IMAGE_FROM(IMGDBL, IMGGRY)
  VISTELMO_IMAGE_FROM(IMGDBL, IMGCOR)
  VISTELMO_IMAGE_FROM(IMGDBL, IMGFLT)

  void ImpTga(const std::string& name) const;
  void ImpImg(const std::string& name) const;
  void LeImg(const std::string& name);
};

class IMGCPX {
 public:
  std::complex<float>* data;
  std::complex<float>** rows;
  std::complex<float> backg;
  IntField nl;
  IntField nc;
  int lc;
  int cc;
  IntField n;

  VISTELMO_IMAGE_COMMON(IMGCPX, std::complex<float>)
  // Pixel (0, 0) is (re, im); every further pixel takes two double arguments.
  IMGCPX(int nl, int nc, float re, float im, ...);
  VISTELMO_IMAGE_FROM(IMGCPX, IMGBIN)
  VISTELMO_IMAGE_FROM(IMGCPX, IMGGRY)
  VISTELMO_IMAGE_FROM(IMGCPX, IMGCOR)
  VISTELMO_IMAGE_FROM(IMGCPX, IMGFLT)
  IMGCPX(const IMGFLT& re, const IMGFLT& im);

  void ImpImg(const std::string& name) const;
  void LeImg(const std::string& name);
};

// Binary image: 32 pixels to a word, most significant bit first, each row on new words.
// A set bit is white (true). The outside pixel is the lowest bit of the word backg.
class IMGBIN {
 public:
  using Pixel = bool;

  uint32_t* data;
  uint32_t** rows;
  uint32_t backg;
  IntField nl;
  IntField nc;
  int wpr;
  int nw;
  int lc;
  int cc;
  IntField n;

  explicit IMGBIN(int nl = 0, int nc = 0);
  IMGBIN(int nl, int nc, bool v);
  IMGBIN(int nl, int nc, bool v0, bool v1, ...);
  IMGBIN(const IMGBIN& a);
  IMGBIN(IMGBIN&& a) noexcept;  // takes a's storage; a is left without pixels
  ~IMGBIN();
  void aloca(int nl, int nc);
  void desaloca();
  void copia(const IMGBIN& a);
  void fill(bool v);
  void fill(const bool* a);
  // Loads the n pixels from a row-major bit stream packed 32 to a word.
  void fill(const uint32_t* words);
  // The same stream from words wider than 32 bits (their low 32 bits are read).
  void fill(const unsigned long* words);
  // An integer value (fill(0)) fills with that value, never as a null array.
  template <class I, std::enable_if_t<std::is_integral_v<I>, int> = 0>
  void fill(I v) {
    fill(v != 0);
  }
  void resize(int nl, int nc);
  IMGBIN& operator=(const IMGBIN& a);
  VISTELMO_IMAGE_FROM(IMGBIN, IMGGRY)
  VISTELMO_IMAGE_FROM(IMGBIN, IMGCOR)
  VISTELMO_IMAGE_FROM(IMGBIN, IMGFLT)
  VISTELMO_IMAGE_FROM(IMGBIN, IMGCPX)

  BITREF operator()(int a, int b, char mode);
  bool operator()(int a, int b, char mode) const { return const_cast<IMGBIN&>(*this)(a, b, mode); }
  BITREF operator()(int l, int c) {
    if (l >= 0 && l < nl.v && c >= 0 && c < nc.v && rows)
      return BITREF{rows[l] + (c >> 5), 0x80000000u >> (c & 31)};
    return BITREF{&backg, 1u};
  }
  bool operator()(int l, int c) const {
    if (l >= 0 && l < nl.v && c >= 0 && c < nc.v && rows)
      return (rows[l][c >> 5] & (0x80000000u >> (c & 31))) != 0;
    return (backg & 1u) != 0;
  }

  void ImpTxt(const std::string& name) const;
  void LeTxt(const std::string& name);
  // Writes a 1-bit BMP; the words are reordered in place during the call and restored.
  void ImpBmp(const std::string& name);
  void LeBmp(const std::string& name);
};

#undef VISTELMO_IMAGE_COMMON
#undef VISTELMO_IMAGE_FROM

#pragma GCC visibility pop
