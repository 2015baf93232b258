// Cut-outs, gluing and pasting of whole pixels.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// Cuts a rectangle out of a; positions beyond a read a's outside value.
//   'i': rows p1..p3 and columns p2..p4, both ends included
//   'u': (p1, p2) is the upper-left pixel of p3 rows by p4 columns
//   'l': (p1, p2) is the lower-right pixel of p3 rows by p4 columns
// Any other letter gives the empty image. The result has the default centre and outside value.
IMGGRY subim(const IMGGRY& a, int p1, int p2, int p3, int p4, char mode);
IMGFLT subim(const IMGFLT& a, int p1, int p2, int p3, int p4, char mode);
IMGCOR subim(const IMGCOR& a, int p1, int p2, int p3, int p4, char mode);

// b to the right of a, gap columns between them, top-aligned; the rest holds fill.
IMGGRY grudah(const IMGGRY& a, const IMGGRY& b, int gap, unsigned char fill);
IMGCOR grudah(const IMGCOR& a, const IMGCOR& b, int gap, COR fill);

// b below a, gap rows between them, left-aligned; the rest holds fill.
IMGGRY grudav(const IMGGRY& a, const IMGGRY& b, int gap, unsigned char fill);
IMGCOR grudav(const IMGCOR& a, const IMGCOR& b, int gap, COR fill);

// Pastes src into dst with src's top-left pixel at (l0, c0). Pixels that fall beyond dst are
// written into dst's outside value, so the last of them in row-major order stays there.
void copia(IMGGRY& dst, int l0, int c0, const IMGGRY& src);
void copia(IMGCOR& dst, int l0, int c0, const IMGCOR& src);

#pragma GCC visibility pop
