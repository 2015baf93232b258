// Ramp palette of 256 colours for colouring grey images.
#pragma once

#include "foundation/vetor.h"
#include "images/cor.h"

#pragma GCC visibility push(default)

// Black through blue, green and red towards white; entry 255 is (255, 252, 252).
VETOR<COR> palkbgrw();

#pragma GCC visibility pop
