// Sampled functions f(0) ... f(n - 1), the index being the abscissa: as shapes for the mapped
// drawing functions, or plotted straight into a binary image.
#pragma once

#include "foundation/points.h"
#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// The shape becomes the n points (i, f(i)).
void fun2shp(const VETOR<double>& f, VETOR<PONTO2>& shape);

// Draws the graph over the image, inside a one-pixel frame: the curve in cor through the integer
// pen (left at the last sample), a black 3 x 3 mark on every sample when marcas is true, and,
// when passo < infinito, the axis y = 0 in cor with black ticks at the multiples of passo on the
// left edge. A lower bound of -infinito or an upper bound of infinito is taken from the samples.
void funcao2imgbin(const VETOR<double>& f, IMGBIN& img, bool cor, bool marcas, double inf,
                   double sup, double passo);

#pragma GCC visibility pop
