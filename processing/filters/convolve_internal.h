// The one traversal behind the spatial correlations and convolutions. Library sources only.
#pragma once

#include <algorithm>
#include <vector>

#include "processing/filters/border_internal.h"

namespace vistelmo {

// A read-only view of an image plane for the traversal: row starts, size, centre, outside value.
template <class P>
struct PlaneRef {
  const P* const* rows;
  int nl, nc, lc, cc;
  P backg;
};

template <class Img>
PlaneRef<typename Img::Pixel> plane_of(const Img& a) {
  return {a.rows, a.nl(), a.nc(), a.lc, a.cc, a.backg};
}

// Taps of a kl x kc kernel, row-major.
template <class Tap>
struct KernelRef {
  const Tap* taps;
  int kl, kc;
  bool empty() const { return kl < 1 || kc < 1 || taps == nullptr; }
};

// For every output (i, j) of an nl x nc grid, rows outer and columns inner:
//   sum over p (outer) and q (inner) of prod(k(p, q), src(row0 + i + dir*p, col0 + j + dir*q,
//   mode))
// started from Acc{} and handed to store(i, j, sum). dir = -1 convolves (the kernel mirrored),
// dir = +1 correlates. Samples come from the element access under mode, resolved once; the
// access fails as it would at the first sample when the mode is invalid or 'e' reaches outside.
// With no output or no kernel nothing is read, and every output receives Acc{}.
template <class Acc, class P, class Tap, class Prod, class Store>
void correlate(const PlaneRef<P>& src, char mode, int nl, int nc, const KernelRef<Tap>& k, int row0,
               int col0, int dir, Prod prod, Store store) {
  if (nl < 1 || nc < 1) return;
  if (k.empty()) {
    for (int i = 0; i < nl; i++)
      for (int j = 0; j < nc; j++) store(i, j, Acc{});
    return;
  }
  const int reach_l = dir * (k.kl - 1), reach_c = dir * (k.kc - 1);
  const int a0 = row0 + std::min(0, reach_l), a1 = row0 + nl - 1 + std::max(0, reach_l);
  const int b0 = col0 + std::min(0, reach_c), b1 = col0 + nc - 1 + std::max(0, reach_c);
  const BorderMap map(mode, src.nl, src.nc, src.lc, src.cc, a0, a1, b0, b1);
  const BorderPadded<P> pad(map, src.rows, src.backg, a0, a1, b0, b1);

  // Each output row gathers its terms tap by tap; every pixel still adds them in (p, q) order.
  std::vector<Acc> acc(nc);
  for (int i = 0; i < nl; i++) {
    std::fill(acc.begin(), acc.end(), Acc{});
    for (int p = 0; p < k.kl; p++) {
      const Tap* krow = k.taps + size_t(p) * k.kc;
      for (int q = 0; q < k.kc; q++) {
        const Tap t = krow[q];
        const P* s = pad.at(row0 + i + dir * p, col0 + dir * q);
        for (int j = 0; j < nc; j++) acc[j] += prod(t, s[j]);
      }
    }
    for (int j = 0; j < nc; j++) store(i, j, acc[j]);
  }
}

// Products as the filters form them: real operands exactly in double.
struct RealProduct {
  template <class Tap, class P>
  double operator()(Tap t, P s) const {
    return double(t) * double(s);
  }
};

}  // namespace vistelmo
