// The weighted majority of binary images (the median filter on two levels).
#include <algorithm>
#include <cstdint>
#include <vector>

#include "processing/algebra/median.h"
#include "processing/algebra/median_internal.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace {

using vistelmo::Tap;
using vistelmo::total_weight;
using vistelmo::weighted_taps;

struct MajorityVote {
  unsigned char* const* dst;
  int64_t white, black;
  void start() { white = black = 0; }
  void in(unsigned char p, const Tap& t) { (p ? white : black) += t.value; }
  void out(const Tap&) {}
  void finish(int l, int c) { dst[l][c] = white > black; }
};

// White where the white weight exceeds half the total w, votes counted in T a tap at a time.
template <class T>
void vote_interior(const vistelmo::ByteRows& src, const std::vector<Tap>& taps, int64_t w,
                   const vistelmo::Interior& in, void (*add)(T*, const uint8_t*, int64_t, int),
                   void (*above)(const T*, int, uint8_t*, int64_t), vistelmo::ByteRows& dst) {
  const int64_t n = in.c1 - in.c0;
  std::vector<T> acc(n);
  for (int64_t l = in.l0; l < in.l1; l++) {
    std::fill(acc.begin(), acc.end(), T{0});
    for (const Tap& t : taps) add(acc.data(), src.rows[l + t.di] + in.c0 + t.dj, n, t.value);
    above(acc.data(), static_cast<int>(w / 2), dst.rows[l] + in.c0, n);
  }
}

// A 3 x 3 window of equal weights on words: white where more present samples are white than
// black; the interior by a bit-sliced count of 5 or more, the edge pixels one at a time.
bool majority3x3(const IMGBIN& a, const std::vector<Tap>& taps, IMGBIN& r) {
  const vistelmo::TapBox box = vistelmo::tap_box(taps);
  if (taps.size() != 9 || !box.equal || box.rmin != -1 || box.rmax != 1 || box.cmin != -1 ||
      box.cmax != 1)
    return false;
  const int nl = a.nl, nc = a.nc;
  auto bit = [&](int l, int c) { return (a.rows[l][c >> 5] >> (31 - (c & 31))) & 1u; };
  auto edge = [&](int l, int c) {
    int white = 0, black = 0;
    for (int i = std::max(l - 1, 0); i <= std::min(l + 1, nl - 1); i++)
      for (int j = std::max(c - 1, 0); j <= std::min(c + 1, nc - 1); j++)
        (bit(i, j) ? white : black)++;
    const uint32_t mask = 1u << (31 - (c & 31));
    uint32_t& w = r.rows[l][c >> 5];
    w = white > black ? w | mask : w & ~mask;
  };
  const vistelmo::SpanKernels& k = vistelmo::span_kernels();
  const uint32_t used = vistelmo::last_word_mask(nc);
  for (int l = 1; l + 1 < nl; l++) {
    const uint32_t* rows[3] = {a.rows[l - 1], a.rows[l], a.rows[l + 1]};
    k.majority3x3_bits(rows, r.rows[l], a.wpr);
    r.rows[l][a.wpr - 1] &= used;
    edge(l, 0);
    edge(l, nc - 1);
  }
  for (int l : {0, nl - 1})
    for (int c = 0; c < nc; c++) edge(l, c);
  return true;
}

}  // namespace

IMGBIN mediana(const IMGBIN& a, const IMGGRY& m) {
  IMGBIN r(a.nl, a.nc);
  if (!vistelmo::has_pixels(a)) return r;
  if (!vistelmo::plain_walks() && majority3x3(a, weighted_taps(m), r)) return r;
  vistelmo::ByteRows src(a.nl, a.nc), dst(a.nl, a.nc);
  vistelmo::unpack_bits(a, src);
  const std::vector<Tap> taps = weighted_taps(m);
  const vistelmo::Interior in = vistelmo::window_interior(a.nl, a.nc, taps);
  const int64_t w = total_weight(m);
  // Interior: every window holds all its samples, so white wins where the white weight
  // exceeds half the total; votes summed a tap at a time across the row.
  const bool fast = !vistelmo::plain_walks() && !in.empty() && w <= 65535;
  if (fast) {
    const vistelmo::SpanKernels& k = vistelmo::span_kernels();
    if (w <= 255)
      vote_interior<uint8_t>(src, taps, w, in, k.add_weighted_u8, k.above_u8, dst);
    else
      vote_interior<uint16_t>(src, taps, w, in, k.add_weighted_u16, k.above_u16, dst);
  }
  MajorityVote vote{dst.rows.data(), 0, 0};
  vistelmo::traverse_window(src.rows.data(), a.nl, a.nc, taps, vote, fast);
  vistelmo::pack_bits(dst, r);
  return r;
}
