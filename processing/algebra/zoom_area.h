// Zoom to a new size by area averaging (factor below 1) or linear interpolation, aligned at the
// first row and column. The passes are ZoomF::zoomc (columns) and ZoomF::zooml (rows), declared
// with the other float passes in processing/algebra/zoom.h.
#pragma once

#include "images/images.h"
#include "processing/algebra/zoom.h"

#pragma GCC visibility push(default)

// a scaled by fatl along the rows and fatc along the columns: round(nl fatl) by round(nc fatc).
IMGFLT zoomfat(const IMGFLT& a, double fatl, double fatc);
// a resampled to exactly nl rows and nc columns.
IMGFLT zoomnp(const IMGFLT& a, int nl, int nc);
IMGGRY zoomnp(const IMGGRY& a, int nl, int nc);
IMGCOR zoomnp(const IMGCOR& a, int nl, int nc);

#pragma GCC visibility pop
