// The one traversal behind the spatial correlations and convolutions. Library sources only.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include <type_traits>

#include "foundation/memory_internal.h"
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

// A fresh nl x nc image whose pages are mapped at once: the filters overwrite every pixel.
template <class Img>
Img fresh_image(int nl, int nc) {
  Img r(nl, nc);
  if (nl > 0 && nc > 0 && r.data) prefault(r.data, size_t(nl) * size_t(nc) * sizeof(*r.data));
  return r;
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
// d[j] = s[j] widened; d[j] = s[j] rounded to float; d[j] rounded to float and back.
void widen_row(const float* s, double* d, int n);
void narrow_row(const double* s, float* d, int n);
void round_row_to_float(double* d, int n);

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
    if constexpr (std::is_same_v<Out, float>) {
      narrow_row(s, rows[i], n);
    } else if constexpr (!std::is_same_v<Out, double>) {
      Out* d = rows[i];
      for (int j = 0; j < n; j++) d[j] = static_cast<Out>(s[j]);
    }
  }
};

// Samples widened to double as they are.
struct Widen {
  template <class P>
  double operator()(P s) const {
    return double(s);
  }
};

// Samples as they are.
struct AsIs {
  template <class P>
  const P& operator()(const P& s) const {
    return s;
  }
};

// Padded rows of a plane under a border map: row a holds the samples (a, b) for b = b0 .. b0+w-1,
// turned into T by get. The map must cover a and b (require_all done by the caller).
template <class P, class Get, class T = double>
class RowGather {
 public:
  RowGather(const PlaneRef<P>& src, Get get, const BorderMap& map, int b0, int w)
      : src_(src), get_(get), map_(map), b0_(b0), w_(w), outside_(get(src.backg)) {
    if (map.swapped()) return;
    for (int k = 0; k < w; k++) {
      const int ib = map.b(b0 + k);
      if (!runs_.empty()) {
        Run& r = runs_.back();
        if ((ib < 0 && r.from < 0) || (ib >= 0 && r.from >= 0 && ib == r.from + r.len)) {
          r.len++;
          continue;
        }
      }
      runs_.push_back({k, 1, ib < 0 ? -1 : ib});
    }
  }

  // Whether row a is the source row itself, unpadded: one run reading columns 0 .. w-1.
  bool identity() const {
    return runs_.size() == 1 && runs_[0].from == 0 && runs_[0].len == src_.nc && w_ == src_.nc;
  }

  // Row a's runs taken from a source row already converted (not for the swapped modes).
  void gather_from(const T* s, T* dst) const {
    for (const Run& r : runs_) {
      if (r.from < 0)
        std::fill(dst + r.start, dst + r.start + r.len, outside_);
      else
        std::copy(s + r.from, s + r.from + r.len, dst + r.start);
    }
  }

  void operator()(int a, T* dst) const {
    const int ia = map_.a(a);
    if (ia < 0) {
      std::fill(dst, dst + w_, outside_);
    } else if (!map_.swapped()) {
      const P* s = src_.rows[ia];
      for (const Run& r : runs_) {
        T* d = dst + r.start;
        if (r.from < 0) {
          std::fill(d, d + r.len, outside_);
        } else {
          const P* f = s + r.from;
          if constexpr (std::is_same_v<P, float> && std::is_same_v<T, double>)
            widen_row(f, d, r.len);
          else
            for (int t = 0; t < r.len; t++) d[t] = get_(f[t]);
        }
      }
    } else {
      // The first argument selects a column: the padded row runs down that column.
      for (int k = 0; k < w_; k++) {
        const int ib = map_.b(b0_ + k);
        dst[k] = ib < 0 ? outside_ : get_(src_.rows[ib][ia]);
      }
    }
  }

 private:
  // [start, start + len) of the padded row reads the source from column from on, or the outside
  // value when from < 0.
  struct Run {
    int start, len, from;
  };
  PlaneRef<P> src_;
  Get get_;
  const BorderMap& map_;
  int b0_, w_;
  T outside_;
  std::vector<Run> runs_;
};

