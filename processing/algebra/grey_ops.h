// Two grey images of one size combined pixel by pixel, in int on the byte values.
// Results are new images of the first operand's size with the default centre; a size
// mismatch is fatal.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// |a - b|; the outside value stays 0.
IMGGRY difabs(const IMGGRY& a, const IMGGRY& b);
// a + b saturated at 255, and a - b saturated at 0; outside values by the same rule.
IMGGRY operator+(const IMGGRY& a, const IMGGRY& b);
IMGGRY operator-(const IMGGRY& a, const IMGGRY& b);
// Pointwise minimum and maximum; outside values by the same rule.
IMGGRY operator&&(const IMGGRY& a, const IMGGRY& b);
IMGGRY operator||(const IMGGRY& a, const IMGGRY& b);

#pragma GCC visibility pop
