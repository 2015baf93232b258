// Morphology: erosion and dilation by a rectangle or a structuring image, the hit-or-miss
// transform and disk-shaped structuring images.
//
// A structuring image's stored centre (lc, cc) is the origin: element (i, j) stands for the
// offset (i - lc, j - cc). Binary members are white pixels; IMGSHT members are the values other
// than -32768, each a height; a hit-or-miss mask holds 0 (black), 255 (white) or don't care.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// Erosion (minimum) and dilation (maximum) by an nl x nc rectangle, as a row pass then a column
// pass. Erosion covers offsets -(n-1)/2 .. n-1-(n-1)/2, dilation the reflected range. The result
// is the operand itself (size and centre kept). IMGBIN and IMGGRY read the outside as white/255
// (erosion) or black/0 (dilation) and keep that outside value; IMGFLT reads and keeps the
// operand's outside value and ignores NaN samples. A size below 1 gives the start value
// everywhere: white/255/1e30 for erosion, black/0/-1e30 for dilation.
IMGBIN erosao(IMGBIN a, int nl, int nc);
IMGBIN dilat(IMGBIN a, int nl, int nc);
IMGGRY erosao(const IMGGRY& a, int nl, int nc);
IMGGRY dilat(const IMGGRY& a, int nl, int nc);
IMGFLT erosao(const IMGFLT& a, int nl, int nc);
IMGFLT dilat(const IMGFLT& a, int nl, int nc);

// Erosion and dilation of a by the structuring image b: a fresh image of a's size (default
// centre, outside white). Outside a reads white for erosion and black for dilation; dilation
// reflects b.
IMGBIN operator-(const IMGBIN& a, const IMGBIN& b);
IMGBIN operator+(const IMGBIN& a, const IMGBIN& b);

// Grey erosion: min over members of clamp(a(l + di, c + dj) - s), outside 255. Grey dilation:
// max over members of clamp(a(l - di, c - dj) + s), outside 0. Fresh result (outside 0).
IMGGRY operator-(const IMGGRY& a, const IMGSHT& b);
IMGGRY operator+(const IMGGRY& a, const IMGSHT& b);

// White where a matches every 0 (black) and 255 (white) element of m; outside a reads a's own
// outside value. Fresh result with a black outside value.
IMGBIN hitmiss(const IMGBIN& a, const IMGGRY& m);

// Makes b a disk of odd diameter tam (white or 0 inside, black or -32768 outside) about b's
// centre after resize(tam, tam); returns the number of inside pixels.
int eecircular(int tam, IMGBIN& b);
int eecircular(int tam, IMGSHT& b);

#pragma GCC visibility pop