// Output rows i = 0 .. nl-1 over padded rows of width w: load(a, dst) fills the padded row a
// (first arguments from a0 on); output row i reads the kl padded rows row0 + i + dir * p, and
// row(i, ptr) gets them with ptr[p] pointing off elements into row p. Rows are kept in a ring of
// kl and loaded once.
template <class T, class Load, class Row>
void traverse_rows(Load& load, int a0, int w, int nl, int kl, int row0, int off, int dir, Row row) {
  std::vector<T> ring(size_t(kl) * w);
  std::vector<int> held(kl, a0 - 1);
  std::vector<const T*> ptr(kl);
  for (int i = 0; i < nl; i++) {
    for (int p = 0; p < kl; p++) {
      const int a = row0 + i + dir * p, slot = (a - a0) % kl;
      T* r = ring.data() + size_t(slot) * w;
      if (held[slot] != a) {
        load(a, r);
        held[slot] = a;
      }
      ptr[p] = r + off;
    }
    row(i, ptr.data());
  }
}

// The real row kernel over the ring, its sums handed to store.
template <class Load, class Store>
void traverse_real(Load& load, int a0, int w, int nl, int nc, const double* taps, int kl, int kc,
                   int row0, int off, int dir, Store& store) {
  traverse_rows<double>(load, a0, w, nl, kl, row0, off, dir, [&](int i, const double* const* ptr) {
    double* d = store.dest(i);
    correlate_row(ptr, taps, kl, kc, dir, nc, d);
    store.done(i, d, nc);
  });
}

// The first and last first arguments (a) and second arguments (b) that an nl x nc output reads.
struct Reach {
  int a0, a1, b0, b1;
  Reach(int nl, int nc, int kl, int kc, int row0, int col0, int dir)
      : a0(row0 + std::min(0, dir * (kl - 1))),
        a1(row0 + nl - 1 + std::max(0, dir * (kl - 1))),
        b0(col0 + std::min(0, dir * (kc - 1))),
        b1(col0 + nc - 1 + std::max(0, dir * (kc - 1))) {}
};

template <class Store>
void store_zeros(int nl, int nc, Store& store) {
  for (int i = 0; i < nl; i++) {
    double* d = store.dest(i);
    std::fill(d, d + nc, 0.0);
    store.done(i, d, nc);
  }
}

// The same traversal as correlate for real samples with double sums: get(sample) widens a sample
// to double (exactly), the kernel taps are doubles. Samples are gathered a row at a time into a
// ring of kl rows (each source row is resolved and widened once), and the row kernel adds the taps
// over whole rows, so the border costs one gather per row and the inner loops see no checks.
template <class P, class Get, class Store>
void correlate_real(const PlaneRef<P>& src, Get get, char mode, int nl, int nc, const double* taps,
                    int kl, int kc, int row0, int col0, int dir, Store& store) {
  if (nl < 1 || nc < 1) return;
  if (kl < 1 || kc < 1) return store_zeros(nl, nc, store);
  const Reach r(nl, nc, kl, kc, row0, col0, dir);
  const BorderMap map(mode, src.nl, src.nc, src.lc, src.cc, r.a0, r.a1, r.b0, r.b1);
  map.require_all();
  const int w = r.b1 - r.b0 + 1;
  RowGather<P, Get> gather(src, get, map, r.b0, w);
  traverse_real(gather, r.a0, w, nl, nc, taps, kl, kc, row0, col0 - r.b0, dir, store);
}

