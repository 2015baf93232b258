// The one traversal behind the spatial correlations and convolutions. Library sources only.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include <type_traits>

#include "foundation/vetor.h"
#include "images/images.h"
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

// Instruction sets of the real row kernel, picked at run time.
enum class RowIsa { kBaseline, kAvx2, kAvx512 };
RowIsa row_isa();
// Test hook: makes the kernels run on isa; false (nothing changes) when the processor lacks it.
bool set_row_isa(RowIsa isa);

// out[j] = sum over p (outer) and q (inner) of taps[p * kc + q] * rows[p][j + dir * q], for
// j = 0 .. n-1, each sum started from 0 and formed in that order (vectorised across j only).
void correlate_row(const double* const* rows, const double* taps, int kl, int kc, int dir, int n,
                   double* out);

// Where the real traversal puts row i's sums: dest(i) gives the n doubles the kernel writes,
// done(i, sums) stores them.
template <class Out>
struct RowStore {
  Out* const* rows;
  std::vector<double> scratch;
  double* dest(int i) {
    if constexpr (std::is_same_v<Out, double>) return rows[i];
    return scratch.data();
  }
  void done(int i, const double* s, int n) {
    if constexpr (!std::is_same_v<Out, double>) {
      Out* d = rows[i];
      for (int j = 0; j < n; j++) d[j] = static_cast<Out>(s[j]);
    }
  }
};

// The same traversal as correlate for real samples with double sums: get(sample) widens a sample
// to double (exactly), the kernel taps are doubles. Samples are gathered a row at a time into a
// ring of kl rows (each source row is resolved and widened once), and the row kernel adds the taps
// over whole rows, so the border costs one gather per row and the inner loops see no checks.
template <class P, class Get, class Store>
void correlate_real(const PlaneRef<P>& src, Get get, char mode, int nl, int nc, const double* taps,
                    int kl, int kc, int row0, int col0, int dir, Store& store) {
  if (nl < 1 || nc < 1) return;
  if (kl < 1 || kc < 1) {
    for (int i = 0; i < nl; i++) {
      double* d = store.dest(i);
      std::fill(d, d + nc, 0.0);
      store.done(i, d, nc);
    }
    return;
  }
  const int reach_l = dir * (kl - 1), reach_c = dir * (kc - 1);
  const int a0 = row0 + std::min(0, reach_l), a1 = row0 + nl - 1 + std::max(0, reach_l);
  const int b0 = col0 + std::min(0, reach_c), b1 = col0 + nc - 1 + std::max(0, reach_c);
  const BorderMap map(mode, src.nl, src.nc, src.lc, src.cc, a0, a1, b0, b1);
  map.require_all();
  const int w = b1 - b0 + 1;

  // Runs of the padded row: [start, start + len) reads the source from index from (or the outside
  // value when from < 0), consecutively.
  struct Run {
    int start, len, from;
  };
  std::vector<Run> runs;
  if (!map.swapped()) {
    for (int k = 0; k < w; k++) {
      const int ib = map.b(b0 + k);
      if (!runs.empty()) {
        Run& r = runs.back();
        if ((ib < 0 && r.from < 0) || (ib >= 0 && r.from >= 0 && ib == r.from + r.len)) {
          r.len++;
          continue;
        }
      }
      runs.push_back({k, 1, ib < 0 ? -1 : ib});
    }
  }
  const double outside = get(src.backg);
  auto load = [&](int a, double* dst) {
    const int ia = map.a(a);
    if (ia < 0) {
      std::fill(dst, dst + w, outside);
    } else if (!map.swapped()) {
      const P* s = src.rows[ia];
      for (const Run& r : runs) {
        double* d = dst + r.start;
        if (r.from < 0) {
          std::fill(d, d + r.len, outside);
        } else {
          const P* f = s + r.from;
          for (int t = 0; t < r.len; t++) d[t] = get(f[t]);
        }
      }
    } else {
      // The first argument selects a column: the padded row runs down that column.
      for (int k = 0; k < w; k++) {
        const int ib = map.b(b0 + k);
        dst[k] = ib < 0 ? outside : get(src.rows[ib][ia]);
      }
    }
  };

  std::vector<double> ring(size_t(kl) * w);
  std::vector<int> held(kl, a0 - 1);
  std::vector<const double*> ptr(kl);
  for (int i = 0; i < nl; i++) {
    for (int p = 0; p < kl; p++) {
      const int a = row0 + i + dir * p, slot = (a - a0) % kl;
      double* row = ring.data() + size_t(slot) * w;
      if (held[slot] != a) {
        load(a, row);
        held[slot] = a;
      }
      ptr[p] = row + (col0 - b0);
    }
    double* d = store.dest(i);
    correlate_row(ptr.data(), taps, kl, kc, dir, nc, d);
    store.done(i, d, nc);
  }
}

// Samples widened to double as they are.
struct Widen {
  template <class P>
  double operator()(P s) const {
    return double(s);
  }
};

// Products as the filters form them: real operands exactly in double.
struct RealProduct {
  template <class Tap, class P>
  double operator()(Tap t, P s) const {
    return double(t) * double(s);
  }
};

// convolucao and ConvHV of a read with the outside value backg instead of a.backg (the smoothing
// filters set it without copying a). convolucao's result is fresh; ConvHV's keeps a's centre and
// takes backg.
IMGFLT convolve_outside(const IMGFLT& a, float backg, const IMGFLT& k, char modo);
IMGDBL convolve_outside(const IMGDBL& a, double backg, const IMGDBL& k, char modo);
IMGFLT separable_outside(const IMGFLT& a, float backg, const VETOR<double>& k, char modo);
IMGDBL separable_outside(const IMGDBL& a, double backg, const VETOR<double>& k, char modo);

}  // namespace vistelmo
