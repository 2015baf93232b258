// Window traversals shared by morphology and the median filters. Library sources only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "images/image_core_internal.h"

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

// Visits the pixels (l, c) of an nl x nc grid in row-major order. For each: v.start(); then, for
// every tap in order, v.in(rows[l + di][c + dj], tap) when that position lies in the grid and
// v.out(tap) otherwise; then v.finish(l, c). Pixels whose whole window lies inside take a path
// without bounds tests.
template <class T, class V>
void traverse_window(T* const* rows, int nl, int nc, const std::vector<Tap>& taps, V& v) {
  if (nl < 1 || nc < 1) return;
  int64_t dimin = 0, dimax = 0, djmin = 0, djmax = 0;
  if (!taps.empty()) {
    dimin = dimax = taps[0].di;
    djmin = djmax = taps[0].dj;
    for (const Tap& t : taps) {
      dimin = std::min(dimin, t.di);
      dimax = std::max(dimax, t.di);
      djmin = std::min(djmin, t.dj);
      djmax = std::max(djmax, t.dj);
    }
  }
  // Interior: l0 <= l < l1 and c0 <= c < c1 (possibly empty).
  const int64_t l0 = std::max<int64_t>(0, -dimin), l1 = std::min<int64_t>(nl, nl - dimax);
  const int64_t c0 = std::max<int64_t>(0, -djmin), c1 = std::min<int64_t>(nc, nc - djmax);
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
    if (l < l0 || l >= l1 || c0 >= c1) {
      for (int c = 0; c < nc; c++) checked(l, c);
      continue;
    }
    for (int c = 0; c < c0; c++) checked(l, c);
    for (int c = static_cast<int>(c0); c < c1; c++) {
      v.start();
      for (const Tap& t : taps) v.in(rows[l + t.di][c + t.dj], t);
      v.finish(l, c);
    }
    for (int c = static_cast<int>(c1); c < nc; c++) checked(l, c);
  }
}

// Binary rows as seen through a horizontal shift. Each row is held with fill words on both
// sides and its spare bits set to the fill, so word(y, j, d) is word j of row y in which the
// bit of column c holds column c + d (the fill outside the row), for |d| < nc.
class ShiftedBits {
 public:
  ShiftedBits(const IMGBIN& a, bool fill)
      : wpr_(a.wpr), stride_(3 * a.wpr + 1), fill_(fill ? 0xFFFFFFFFu : 0u) {
    buf_.assign(static_cast<size_t>(a.nl) * stride_, fill_);
    const uint32_t used = used_mask(a.nc);
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

  // The used bits of the last word of a row of nc columns.
  static uint32_t used_mask(int nc) { return last_word_mask(nc); }

 private:
  int wpr_;
  int stride_;
  uint32_t fill_;
  std::vector<uint32_t> buf_;
};

// Writes the used bits of a row of words into dst, leaving its spare bits as they are.
inline void store_bits(uint32_t* dst, const uint32_t* src, int wpr, int nc) {
  for (int j = 0; j + 1 < wpr; j++) dst[j] = src[j];
  const uint32_t used = ShiftedBits::used_mask(nc);
  dst[wpr - 1] = (dst[wpr - 1] & ~used) | (src[wpr - 1] & used);
}

// A binary image as bytes (1 white, 0 black), for byte-oriented window code.
struct ByteRows {
  std::vector<unsigned char> data;
  std::vector<unsigned char*> rows;

  ByteRows(int nl, int nc)
      : data(static_cast<size_t>(std::max(nl, 0)) * std::max(nc, 0)), rows(std::max(nl, 0)) {
    for (int l = 0; l < nl; l++) rows[l] = data.data() + static_cast<size_t>(l) * nc;
  }
};

inline void unpack_bits(const IMGBIN& a, ByteRows& b) {
  for (int l = 0; l < a.nl; l++)
    for (int c = 0; c < a.nc; c++) b.rows[l][c] = (a.rows[l][c >> 5] >> (31 - (c & 31))) & 1u;
}

// Writes the used bits of r from the bytes (non-zero white); spare bits are left alone.
inline void pack_bits(const ByteRows& b, IMGBIN& r) {
  std::vector<uint32_t> words(r.wpr);
  for (int l = 0; l < r.nl; l++) {
    std::fill(words.begin(), words.end(), 0u);
    for (int c = 0; c < r.nc; c++)
      if (b.rows[l][c]) words[c >> 5] |= 0x80000000u >> (c & 31);
    store_bits(r.rows[l], words.data(), r.wpr, r.nc);
  }
}

}  // namespace vistelmo
