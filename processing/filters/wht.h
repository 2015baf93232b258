// Two-dimensional Walsh-Hadamard transform of a square image whose side is a power of two.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// Number of index bits of the side of the last image transformed (0 until the first call).
extern int whtM;

// W(u, v) = (1/N) sum over x, y of a(x, y) K(x, u) K(y, v), and its inverse with the same
// kernel: K(x, u) = (-1)^(sum over i of bit i of x times the parity of the i+1 most significant
// bits of u). Direct sums in double; fresh N x N results. A non-square or empty image, or a side
// that is not a power of two, is fatal.
IMGFLT wht(const IMGFLT& a);
IMGFLT iwht(const IMGFLT& a);

#pragma GCC visibility pop
