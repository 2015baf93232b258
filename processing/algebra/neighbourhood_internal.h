// Window traversals shared by morphology and the median filters. Library sources only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "images/border_internal.h"
#include "images/image_core_internal.h"
#include "processing/kernels/isa.h"
#include "processing/kernels/neighbourhood_spans.h"

namespace vistelmo {

// One member of a window: its offset from the output pixel and its weight or height.
struct Tap {
  int64_t di;
  int64_t dj;
  int value;
};

// The elements of a window image for which keep(v) holds, in row-major order, at the offsets
// sign * (i - lc, j - cc).
template <class Img, class Keep>
std::vector<Tap> window_taps(const Img& m, int sign, Keep keep) {
  std::vector<Tap> taps;
  if (!has_pixels(m)) return taps;
  for (int i = 0; i < m.nl; i++)
    for (int j = 0; j < m.nc; j++) {
      const auto v = m(i, j);
      if (keep(v))
        taps.push_back(
            {sign * (int64_t{i} - m.lc), sign * (int64_t{j} - m.cc), static_cast<int>(v)});
    }
  return taps;
}

// The pixels (l, c) whose whole window lies inside an nl x nc grid: l0 <= l < l1 and
// c0 <= c < c1 (possibly empty).
struct Interior {
  int64_t l0 = 0, l1 = 0, c0 = 0, c1 = 0;
  bool empty() const { return l0 >= l1 || c0 >= c1; }
  bool contains(int64_t l, int64_t c) const { return l >= l0 && l < l1 && c >= c0 && c < c1; }
};

// The bounding box of the taps' offsets (zero for none), and whether every tap has one value.
struct TapBox {
  int64_t rmin = 0, rmax = 0, cmin = 0, cmax = 0;
  bool equal = true;
  int64_t rows() const { return rmax - rmin + 1; }
  int64_t cols() const { return cmax - cmin + 1; }
};

inline TapBox tap_box(const std::vector<Tap>& taps) {
  TapBox b;
  if (taps.empty()) return b;
  b.rmin = b.rmax = taps[0].di;
  b.cmin = b.cmax = taps[0].dj;
  for (const Tap& t : taps) {
    b.rmin = std::min(b.rmin, t.di), b.rmax = std::max(b.rmax, t.di);
    b.cmin = std::min(b.cmin, t.dj), b.cmax = std::max(b.cmax, t.dj);
    b.equal = b.equal && t.value == taps[0].value;
  }
  return b;
}

// Horizontal runs of members (row offset di, first column offset dj, length), row by row.
struct Run {
  int64_t di, dj, length;
};

inline std::vector<Run> member_runs(const std::vector<Tap>& taps) {
  std::vector<std::pair<int64_t, int64_t>> cells;
  for (const Tap& t : taps) cells.push_back({t.di, t.dj});
  std::sort(cells.begin(), cells.end());
  std::vector<Run> runs;
  for (size_t i = 0; i < cells.size();) {
    size_t j = i + 1;
    while (j < cells.size() && cells[j].first == cells[i].first &&
           cells[j].second == cells[j - 1].second + 1)
      j++;
    runs.push_back({cells[i].first, cells[i].second, static_cast<int64_t>(j - i)});
    i = j;
  }
  return runs;
}

// Whether the taps (distinct offsets) fill their box with one value.
inline bool full_box(const std::vector<Tap>& taps, const TapBox& b) {
  return b.equal && static_cast<int64_t>(taps.size()) == b.rows() * b.cols();
}

inline Interior window_interior(int nl, int nc, const std::vector<Tap>& taps) {
  const TapBox b = tap_box(taps);
  Interior in;
  in.l0 = std::max<int64_t>(0, -b.rmin);
  in.l1 = std::min<int64_t>(nl, nl - b.rmax);
  in.c0 = std::max<int64_t>(0, -b.cmin);
  in.c1 = std::min<int64_t>(nc, nc - b.cmax);
  return in;
}

// Visits the pixels (l, c) of an nl x nc grid in row-major order. For each: v.start(); then, for
// every tap in order, v.in(rows[l + di][c + dj], tap) when that position lies in the grid and
// v.out(tap) otherwise; then v.finish(l, c). Pixels whose whole window lies inside take a path
// without bounds tests. With skip_interior those pixels are not visited at all (a span kernel
// fills them). This per-pixel walk is the plain tier the span kernels are tested against.
template <class T, class V>
void traverse_window(T* const* rows, int nl, int nc, const std::vector<Tap>& taps, V& v,
                     bool skip_interior = false) {
  if (nl < 1 || nc < 1) return;
  const Interior in = window_interior(nl, nc, taps);
  auto checked = [&](int l, int c) {
    v.start();
    for (const Tap& t : taps) {
      const int64_t y = l + t.di, x = c + t.dj;
      if (y >= 0 && y < nl && x >= 0 && x < nc)
        v.in(rows[y][x], t);
      else
        v.out(t);
    }
    v.finish(l, c);
  };
  for (int l = 0; l < nl; l++) {
    if (l < in.l0 || l >= in.l1 || in.c0 >= in.c1) {
      for (int c = 0; c < nc; c++) checked(l, c);
      continue;
    }
    for (int c = 0; c < in.c0; c++) checked(l, c);
    if (!skip_interior)
      for (int c = static_cast<int>(in.c0); c < in.c1; c++) {
        v.start();
        for (const Tap& t : taps) v.in(rows[l + t.di][c + t.dj], t);
        v.finish(l, c);
      }
    for (int c = static_cast<int>(in.c1); c < nc; c++) checked(l, c);
  }
}

// The border rule of one axis of n elements read from index 0: kPlain gives the outside value
// off the axis, kClamp the nearest edge.
inline AxisRule axis_rule(AxisRule::Kind kind, int n) {
  AxisRule r;
  r.kind = n > 0 ? kind : AxisRule::kNone;
  r.size = n;
  return r;
}

// Positions offset .. offset + len - 1 of a row under an axis rule, into line (outside where
// the rule gives none); the inside part in one copy.
template <class T, class U>
void padded_line(const T* row, const AxisRule& rule, int64_t offset, int64_t len, U outside,
                 U* line) {
  const int64_t lo = std::clamp<int64_t>(-offset, 0, len);
  const int64_t hi = std::clamp<int64_t>(rule.size - offset, lo, len);
  auto edge = [&](int64_t x) {
    const int i = rule.resolve(offset + x);
    line[x] = i < 0 ? outside : static_cast<U>(row[i]);
  };
  for (int64_t x = 0; x < lo; x++) edge(x);
  std::copy(row + (lo + offset), row + (hi + offset), line + lo);
  for (int64_t x = hi; x < len; x++) edge(x);
}

// The span kernels are chosen by current_isa(); Isa::kPlain runs the per-pixel walks instead.
inline bool plain_walks() { return current_isa() == Isa::kPlain; }

// Binary rows as seen through a horizontal shift. Each row is held with fill words on both
// sides and its spare bits set to the fill, so word(y, j, d) is word j of row y in which the
// bit of column c holds column c + d (the fill outside the row), for |d| < nc.
class ShiftedBits {
 public:
  ShiftedBits(const IMGBIN& a, bool fill)
      : wpr_(a.wpr), stride_(3 * a.wpr + 1), fill_(fill ? 0xFFFFFFFFu : 0u) {
    buf_.assign(static_cast<size_t>(a.nl) * stride_, fill_);
    const uint32_t used = last_word_mask(a.nc);
    for (int y = 0; y < a.nl; y++) {
      uint32_t* dst = &buf_[static_cast<size_t>(y) * stride_ + wpr_];
      std::copy(a.rows[y], a.rows[y] + wpr_, dst);
      dst[wpr_ - 1] = (dst[wpr_ - 1] & used) | (fill_ & ~used);
    }
  }

