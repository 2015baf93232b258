// Binary morphology on whole words: AND/OR of shifted rows.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "processing/algebra/morphology.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace core = vistelmo;

namespace {

using core::ShiftedBits;
using core::Tap;

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
  if (!core::has_pixels(a)) return;
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
    core::store_bits(a.rows[l], acc.data(), wpr, nc);
  }
}

// Reduction of a over the taps, row by row; a row stops as soon as every pixel is decided.
template <class Op>
IMGBIN by_structure(const IMGBIN& a, const std::vector<Tap>& taps) {
  IMGBIN r(a.nl, a.nc);
  if (!core::has_pixels(a)) return r;
  const int nl = a.nl, nc = a.nc, wpr = a.wpr;
  const uint32_t used = ShiftedBits::used_mask(nc);
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
    core::store_bits(r.rows[l], acc.data(), wpr, nc);
  }
  return r;
}

std::vector<Tap> white_members(const IMGBIN& b, int sign) {
  return core::window_taps(b, sign, [](bool v) { return v; });
}

// Members filling their bounding rectangle: the separable rectangle, whose offsets -hr .. are
// those of the members. Empty when the members are not a full rectangle.
template <class Op>
bool structure_as_rectangle(const IMGBIN& a, const std::vector<Tap>& taps, IMGBIN& r) {
  if (core::neighbourhood_tier() == core::Tier::plain || taps.empty() || !core::has_pixels(a))
    return false;
  int64_t rmin = taps[0].di, rmax = rmin, cmin = taps[0].dj, cmax = cmin;
  for (const Tap& t : taps) {
    rmin = std::min(rmin, t.di), rmax = std::max(rmax, t.di);
    cmin = std::min(cmin, t.dj), cmax = std::max(cmax, t.dj);
  }
  const int64_t wl = rmax - rmin + 1, wc = cmax - cmin + 1;
  if (static_cast<int64_t>(taps.size()) != wl * wc || wl > INT_MAX || wc > INT_MAX) return false;
  IMGBIN t = a;
  rectangle<Op>(t, static_cast<int>(wl), static_cast<int>(wc), -rmin, -cmin);
  for (int l = 0; l < a.nl; l++) core::store_bits(r.rows[l], t.rows[l], a.wpr, a.nc);
  return true;
}

}  // namespace

IMGBIN erosao(IMGBIN a, int nl, int nc) {
  rectangle<AndWords>(a, nl, nc, (int64_t{nl} - 1) / 2, (int64_t{nc} - 1) / 2);
  return a;
}

IMGBIN dilat(IMGBIN a, int nl, int nc) {
  const int64_t hr = int64_t{nl} - 1 - (int64_t{nl} - 1) / 2;
  const int64_t hc = int64_t{nc} - 1 - (int64_t{nc} - 1) / 2;
  rectangle<OrWords>(a, nl, nc, hr, hc);
  return a;
}

IMGBIN operator-(const IMGBIN& a, const IMGBIN& b) {
  const std::vector<Tap> taps = white_members(b, 1);
  IMGBIN r(a.nl, a.nc);
  if (structure_as_rectangle<AndWords>(a, taps, r)) return r;
  return by_structure<AndWords>(a, taps);
}

IMGBIN operator+(const IMGBIN& a, const IMGBIN& b) {
  const std::vector<Tap> taps = white_members(b, -1);
  IMGBIN r(a.nl, a.nc);
  if (structure_as_rectangle<OrWords>(a, taps, r)) return r;
  return by_structure<OrWords>(a, taps);
}

IMGBIN hitmiss(const IMGBIN& a, const IMGGRY& m) {
  IMGBIN r(a.nl, a.nc);
  r.backg &= ~1u;
  if (!core::has_pixels(a)) return r;
  const auto taps = core::window_taps(m, 1, [](unsigned char v) { return v == 0 || v == 255; });
  const int nl = a.nl, nc = a.nc, wpr = a.wpr;
  const uint32_t used = ShiftedBits::used_mask(nc);
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
    core::store_bits(r.rows[l], acc.data(), wpr, nc);
  }
  return r;
}
