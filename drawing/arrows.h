// Pictures for inspecting image data: a vector field drawn as arrows over an enlarged grey
// image, and the grey values of one column or row plotted into a binary image.
//
// Profile styles: '.' one dot per value; ':' a bar from the zero side up to the value; '-' a
// connected staircase. ':' and '-' draw through the integer pen (lcaneta, ccaneta) and leave it
// at the last point drawn.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// Enlarges g by k into a colour image of k*campo.nl x k*campo.nc and draws one red arrow per
// field element sampled every passo rows and columns (real part right, imaginary part up, times
// escala), from the centre of its k x k block; a zero element is a blue dot instead.
IMGCOR sobrfl(const IMGGRY& g, const IMGCPX& campo, double escala, int k, int passo);

// Column c of g: g.nl rows x 256 columns, value v at column v, black on white.
IMGBIN cperfil(const IMGGRY& g, int c, char modo);
// Row l of g: 256 rows x g.nc columns, value v at row 255 - v, black on white.
IMGBIN lperfil(const IMGGRY& g, int l, char modo);

#pragma GCC visibility pop