// ConvHV of src without an intermediate image: the column pass pulls each row of the row pass
// (rounded to Mid, the intermediate's pixel type) when it first needs it. The intermediate has
// src's size, the default centre and outside value 0. False (nothing done) for the modes whose
// first argument selects a column: those need the whole intermediate.
template <class Mid, class P, class Get, class Store>
bool separable_fused(const PlaneRef<P>& src, Get get, char mode, const double* taps, int n,
                     Store& store) {
  const int nl = src.nl, nc = src.nc, c0 = (n - 1) / 2;
  if (nl < 1 || nc < 1) return true;
  if (n < 1) {
    store_zeros(nl, nc, store);
    return true;
  }
  const Reach rh(nl, nc, 1, n, 0, c0, -1), rv(nl, nc, n, 1, c0, 0, -1);
  const BorderMap mh(mode, nl, nc, src.lc, src.cc, rh.a0, rh.a1, rh.b0, rh.b1);
  const BorderMap mv(mode, nl, nc, default_centre(nl), default_centre(nc), rv.a0, rv.a1, rv.b0,
                     rv.b1);
  if (mh.swapped()) return false;
  mh.require_all();
  mv.require_all();
  const int wh = rh.b1 - rh.b0 + 1;
  RowGather<P, Get> gather_h(src, get, mh, rh.b0, wh);
  std::vector<double> padded(wh), mid(nc);
  const double* hp = padded.data() + (c0 - rh.b0);
  // Row l of the intermediate, as its pixels hold it.
  auto mid_row = [&](int l, double* dst) {
    gather_h(l, padded.data());
    correlate_row(&hp, taps, 1, n, -1, nc, dst);
    if constexpr (std::is_same_v<Mid, float>) round_row_to_float(dst, nc);
  };
  const Mid* const mid_rows[1] = {nullptr};
  const PlaneRef<Mid> mid_plane{mid_rows, nl, nc, default_centre(nl), default_centre(nc), Mid{}};
  RowGather<Mid, Widen> gather_v(mid_plane, Widen{}, mv, rv.b0, nc);
  int held = -1;
  auto load = [&](int a, double* dst) {
    const int l = mv.a(a);
    if (l < 0) {
      std::fill(dst, dst + nc, 0.0);
    } else if (gather_v.identity()) {
      mid_row(l, dst);
    } else {
      if (held != l) mid_row(l, mid.data()), held = l;
      gather_v.gather_from(mid.data(), dst);
    }
  };
  traverse_real(load, rv.a0, nc, nl, nc, taps, n, 1, c0, 0, -1, store);
  return true;
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
// With no output or no kernel nothing is read, and every output receives Acc{}. The samples of
// any pixel type; correlate_real serves the real ones faster.
template <class Acc, class P, class Tap, class Prod, class Store>
void correlate(const PlaneRef<P>& src, char mode, int nl, int nc, const KernelRef<Tap>& k, int row0,
               int col0, int dir, Prod prod, Store store) {
  if (nl < 1 || nc < 1) return;
  if (k.empty()) {
    for (int i = 0; i < nl; i++)
      for (int j = 0; j < nc; j++) store(i, j, Acc{});
    return;
  }
  const Reach r(nl, nc, k.kl, k.kc, row0, col0, dir);
  const BorderMap map(mode, src.nl, src.nc, src.lc, src.cc, r.a0, r.a1, r.b0, r.b1);
  map.require_all();
  const int w = r.b1 - r.b0 + 1;
  RowGather<P, AsIs, P> gather(src, AsIs{}, map, r.b0, w);
  // Each output row gathers its terms tap by tap; every pixel still adds them in (p, q) order.
  std::vector<Acc> acc(nc);
  traverse_rows<P>(gather, r.a0, w, nl, k.kl, row0, col0 - r.b0, dir,
                   [&](int i, const P* const* rows) {
                     std::fill(acc.begin(), acc.end(), Acc{});
                     for (int p = 0; p < k.kl; p++)
                       for (int q = 0; q < k.kc; q++) {
                         const Tap t = k.taps[size_t(p) * k.kc + q];
                         const P* s = rows[p] + dir * q;
                         for (int j = 0; j < nc; j++) acc[j] += prod(t, s[j]);
                       }
                     for (int j = 0; j < nc; j++) store(i, j, acc[j]);
                   });
}

// convolucao and ConvHV of a read with the outside value backg instead of a.backg (the smoothing
// filters set it without copying a). convolucao's result is fresh; ConvHV's keeps a's centre and
// takes backg.
IMGFLT convolve_outside(const IMGFLT& a, float backg, const IMGFLT& k, char modo);
IMGDBL convolve_outside(const IMGDBL& a, double backg, const IMGDBL& k, char modo);
IMGFLT separable_outside(const IMGFLT& a, float backg, const VETOR<double>& k, char modo);
IMGDBL separable_outside(const IMGDBL& a, double backg, const VETOR<double>& k, char modo);

}  // namespace vistelmo
