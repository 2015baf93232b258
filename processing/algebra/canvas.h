// Canvas enlargement: an image centred on a larger canvas of one value.
#pragma once

#include "images/images.h"

#pragma GCC visibility push(default)

// An nl x nc image filled with v, with a copied at ((nl-a.nl)/2, (nc-a.nc)/2). The result has
// the default centre and outside value of its class. Fails when a is larger than the canvas.
IMGFLT aumcanvas(const IMGFLT& a, int nl, int nc, float v);
IMGCOR aumcanvas(const IMGCOR& a, int nl, int nc, COR v);
IMGGRY aumcanvas(const IMGGRY& a, int nl, int nc, unsigned char v);
IMGBIN aumcanvas(const IMGBIN& a, int nl, int nc, bool v);

#pragma GCC visibility pop
