// The one traversal behind the spatial correlations and convolutions. Library sources only.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "foundation/memory_internal.h"
#include "foundation/vetor.h"
#include "images/border_internal.h"
#include "images/image_core_internal.h"
#include "images/images.h"
#include "processing/kernels/convolution_rows.h"
#include "processing/kernels/separable_rows.h"

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
  const size_t bytes = nl > 0 && nc > 0 && r.data ? size_t(nl) * size_t(nc) * sizeof(*r.data) : 0;
  if (bytes > 0 && !page_mapped(reinterpret_cast<const char*>(r.data) + bytes - 1))
    prefault(r.data, bytes);
  return r;
}

// Where the real traversal puts row i's sums: straight into the result row.
template <class Out>
struct RowStore {
  Out* const* rows;
  int col = 0;  // the first column stored
  RowOut target(int i) { return RowOut(rows[i] + col); }
  void done(int, int) {}
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
    if (map.swapped() || !map.valid()) return;  // no runs (an invalid map fails before use)
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

  // Where padded row a's first source column (or column 0) lies in the source row it copies
  // from (null when it copies none).
  const P* source(int a) const {
    const int ia = map_.a(a);
    return ia < 0 || map_.swapped() ? nullptr : src_.rows[ia] + std::max(0, b0_);
  }

