// Quarter turns, the upside-down flip and the point reflection of images.
//
// Every operation returns a new image of the operand's type with the operand's outside value.
// The turns move the stored centre with the pixels; virah keeps the centre as it was.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// A quarter turn counter-clockwise as displayed: r(nc-1-c, l) = a(l, c).
IMGBIN rot90(const IMGBIN& a);
IMGGRY rot90(const IMGGRY& a);
IMGCOR rot90(const IMGCOR& a);
IMGSHT rot90(const IMGSHT& a);
IMGFLT rot90(const IMGFLT& a);
IMGCPX rot90(const IMGCPX& a);

// A half turn: r(nl-1-l, nc-1-c) = a(l, c).
IMGBIN rot180(const IMGBIN& a);
IMGGRY rot180(const IMGGRY& a);
IMGCOR rot180(const IMGCOR& a);
IMGFLT rot180(const IMGFLT& a);
IMGCPX rot180(const IMGCPX& a);

// A quarter turn clockwise as displayed: r(c, nl-1-l) = a(l, c).
IMGBIN rot270(const IMGBIN& a);
IMGGRY rot270(const IMGGRY& a);
IMGCOR rot270(const IMGCOR& a);
IMGFLT rot270(const IMGFLT& a);
IMGCPX rot270(const IMGCPX& a);

// Upside down: r(nl-1-l, c) = a(l, c); the centre is kept unchanged.
IMGBIN virah(const IMGBIN& a);
IMGGRY virah(const IMGGRY& a);
IMGSHT virah(const IMGSHT& a);

// Reflection through the centre of the pixel block, the same as rot180.
IMGBIN operator~(const IMGBIN& a);
IMGCPX operator~(const IMGCPX& a);

#pragma GCC visibility pop
