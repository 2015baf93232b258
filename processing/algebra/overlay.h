// Colour overlays of grey images, palettes and logic on colour images.
#pragma once

#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// Colours g by the scalar field f: f = 1 red, 0.5 green, small positive values blue, exactly 0
// black; g gives the intensity (its outside value beyond g). The result has f's size.
IMGCOR sobrhsi(const IMGGRY& g, const IMGFLT& f);
// Colours g by the phase of f: phase 0 red, growing counter-clockwise; exactly 0 is black.
IMGCOR sobrhsi(const IMGGRY& g, const IMGCPX& f);

// pal[g(l, c)] for every pixel; pal must hold 256 colours.
IMGCOR palaplic(const IMGGRY& g, const VETOR<COR>& pal);

// Channel-by-channel minimum and maximum of two images of the same size.
IMGCOR operator&&(const IMGCOR& a, const IMGCOR& b);
IMGCOR operator||(const IMGCOR& a, const IMGCOR& b);

// Each pixel times gain plus offset, clamped to 0..255 and rounded; centre and outside value kept.
IMGGRY AjustaIlum(IMGGRY a, double gain, double offset);

#pragma GCC visibility pop