  // Where the longest run of source samples starts in a padded row (0 when there is none).
  int lead() const {
    int start = 0, len = 0;
    for (const Run& r : runs_)
      if (r.from >= 0 && r.len > len) start = r.start, len = r.len;
    return start;
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

  // Whether the last row gathered holds finite samples only (known for float sources; false
  // for the others).
  bool finite() const { return finite_; }

  void operator()(int a, T* dst) const {
    const int ia = map_.a(a);
    constexpr bool kFloats = std::is_same_v<P, float> && std::is_same_v<T, double>;
    bool outside_finite = false;
    if constexpr (kFloats) outside_finite = std::isfinite(outside_);
    finite_ = false;
    if (ia < 0) {
      std::fill(dst, dst + w_, outside_);
      finite_ = outside_finite;
    } else if (!map_.swapped()) {
      const P* s = src_.rows[ia];
      bool finite = kFloats;
      for (const Run& r : runs_) {
        T* d = dst + r.start;
        if (r.from < 0) {
          std::fill(d, d + r.len, outside_);
          finite = finite && outside_finite;
        } else {
          const P* f = s + r.from;
          if constexpr (kFloats)
            finite = widen_row(f, d, r.len) && finite;
          else
            for (int t = 0; t < r.len; t++) d[t] = get_(f[t]);
        }
      }
      finite_ = finite;
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
  mutable bool finite_ = false;
};

// The kl padded rows that output row i reads, a ring of kl rows of width w: row a (first
// arguments from a0 on) is loaded by load(a, dst) when it is not held.
template <class T>
class RowRing {
 public:
  // Element lead of every row starts on a 64-byte boundary (the whole-vector stores of a row's
  // longest run, or the kernels' loads at offset 0, align).
  RowRing(int kl, int w, int a0, int lead = 0)
      : w_(stride(w)), a0_(a0), buf_(size_t(kl) * w_ + 2 * kAlign), held_(kl, a0 - 1), ptr_(kl) {
    T* aligned = buf_.data() + kAlign;
    for (int k = 0; k < kAlign && reinterpret_cast<uintptr_t>(aligned) % 64 != 0; k++) aligned++;
    base_ = aligned - lead % kAlign;
  }

  // ptr[p] points off elements into padded row row0 + i + dir * p, p = 0 .. count-1 (count at
  // most kl; all kl rows when count < 0).
  template <class Load>
  const T* const* rows(int i, int row0, int off, int dir, Load& load, int count = -1) {
    const int kl = int(held_.size()), n = count < 0 ? kl : count;
    for (int p = 0; p < n; p++) {
      const int a = row0 + i + dir * p, slot = (a - a0_) % kl;
      T* r = base_ + size_t(slot) * w_;
      if (held_[slot] != a) {
        load(a, r);
        held_[slot] = a;
      }
      ptr_[p] = r + off;
    }
    return ptr_.data();
  }

 private:
  static constexpr int kAlign = 64 / sizeof(T) > 0 ? 64 / sizeof(T) : 1;
  static int stride(int w) { return (w + kAlign - 1) / kAlign * kAlign; }

  int w_, a0_;
  std::vector<T> buf_;
  T* base_;
  std::vector<int> held_;
  std::vector<const T*> ptr_;
};

// Output rows i = 0 .. nl-1, each handed to row(i, ptr) with the kl padded rows it reads
// (see RowRing): every source row is loaded once.
template <class T, class Load, class Row>
void traverse_rows(Load& load, int a0, int w, int nl, int kl, int row0, int off, int dir, Row row) {
  RowRing<T> ring(kl, w, a0);
  for (int i = 0; i < nl; i++) row(i, ring.rows(i, row0, off, dir, load));
}

// The real row kernel over the ring, its sums handed to store.
template <class Load, class Store>
void traverse_real(Load& load, int a0, int w, int nl, int nc, const double* taps, int kl, int kc,
                   int row0, int off, int dir, Store& store, bool exact = false) {
  traverse_rows<double>(load, a0, w, nl, kl, row0, off, dir, [&](int i, const double* const* ptr) {
    correlate_row(ptr, taps, kl, kc, dir, nc, store.target(i), exact);
    store.done(i, nc);
  });
}

// Whether a row loader tells lead().
template <class Load, class = void>
constexpr bool kLeads = false;
template <class Load>
constexpr bool kLeads<Load, std::void_t<decltype(std::declval<const Load&>().lead())>> = true;

// Whether a row loader tells source(a).
template <class Load, class = void>
constexpr bool kSources = false;
template <class Load>
constexpr bool kSources<Load, std::void_t<decltype(std::declval<const Load&>().source(0))>> = true;

// Whether a row loader tells finite().
template <class Load, class = void>
constexpr bool kFinites = false;
template <class Load>
constexpr bool kFinites<Load, std::void_t<decltype(std::declval<const Load&>().finite())>> = true;

// The tap columns q < 64 of a kl x kc kernel whose taps are all zero, as bits.
inline uint64_t zero_columns(const double* taps, int kl, int kc) {
  uint64_t z = 0;
  for (int q = 0; q < kc && q < 64; q++) {
    bool zero = true;
    for (int p = 0; p < kl; p++) zero = zero && taps[size_t(p) * kc + q] == 0;
    if (zero) z |= uint64_t(1) << q;
  }
  return z;
}

// traverse_real straight into result rows: with several, row_block() rows a kernel call (the
// last few alone), unless the kernel has a single row (no loads to share between the outputs,
// and the one-row kernel keeps more sums in flight). Blocks over finite rows leave out the
// kernel's zero columns.
template <class Load, class Out>
void traverse_real(Load& load, int a0, int w, int nl, int nc, const double* taps, int kl, int kc,
                   int row0, int off, int dir, RowStore<Out>& store, bool exact = false,
                   bool several = false) {
  const int r = several && kl > 1 ? row_block() : 1;
  int lead = 0;
  if constexpr (kLeads<Load>) lead = load.lead();
  RowRing<double> ring(kl + r - 1, w, a0, lead);
  std::vector<RowOut> out(size_t(r), RowOut(store.rows[0]));
  int i = 0;
  Ahead ahead;
  uint64_t zeros = 0;
  if constexpr (kFinites<Load>) zeros = r > 1 ? zero_columns(taps, kl, kc) : 0;
  // finite[a - a0]: padded row a holds finite samples only.
  std::vector<char> finite(zeros ? size_t(nl + kl + r) : 0);
  auto checked = [&](int a, double* dst) {
    load(a, dst);
    if constexpr (kFinites<Load>) finite[size_t(a - a0)] = load.finite();
  };
  for (; r > 1 && i + r <= nl; i += r) {
    for (int k = 0; k < r; k++) out[k] = store.target(i + k);
    const int first = dir < 0 ? i + r - 1 : i;
    const double* const* src;
    uint64_t skip = 0;
    if (zeros) {
      src = ring.rows(first, row0, off, dir, checked);
      skip = zeros;
      for (int p = 0; p < kl + r - 1; p++)
        if (!finite[size_t(row0 + first + dir * p - a0)]) skip = 0;
    } else {
      src = ring.rows(first, row0, off, dir, load);
    }
    // The rows the next block adds.
    if constexpr (kSources<Load>) {
      ahead.count = i + 2 * r <= nl && r <= Ahead::kMax ? r : 0;
      ahead.bytes = sizeof(*load.source(0));
      for (int k = 0, last = row0 + i + r - 1 + std::max(0, dir * (kl - 1)); k < ahead.count; k++)
        ahead.rows[k] = load.source(last + 1 + k);
    }
    correlate_rows(src, taps, kl, kc, dir, nc, out.data(), exact, &ahead, skip);
  }
  for (; i < nl; i++)
    correlate_row(ring.rows(i, row0, off, dir, load, kl), taps, kl, kc, dir, nc, store.target(i),
                  exact);
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
  const double zero = 0;
  const double* none = &zero;
  for (int i = 0; i < nl; i++) {
    // No taps: every sum stays 0.
    correlate_row(&none, &zero, 0, 0, 1, nc, store.target(i));
    store.done(i, nc);
  }
}

// The bytes of padded rows that the several-row traversal keeps in the second-level cache (a
// ring sized for the first level cut the rows into strips, and the source and result streamed
// slower a strip at a time).
constexpr size_t kRingBytes = 262144;

template <class Store>
constexpr bool kRowStore = false;
template <class Out>
constexpr bool kRowStore<RowStore<Out>> = true;

// The same traversal as correlate for real samples with double sums: get(sample) widens a sample
// to double (exactly), the kernel taps are doubles. Samples are gathered a row at a time into a
// ring of kl rows (each source row is resolved and widened once), and the row kernel adds the taps
// over whole rows, so the border costs one gather per row and the inner loops see no checks.
// several: into result rows (a RowStore), row_block() rows a kernel call.
template <class P, class Get, class Store>
void correlate_real(const PlaneRef<P>& src, Get get, char mode, int nl, int nc, const double* taps,
                    int kl, int kc, int row0, int col0, int dir, Store& store, bool exact = false,
                    bool several = false) {
  if (nl < 1 || nc < 1) return;
  if (kl < 1 || kc < 1) return store_zeros(nl, nc, store);
  const Reach r(nl, nc, kl, kc, row0, col0, dir);
  const BorderMap map(mode, src.nl, src.nc, src.lc, src.cc, r.a0, r.a1, r.b0, r.b1);
  map.require_all();
  const int w = r.b1 - r.b0 + 1;
  if constexpr (kRowStore<Store>) {
    // Several rows a kernel call: whole rows while their ring fits kRingBytes, else strips of
    // columns, each down every row, when the ring of a strip at least 256 wide then fits (one
    // row a call streams faster through whole rows).
    const int extra = w - nc, block = several ? row_block() : 1;
    const int fit = block > 1 ? int(kRingBytes / (sizeof(double) * (kl + block - 1))) - extra : 0;
    const int strips = fit >= 256 ? (nc + fit - 1) / fit : 1;
    if (strips > 1) {
      const int width = ((nc + strips - 1) / strips + 47) / 48 * 48;  // whole vector blocks
      for (int j = 0; j < nc; j += width) {
        const int n = std::min(width, nc - j);
        RowGather<P, Get> gather(src, get, map, r.b0 + j, n + extra);
        Store part{store.rows, store.col + j};
        traverse_real(gather, r.a0, n + extra, nl, n, taps, kl, kc, row0, col0 - r.b0, dir, part,
                      exact, true);
      }
      return;
    }
  }
  RowGather<P, Get> gather(src, get, map, r.b0, w);
  if constexpr (kRowStore<Store>)
    traverse_real(gather, r.a0, w, nl, nc, taps, kl, kc, row0, col0 - r.b0, dir, store, exact,
                  several);
  else
    traverse_real(gather, r.a0, w, nl, nc, taps, kl, kc, row0, col0 - r.b0, dir, store, exact);
}

// The rows of ConvHV(src), in order, without an intermediate image: the column pass pulls each
// row of the row pass (rounded to Mid, the intermediate's pixel type) when it first needs it.
// The intermediate has src's size, the default centre and outside value 0. Not fused() for the
// modes whose first argument selects a column: those need the whole intermediate.
template <class Mid, class P, class Get>
class SeparableRows {
 public:
  SeparableRows(const PlaneRef<P>& src, Get get, char mode, const double* taps, int n)
      : nc_(src.nc),
        n_(n),
        c0_((n - 1) / 2),
        taps_(taps),
        rh_(src.nl, src.nc, 1, n, 0, c0_, -1),
        rv_(src.nl, src.nc, n, 1, c0_, 0, -1),
        mh_(mode, src.nl, src.nc, src.lc, src.cc, rh_.a0, rh_.a1, rh_.b0, rh_.b1),
        mv_(mode, src.nl, src.nc, default_centre(src.nl), default_centre(src.nc), rv_.a0, rv_.a1,
            rv_.b0, rv_.b1),
        gather_h_(src, get, mh_, rh_.b0, rh_.b1 - rh_.b0 + 1),
        gather_v_(PlaneRef<Mid>{nullptr, src.nl, src.nc, 0, 0, Mid{}}, Widen{}, mv_, rv_.b0,
                  src.nc),
        padded_(size_t(rh_.b1 - rh_.b0 + 1)),
        mid_(size_t(src.nc)),
        ring_(n, src.nc, rv_.a0) {
    if (!fused() || src.nl < 1 || src.nc < 1 || n < 1) return;
    mh_.require_all();
    mv_.require_all();
  }

  bool fused() const { return !mh_.swapped(); }

  // The column pass's padded row a (from first_row() on), for a caller's own column pass.
  void source_row(int a, double* dst) { column_source(a, dst); }
  int first_row() const { return rv_.a0; }

  // Row i's sums into out (nc of them), i = 0, 1, ... in order; an empty kernel gives zeros.
  void row(int i, RowOut out) {
    const double zero = 0;
    const double* none = &zero;
    if (n_ < 1) return correlate_row(&none, &zero, 0, 0, 1, nc_, out);
    auto load = [this](int a, double* dst) { column_source(a, dst); };
    correlate_row(ring_.rows(i, c0_, 0, -1, load), taps_, n_, 1, -1, nc_, out);
  }

 private:
  // Row l of the intermediate, as its pixels hold it.
  void mid_row(int l, double* dst) {
    gather_h_(l, padded_.data());
    const double* hp = padded_.data() + (c0_ - rh_.b0);
    if constexpr (std::is_same_v<Mid, float>) {
      float_row_pass(hp, taps_, n_, nc_, dst);
    } else {
      correlate_row(&hp, taps_, 1, n_, -1, nc_, dst);
    }
  }

  // The column pass's padded row a of the intermediate.
  void column_source(int a, double* dst) {
    const int l = mv_.a(a);
    if (l < 0) {
      std::fill(dst, dst + nc_, 0.0);
    } else if (gather_v_.identity()) {
      mid_row(l, dst);
    } else {
      if (held_ != l) mid_row(l, mid_.data()), held_ = l;
      gather_v_.gather_from(mid_.data(), dst);
    }
  }

  int nc_, n_, c0_;
  const double* taps_;
  Reach rh_, rv_;
  BorderMap mh_, mv_;
  RowGather<P, Get> gather_h_;
  RowGather<Mid, Widen> gather_v_;
  std::vector<double> padded_, mid_;
  RowRing<double> ring_;
  int held_ = -1;
};

// ConvHV of src into store; false (nothing done) when SeparableRows cannot fuse the mode.
template <class Mid, class P, class Get, class Store>
bool separable_fused(const PlaneRef<P>& src, Get get, char mode, const double* taps, int n,
                     Store& store) {
  SeparableRows<Mid, P, Get> rows(src, get, mode, taps, n);
  if (!rows.fused()) return false;
  for (int i = 0; i < src.nl && src.nc > 0; i++) {
    rows.row(i, store.target(i));
    store.done(i, src.nc);
  }
  return true;
}

// An image produced row by row, in order, read through a plane: ensure(l) produces the rows up
// to l with next(l, dst); the last keep rows stay readable through rows().
template <class Next>
class LazyRows {
 public:
  LazyRows(int nl, int nc, int keep, Next next)
      : nc_(nc), keep_(keep), next_(next), buf_(size_t(keep) * nc), rows_(nl > 0 ? nl : 0) {}

  void ensure(int l) {
    for (; made_ <= l; made_++) {
      double* r = buf_.data() + size_t(made_ % keep_) * nc_;
      next_(made_, r);
      rows_[made_] = r;
    }
  }
  const double* const* rows() const { return rows_.data(); }

 private:
  int nc_, keep_;
  Next next_;
  std::vector<double> buf_;
  std::vector<const double*> rows_;
  int made_ = 0;
};

// correlate_real over a LazyRows image (its centre and outside value given): each source row is
// produced before the first gather that reads it. Only for modes that read rows in order within
// a window of kl (outside value, clamping, 'e'); keep must be at least kl.
template <class Next, class Store>
void correlate_lazy(LazyRows<Next>& img, int nl, int nc, int lc, int cc, double backg, char mode,
                    const double* taps, int kl, int kc, int row0, int col0, int dir, Store& store) {
  if (nl < 1 || nc < 1) return;
  if (kl < 1 || kc < 1) return store_zeros(nl, nc, store);
  const Reach r(nl, nc, kl, kc, row0, col0, dir);
  const BorderMap map(mode, nl, nc, lc, cc, r.a0, r.a1, r.b0, r.b1);
  map.require_all();
  const int w = r.b1 - r.b0 + 1;
  const PlaneRef<double> plane{img.rows(), nl, nc, lc, cc, backg};
  RowGather<double, Widen> gather(plane, Widen{}, map, r.b0, w);
  auto load = [&](int a, double* dst) {
    const int l = map.a(a);
    if (l >= 0) img.ensure(l);
    gather(a, dst);
  };
  traverse_real(load, r.a0, w, nl, nc, taps, kl, kc, row0, col0 - r.b0, dir, store);
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
// Rows i0 .. i0+n-1 of convolucao(a, k, modo) into out[0 .. n-1] (nc floats each).
void convolve_rows(const IMGFLT& a, const IMGFLT& k, char modo, int i0, int n, float* const* out);
IMGDBL separable_outside(const IMGDBL& a, double backg, const VETOR<double>& k, char modo);

}  // namespace vistelmo
