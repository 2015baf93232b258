// Photometric registration by random sampling: b ~ gain * a + offset on values scaled to 0..1.
#pragma once

#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

struct Ransac {
  // One hypothesis: two sample positions (row, column) in the working images, the relation
  // fitted exactly through them, and its score (smaller is better).
  struct elemento {
    int l1, c1, l2, c2;
    double gain, offset, err;
  };
};

extern template class VETOR<Ransac::elemento>;

// Resamples a and b (same size, else "Erro: Dimensoes diferentes") to nl x nc with zoomnp, draws
// niter position pairs from RANDOM(seed) (l1, c1, l2, c2 per hypothesis), fits each pair
// exactly and scores it by sqrt(mean of the K = round(nl frac nc) smallest absolute
// residuals); pairs of equal a values or equal b values score 1e30. Writes the best (earliest
// on ties; the first when all score 1e30) into gain, offset and err.
void RANSAC(const IMGGRY& a, const IMGGRY& b, double& gain, double& offset, double& err,
            double frac, int nl, int nc, int niter, int seed);

#pragma GCC visibility pop
