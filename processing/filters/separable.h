// Separable convolution with a 1-D kernel along rows, columns, or both in turn.
#pragma once

#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// The kernel's n taps are read by index and centred on tap (n-1)/2 = c0; it is mirrored:
// ConvH gives r(i, j) = sum over t of k[t] a(i, j + c0 - t, modo), ConvV the same down the
// columns. Fresh results of a's size (default centre, outside value 0), sums in double.
IMGDBL ConvH(const IMGDBL& a, const VETOR<double>& k, char modo);
IMGDBL ConvV(const IMGDBL& a, const VETOR<double>& k, char modo);
IMGFLT ConvH(const IMGFLT& a, const VETOR<double>& k, char modo);
IMGFLT ConvV(const IMGFLT& a, const VETOR<double>& k, char modo);

// Rows, then columns: the column pass reads the row pass's fresh intermediate image under modo
// (outside value 0, default centre). The result keeps a's centre and outside value; an IMGFLT
// intermediate is rounded to float.
IMGDBL ConvHV(const IMGDBL& a, const VETOR<double>& k, char modo);
IMGFLT ConvHV(const IMGFLT& a, const VETOR<double>& k, char modo);
// Each channel on the 0..255 scale with the edges continued (mode 'x'); the intermediate is
// held in float, the result clamped to 0..255 and rounded with halves away from zero.
IMGCOR ConvHV(const IMGCOR& a, const VETOR<double>& k);

#pragma GCC visibility pop
