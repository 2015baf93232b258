// Binary morphology on whole words: AND/OR of shifted rows.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "processing/algebra/morphology.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace {

using vistelmo::ShiftedBits;
using vistelmo::Tap;

// Erosion: AND, starting (and reading outside) white.
struct AndWords {
  static constexpr uint32_t identity = 0xFFFFFFFFu;
  static void apply(uint32_t& acc, uint32_t w) { acc &= w; }
};
// Dilation: OR, starting (and reading outside) black.
struct OrWords {
  static constexpr uint32_t identity = 0u;
  static void apply(uint32_t& acc, uint32_t w) { acc |= w; }
};

// Offsets -half .. size-1-half limited to |d| < extent: farther ones meet only the outside,
// which is the reduction's identity. False when none remain.
bool offset_range(int size, int64_t half, int extent, int64_t& lo, int64_t& hi) {
  lo = std::max<int64_t>(-half, 1 - int64_t{extent});
  hi = std::min<int64_t>(int64_t{size} - 1 - half, int64_t{extent} - 1);
  return size >= 1 && lo <= hi;
}

// Rectangle of wl x wc about offsets -hr.., -hc..: a row pass into a word buffer, then a column
// pass back into a.
template <class Op>
void rectangle(IMGBIN& a, int wl, int wc, int64_t hr, int64_t hc) {
  constexpr bool white = Op::identity != 0;
  if (white)
    a.backg |= 1u;
  else
    a.backg &= ~1u;
  if (!vistelmo::has_pixels(a)) return;
  const int nl = a.nl, nc = a.nc, wpr = a.wpr;
  std::vector<uint32_t> temp(static_cast<size_t>(nl) * wpr, Op::identity);
  int64_t lo, hi;
  if (offset_range(wc, hc, nc, lo, hi)) {
    const ShiftedBits bits(a, white);
    for (int y = 0; y < nl; y++) {
      uint32_t* t = &temp[static_cast<size_t>(y) * wpr];
      for (int64_t d = lo; d <= hi; d++)
        for (int j = 0; j < wpr; j++) Op::apply(t[j], bits.word(y, j, d));
    }
  }
  const bool any_rows = offset_range(wl, hr, nl, lo, hi);
  std::vector<uint32_t> acc(wpr);
  for (int l = 0; l < nl; l++) {
    std::fill(acc.begin(), acc.end(), Op::identity);
    if (any_rows) {
      const int64_t y0 = std::max<int64_t>(l + lo, 0), y1 = std::min<int64_t>(l + hi, nl - 1);
      for (int64_t y = y0; y <= y1; y++) {
        const uint32_t* t = &temp[static_cast<size_t>(y) * wpr];
        for (int j = 0; j < wpr; j++) Op::apply(acc[j], t[j]);
      }
    }
    vistelmo::store_bits(a.rows[l], acc.data(), wpr, nc);
  }
}

// Reduction of a over the taps, row by row; a row stops as soon as every pixel is decided.
template <class Op>
IMGBIN by_structure(const IMGBIN& a, const std::vector<Tap>& taps) {
  IMGBIN r(a.nl, a.nc);
  if (!vistelmo::has_pixels(a)) return r;
  const int nl = a.nl, nc = a.nc, wpr = a.wpr;
  const uint32_t used = vistelmo::last_word_mask(nc);
  const ShiftedBits bits(a, Op::identity != 0);
  std::vector<uint32_t> acc(wpr);
  for (int l = 0; l < nl; l++) {
    std::fill(acc.begin(), acc.end(), Op::identity);
    for (const Tap& t : taps) {
      const int64_t y = l + t.di;
      if (y < 0 || y >= nl || t.dj <= -nc || t.dj >= nc) continue;  // outside only: identity
      bool decided = true;
      for (int j = 0; j < wpr; j++) {
        Op::apply(acc[j], bits.word(static_cast<int>(y), j, t.dj));
        const uint32_t m = j == wpr - 1 ? used : 0xFFFFFFFFu;
        if (((acc[j] ^ Op::identity) & m) != m) decided = false;
      }
      if (decided) break;
    }
    vistelmo::store_bits(r.rows[l], acc.data(), wpr, nc);
  }
  return r;
}

std::vector<Tap> white_members(const IMGBIN& b, int sign) {
  return vistelmo::window_taps(b, sign, [](bool v) { return v; });
}

using vistelmo::member_runs;
using vistelmo::Run;

// f(j, word j of a bit line (data at word 0, fill words on both sides) in which the bit of
// column c holds column c + d) for j < n, the shift worked out once.
template <class F>
inline void for_shifted(const uint32_t* line, int64_t d, int64_t n, F f) {
  const uint32_t* w = line + (d >> 5);
  const int sh = static_cast<int>(d & 31);
  if (sh == 0)
    for (int64_t j = 0; j < n; j++) f(j, w[j]);
  else
    for (int64_t j = 0; j < n; j++) f(j, (w[j] << sh) | (w[j + 1] >> (32 - sh)));
}

