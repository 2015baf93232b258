// IMGYUV: a planar 4:2:0 frame (Y plane, then U, then V) held in one IMGGRY.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

class IMGYUV {
 public:
  int uoff;  // index of the first U byte in img's block
  int voff;  // index of the first V byte
  int cw;    // bytes per row of a chroma plane
  IntField nl;
  IntField nc;
  COR backg;  // (Y, U, V)
  IMGGRY img;

  explicit IMGYUV(int nl = 0, int nc = 0);
  IMGYUV(const IMGCOR& c);
  IMGYUV(const IMGGRY& g);
  IMGYUV(const IMGYUV& y);
  ~IMGYUV() = default;

  void aloca(int nl, int nc);
  void resize(int nl, int nc);
  void desaloca() {}
  // Rebuilds the fields from an img sized and filled elsewhere.
  void inicializa();
  void fill(COR v);

  IMGYUV& operator=(const IMGYUV& y);
  IMGYUV& operator=(const IMGCOR& c);
  IMGYUV& operator=(const IMGGRY& g);
  void copia(const IMGYUV& y);
  void copia(const IMGCOR& c);
  void copia(const IMGGRY& g);
};

#pragma GCC visibility pop
