// Resolution pyramid of a grey image.
#pragma once

#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// Fills v with L levels, level 0 the finest: each level keeps the pixels at even rows and
// columns of the one before, smoothed first by a 3 x 3 moving average (outside samples left
// out) when modo is 'm'. L is the largest count for which the coarsest level still has at least
// rmin rows and cmin columns; level 0 is the top-left block of a whose sides are multiples of
// 2^(L-1). Levels whose size is unchanged are reused (outside value and centre kept); others
// are new (outside 0, default centre). An image smaller than the minimum is fatal ("Erro
// MATRIZ::operator(l,c) - Indice invalido"), and so are minimums below 1 ("Erro: rmin<=0",
// "Erro: cmin<=0").
void piramide(const IMGGRY& a, VETOR<IMGGRY>& v, int rmin, int cmin, char modo);

#pragma GCC visibility pop
