// Rotation about the image centre by an angle in degrees (positive turns counterclockwise as
// displayed). Letters: interpolation 'n' nearest or 'b' bilinear; frame 'm' the source's frame or
// 'a' the bounding frame of the rotated corner pixels; grey border letter of the element access
// ('C' outside value, 'X' nearest edge pixel).
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

IMGFLT rotacao(const IMGFLT& a, double graus, char interp, char frame);
IMGCPX rotacao(const IMGCPX& a, double graus, char interp, char frame);
IMGGRY rotacao(const IMGGRY& a, double graus, char interp, char frame, char borda);

#pragma GCC visibility pop