// The reduction of a over runs of members, written into the used bits of out's rows (out may be
// a itself when every run's rows reach no higher than the row written). Each source row is held
// in a ring as its reductions over every (run length, column offset) in use, aligned with the
// output words; the reductions come from doubling (red over 2, 4 .. columns). A rectangle is one
// run per row, all with the same length and offset.
template <class Op>
void by_runs(const IMGBIN& a, const std::vector<Run>& runs, IMGBIN& out) {
  const int nl = a.nl, nc = a.nc, wpr = a.wpr;
  int64_t rmin = runs[0].di, rmax = rmin, reach = 0, longest = 1;
  std::vector<std::pair<int64_t, int64_t>> keys;  // (length, dj)
  for (const Run& r : runs) {
    rmin = std::min(rmin, r.di), rmax = std::max(rmax, r.di);
    reach = std::max({reach, std::abs(r.dj), std::abs(r.dj + r.length - 1)});
    longest = std::max(longest, r.length);
    keys.push_back({r.length, r.dj});
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::vector<size_t> which(runs.size());
  for (size_t k = 0; k < runs.size(); k++)
    which[k] = static_cast<size_t>(
        std::lower_bound(keys.begin(), keys.end(), std::pair{runs[k].length, runs[k].dj}) -
        keys.begin());
  const int64_t wl = rmax - rmin + 1;
  // Fill words: enough on each side for the farthest run; the doubling reads past the line's
  // end into a tail of fill words (all outside).
  const int64_t guard = (reach + 31) / 32 + 2, tail = (longest + 31) / 32 + 2;
  const int64_t stride = wpr + 2 * guard;
  const size_t per_slot = static_cast<size_t>(wpr) * keys.size();
  std::vector<uint32_t> ring(static_cast<size_t>(wl) * per_slot), acc(wpr), h(stride);
  std::vector<uint32_t> levels(2 * static_cast<size_t>(stride + tail), Op::identity);
  const uint32_t used = vistelmo::last_word_mask(nc);
  auto slot = [&](int64_t y) { return ring.data() + static_cast<size_t>(y % wl) * per_slot; };
  // dst[j] = red(m[j], m shifted by d) for the whole line.
  auto step = [&](const uint32_t* m, int64_t d, uint32_t* dst) {
    for_shifted(m, d, stride, [&](int64_t j, uint32_t v) {
      Op::apply(v, m[j]);
      dst[j] = v;
    });
  };
  auto load = [&](int64_t y) {
    uint32_t* s = slot(y);
    const int64_t iy = y + rmin;
    if (iy < 0 || iy >= nl) {
      std::fill(s, s + per_slot, Op::identity);
      return;
    }
    uint32_t *m = levels.data(), *t = m + stride + tail;
    std::fill(m, m + stride, Op::identity);
    std::copy(a.rows[iy], a.rows[iy] + wpr, m + guard);
    m[guard + wpr - 1] = (m[guard + wpr - 1] & used) | (Op::identity & ~used);
    int64_t p = 1, made = 0;  // h holds the reduction over `made` columns
    for (size_t i = 0; i < keys.size(); i++) {
      const int64_t L = keys[i].first;
      if (L != made) {
        for (; 2 * p <= L; p *= 2) {
          step(m, p, t);
          std::swap(m, t);
        }
        step(m, L - p, h.data());
        made = L;
      }
      uint32_t* dst = s + i * wpr;
      for_shifted(h.data() + guard, keys[i].second, wpr,
                  [&](int64_t j, uint32_t v) { dst[j] = v; });
    }
  };
  for (int64_t y = 0; y + 1 < wl; y++) load(y);
  for (int l = 0; l < nl; l++) {
    load(l + wl - 1);
    std::fill(acc.begin(), acc.end(), Op::identity);
    auto line = [&](size_t k) { return slot(l + runs[k].di - rmin) + which[k] * wpr; };
    size_t k = 0;
    for (; k + 4 <= runs.size(); k += 4) {  // four lines a pass over acc
      const uint32_t *l0 = line(k), *l1 = line(k + 1), *l2 = line(k + 2), *l3 = line(k + 3);
      for (int j = 0; j < wpr; j++) {
        uint32_t v = l0[j];
        Op::apply(v, l1[j]);
        Op::apply(v, l2[j]);
        Op::apply(v, l3[j]);
        Op::apply(acc[j], v);
      }
    }
    for (; k < runs.size(); k++) {
      const uint32_t* l0 = line(k);
      for (int j = 0; j < wpr; j++) Op::apply(acc[j], l0[j]);
    }
    vistelmo::store_bits(out.rows[l], acc.data(), wpr, nc);
  }
}

// Whether runs reach so far that the ring and fill words would be wasteful.
bool runs_fit(const IMGBIN& a, const std::vector<Run>& runs) {
  for (const Run& r : runs)
    if (std::abs(r.di) > 2 * int64_t{a.nl} + 64 || std::abs(r.dj) > 2 * int64_t{a.nc} + 64 ||
        r.length > 2 * int64_t{a.nc} + 64)
      return false;
  return true;
}

template <class Op>
bool structure_by_runs(const IMGBIN& a, const std::vector<Tap>& taps, IMGBIN& r) {
  if (vistelmo::plain_walks() || taps.empty() || !vistelmo::has_pixels(a)) return false;
  const std::vector<Run> runs = member_runs(taps);
  if (!runs_fit(a, runs)) return false;
  by_runs<Op>(a, runs, r);
  return true;
}

// The rectangle as runs: one of wc columns from -hc on each of the wl rows from -hr.
template <class Op>
bool rectangle_by_runs(IMGBIN& a, int wl, int wc, int64_t hr, int64_t hc) {
  if (vistelmo::plain_walks() || wl < 1 || wc < 1 || !vistelmo::has_pixels(a)) return false;
  std::vector<Run> runs;
  for (int64_t i = 0; i < wl; i++) runs.push_back({i - hr, -hc, wc});
  if (!runs_fit(a, runs)) return false;
  if (Op::identity != 0)
    a.backg |= 1u;
  else
    a.backg &= ~1u;
  by_runs<Op>(a, runs, a);
  return true;
}

}  // namespace

