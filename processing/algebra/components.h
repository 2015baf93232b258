// Black objects of a binary image: connected-component size filter and blob centres.
//
// Black (preto) pixels are the objects, white the background. The flood fills are iterative
// over a work list, so a component may cover the whole image.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// The black 8-connected components of a with at least m pixels, on white. Fresh result
// (default centre, outside white).
IMGBIN filtcc(const IMGBIN& a, int m);

// One black pixel at the centre of the bounding box of each black 4-connected blob of a, on
// white. Fresh result (default centre, outside white).
IMGBIN findce(const IMGBIN& a);

// Flood fills of filtcc over a marking image: 0 black not yet counted, 64 counted, 128 copied,
// 255 white (also the outside value). Neighbours are read with the outside value.
struct FILTCCB {
  // Marks 64 the 8-connected component of zeros holding (l, c) and returns its size.
  static int contacc(int l, int c, IMGGRY& g);
  // Marks 128 the 8-connected component of 64s holding (l, c) and sets it black in out.
  static void copia(int l, int c, IMGGRY& g, IMGBIN& out);
};

struct FindCeB {
  // Turns white the black 4-connected blob of a holding (l, c) and gives the centre of its
  // bounding box (rounded down) in (lc, cc). Neighbours are read with a's outside value.
  static void centro(IMGBIN& a, int l, int c, int& lc, int& cc);
};

#pragma GCC visibility pop
