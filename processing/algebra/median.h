// Median filters under a window mask and the moving average.
//
// A mask's stored centre (lc, cc) is laid on each output pixel without mirroring: mask element
// (i, j) meets pixel (l + i - lc, c + j - cc). Its values (0..255) are weights; 0 leaves the
// element out, and samples outside the image are left out.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// Weighted majority: white where the white weight exceeds the black weight (ties and empty
// windows black). Fresh result (default centre, outside white).
IMGBIN mediana(const IMGBIN& a, const IMGGRY& m);

// Weighted median: each sample counted as often as its weight; of n samples the one of rank
// (n-1)/2. Fresh result (default centre, outside 0). A window with no sample is fatal
// ("Erro: deveria ter l<=k<=r"), except for IMGGRY masks of total weight above 19, where such a
// pixel is 0.
IMGGRY mediana(const IMGGRY& a, const IMGGRY& m);
IMGDBL mediana(const IMGDBL& a, const IMGGRY& m);

// Moving average over a window of nl rows by nc columns (indices p - (s-1)/2 .. p + s-1 -
// (s-1)/2). Evaluation e1: 's' separable (a vertical pass, then a horizontal one; the result is
// the operand, centre and outside value kept) or 'n' direct (fresh result, default centre,
// outside 0). Border e2: 'e' leaves outside samples out and divides by their count; 'x' repeats
// the edge pixels and divides by the window size. IMGGRY means are clamped and rounded (also
// between the separable passes); IMGFLT means are summed in double in row-major window order.
// Other letters give a fresh result of zeros. A window size below 1 gives 0 in IMGGRY and the
// IEEE quotient (NaN for 0/0) in IMGFLT.
IMGGRY mediamov(const IMGGRY& a, int nl, int nc, char e1, char e2);
IMGFLT mediamov(const IMGFLT& a, int nl, int nc, char e1, char e2);

#pragma GCC visibility pop