  uint32_t word(int y, int j, int64_t d) const {
    const int64_t s = 32 * (int64_t{wpr_} + j) + d;
    const uint32_t* r = &buf_[static_cast<size_t>(y) * stride_ + (s >> 5)];
    const int sh = static_cast<int>(s & 31);
    return sh == 0 ? r[0] : (r[0] << sh) | (r[1] >> (32 - sh));
  }

 private:
  int wpr_;
  int stride_;
  uint32_t fill_;
  std::vector<uint32_t> buf_;
};

// Writes the used bits of a row of words into dst, leaving its spare bits as they are.
inline void store_bits(uint32_t* dst, const uint32_t* src, int wpr, int nc) {
  for (int j = 0; j + 1 < wpr; j++) dst[j] = src[j];
  const uint32_t used = last_word_mask(nc);
  dst[wpr - 1] = (dst[wpr - 1] & ~used) | (src[wpr - 1] & used);
}

// A binary image as bytes (1 white, 0 black), for byte-oriented window code.
// Not cleared: the users write every byte.
struct ByteRows {
  std::unique_ptr<unsigned char[]> data;
  std::vector<unsigned char*> rows;

  ByteRows(int nl, int nc)
      : data(new unsigned char[static_cast<size_t>(std::max(nl, 0)) * std::max(nc, 0)]),
        rows(std::max(nl, 0)) {
    for (int l = 0; l < nl; l++) rows[l] = data.get() + static_cast<size_t>(l) * nc;
  }
};

inline void unpack_bits(const IMGBIN& a, ByteRows& b) {
  for (int l = 0; l < a.nl; l++) span_kernels().unpack_bits(a.rows[l], b.rows[l], a.nc);
}

// Writes the used bits of r from the bytes (non-zero white); spare bits are left alone.
inline void pack_bits(const ByteRows& b, IMGBIN& r) {
  std::vector<uint32_t> words(r.wpr);
  for (int l = 0; l < r.nl; l++) {
    span_kernels().pack_bits(b.rows[l], words.data(), r.nc);
    store_bits(r.rows[l], words.data(), r.wpr, r.nc);
  }
}

}  // namespace vistelmo
