// Pixelwise logic on binary images and the interval operator.
// Results are new images of the first operand's size with the default centre.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// Exclusive or, and, or; the outside value by the same rule. A size mismatch is fatal.
IMGBIN operator^(const IMGBIN& a, const IMGBIN& b);
IMGBIN operator&&(const IMGBIN& a, const IMGBIN& b);
IMGBIN operator||(const IMGBIN& a, const IMGBIN& b);

// Interval operator: white where, over the window laid on the pixel (element (i, j) meets
// a(l + i - lc, c + j - cc), no reflection, outside value beyond a), a is white wherever e1 is
// white and black wherever e2 is black. e1 and e2 must agree in size and centre. The result
// keeps the constructor's outside value (white).
IMGBIN primint(const IMGBIN& a, const IMGBIN& e1, const IMGBIN& e2);

#pragma GCC visibility pop
