// Simple function plots: one image column per element of a vector, the smallest value on the
// bottom row and the largest on the top row.
//
// Modes: '.' one dot per column; ':' a stem from the bottom row up to the value; '-' a
// staircase. ':' and '-' draw through the integer pen (lcaneta, ccaneta) and leave it at the
// last point drawn.
#pragma once

#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// Smallest and largest element; fails unless min < max (an empty or constant vector).
void FuncaoMinMax(const VETOR<double>& v, double& min, double& max);

// nl rows x v.n columns, white, drawn in cor.
IMGCOR simplefuncao2imgcor(const VETOR<double>& v, int nl, char modo, COR cor);
// nl rows x v.n columns, white (branco), drawn in black (preto).
IMGBIN simplefuncao2imgbin(const VETOR<double>& v, int nl, char modo);

#pragma GCC visibility pop
