// Zig-zag order of the positions of a grid, as transform coefficients are read.
#pragma once

#include "foundation/points.h"
#include "foundation/vetor.h"

#pragma GCC visibility push(default)

// Resizes v to nl*nc elements and lists the grid along its anti-diagonals from the top-left
// corner, reversing direction on each: (0, 0), (0, 1), (1, 0), (2, 0), (1, 1), (0, 2), ...
void dctzigzag(int nl, int nc, VETOR<PONTOI2>& v);
// The same as row-major indices row * nc + column.
void dctzigzag(int nl, int nc, VETOR<int>& v);

#pragma GCC visibility pop
