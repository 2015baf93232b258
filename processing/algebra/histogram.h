// Histograms and integral images of grey images.
#pragma once

#include "foundation/matriz.h"
#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// h(v): number of pixels of value v, 256 entries.
VETOR<int> histograma(const IMGGRY& a);
// H(v): number of pixels of value v or less; H(255) = nl*nc.
VETOR<int> histogramacumulativo(const IMGGRY& a);

// Inclusive sums over the rectangle (0, 0)..(l, c), nl x nc. The sums are 32-bit and wrap
// modulo 2^32 past the int range, so rectangle sums taken back with wrapping arithmetic stay
// exact while the rectangle's own sum fits. An image without pixels gives an empty matrix.
MATRIZ<int> integral(const IMGGRY& a);
// The same for the squared values.
MATRIZ<int> integral2(const IMGGRY& a);

#pragma GCC visibility pop