IMGBIN erosao(IMGBIN a, int nl, int nc) {
  if (rectangle_by_runs<AndWords>(a, nl, nc, (int64_t{nl} - 1) / 2, (int64_t{nc} - 1) / 2))
    return a;
  rectangle<AndWords>(a, nl, nc, (int64_t{nl} - 1) / 2, (int64_t{nc} - 1) / 2);
  return a;
}

IMGBIN dilat(IMGBIN a, int nl, int nc) {
  const int64_t hr = int64_t{nl} - 1 - (int64_t{nl} - 1) / 2;
  const int64_t hc = int64_t{nc} - 1 - (int64_t{nc} - 1) / 2;
  if (!rectangle_by_runs<OrWords>(a, nl, nc, hr, hc)) rectangle<OrWords>(a, nl, nc, hr, hc);
  return a;
}

IMGBIN operator-(const IMGBIN& a, const IMGBIN& b) {
  const std::vector<Tap> taps = white_members(b, 1);
  IMGBIN r(a.nl, a.nc);
  if (structure_by_runs<AndWords>(a, taps, r)) return r;
  return by_structure<AndWords>(a, taps);
}

IMGBIN operator+(const IMGBIN& a, const IMGBIN& b) {
  const std::vector<Tap> taps = white_members(b, -1);
  IMGBIN r(a.nl, a.nc);
  if (structure_by_runs<OrWords>(a, taps, r)) return r;
  return by_structure<OrWords>(a, taps);
}

IMGBIN hitmiss(const IMGBIN& a, const IMGGRY& m) {
  IMGBIN r(a.nl, a.nc);
  r.backg &= ~1u;
  if (!vistelmo::has_pixels(a)) return r;
  const auto taps = vistelmo::window_taps(m, 1, [](unsigned char v) { return v == 0 || v == 255; });
  const int nl = a.nl, nc = a.nc, wpr = a.wpr;
  const uint32_t used = vistelmo::last_word_mask(nc);
  const bool fill = (a.backg & 1u) != 0;
  const uint32_t outside = fill ? 0xFFFFFFFFu : 0u;
  const ShiftedBits bits(a, fill);
  std::vector<uint32_t> acc(wpr);
  for (int l = 0; l < nl; l++) {
    std::fill(acc.begin(), acc.end(), 0xFFFFFFFFu);
    for (const Tap& t : taps) {
      const int64_t y = l + t.di;
      const bool inside = y >= 0 && y < nl && t.dj > -nc && t.dj < nc;
      bool any = false;
      for (int j = 0; j < wpr; j++) {
        const uint32_t w = inside ? bits.word(static_cast<int>(y), j, t.dj) : outside;
        acc[j] &= t.value == 255 ? w : ~w;
        if (acc[j] & (j == wpr - 1 ? used : 0xFFFFFFFFu)) any = true;
      }
      if (!any) break;
    }
    vistelmo::store_bits(r.rows[l], acc.data(), wpr, nc);
  }
  return r;
}
