// Connected-component size filter and blob centres, by iterative flood fills.
#include "processing/algebra/components.h"

#include <cstdint>
#include <deque>
#include <vector>

#include "foundation/constants.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace {

// The eight neighbours, row by row.
const int kDl8[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
const int kDc8[8] = {-1, 0, 1, -1, 1, -1, 0, 1};

// Walks the 8-connected component of pixels holding from that contains (l, c), relabelling it
// to; visit(r, s) is called once per pixel taken from the list. Pixels are relabelled when
// pushed, so none is pushed twice. Pairs go in row first, so they come back column first.
template <class Visit>
void fill8(int l, int c, IMGGRY& g, unsigned char from, unsigned char to, Visit visit) {
  std::deque<int> pending;
  g(l, c) = to;
  pending.push_front(l);
  pending.push_front(c);
  while (!pending.empty()) {
    const int s = pending.front();
    pending.pop_front();
    const int r = pending.front();
    pending.pop_front();
    visit(r, s);
    for (int k = 0; k < 8; k++) {
      const int rr = r + kDl8[k], ss = s + kDc8[k];
      unsigned char& p = g(rr, ss);
      if (p == from) {
        p = to;
        pending.push_front(rr);
        pending.push_front(ss);
      }
    }
  }
}

// Runs of black pixels, row by row, joined into 8-connected components (union by the smaller
// index, path halving). The same components as the flood fills, found without a marking image.
struct BlackRuns {
  std::vector<int> row, first, last;  // inclusive columns
  std::vector<int32_t> parent;

  explicit BlackRuns(const IMGBIN& a) {
    std::vector<int> prev_begin;  // runs of the row above: [above0, above1)
    size_t above0 = 0, above1 = 0;
    for (int l = 0; l < a.nl; l++) {
      const size_t start = first.size();
      for (int j = 0; j < a.wpr; j++) {
        uint32_t black = ~a.rows[l][j];
        if (j == a.wpr - 1) black &= vistelmo::ShiftedBits::used_mask(a.nc);
        while (black) {
          const int b = __builtin_clz(black);
          const uint32_t rest = ~black << b;  // white bits from b on, MSB first
          const int len = rest ? __builtin_clz(rest) : 32 - b;
          const int c0 = 32 * j + b, c1 = c0 + len - 1;
          // A run ending a word may continue in the next one.
          if (!first.empty() && first.size() > start && row.back() == l && last.back() == c0 - 1)
            last.back() = c1;
          else
            add(l, c0, c1);
          black &= len + b >= 32 ? 0u : ~(0xFFFFFFFFu << (32 - b - len));
        }
      }
      // Join with the runs above that touch, diagonals included.
      size_t k = above0;
      for (size_t i = start; i < first.size(); i++) {
        while (k < above1 && last[k] < first[i] - 1) k++;
        for (size_t q = k; q < above1 && first[q] <= last[i] + 1; q++)
          join(static_cast<int32_t>(i), static_cast<int32_t>(q));
      }
      above0 = start;
      above1 = first.size();
    }
  }

  void add(int l, int c0, int c1) {
    row.push_back(l);
    first.push_back(c0);
    last.push_back(c1);
    parent.push_back(static_cast<int32_t>(parent.size()));
  }
  int32_t root(int32_t i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
  }
  void join(int32_t i, int32_t j) {
    i = root(i), j = root(j);
    if (i != j) parent[std::max(i, j)] = std::min(i, j);
  }
};

// Clears columns c0 .. c1 of a row of words (sets them black).
void set_black(uint32_t* words, int c0, int c1) {
  for (int j = c0 >> 5; j <= c1 >> 5; j++) {
    const int lo = std::max(c0, 32 * j) - 32 * j, hi = std::min(c1, 32 * j + 31) - 32 * j;
    const uint32_t bits = (0xFFFFFFFFu >> lo) & ~(hi == 31 ? 0u : 0xFFFFFFFFu >> (hi + 1));
    words[j] &= ~bits;
  }
}

IMGBIN filtcc_runs(const IMGBIN& a, int m) {
  IMGBIN out(a.nl, a.nc, branco);
  if (a.nl < 1 || a.nc < 1) return out;
  BlackRuns runs(a);
  const size_t n = runs.first.size();
  std::vector<int64_t> size(n, 0);
  for (size_t i = 0; i < n; i++) size[runs.root(static_cast<int32_t>(i))] += runs.last[i] - runs.first[i] + 1;
  for (size_t i = 0; i < n; i++)
    if (size[runs.root(static_cast<int32_t>(i))] >= m)
      set_black(out.rows[runs.row[i]], runs.first[i], runs.last[i]);
  return out;
}

}  // namespace

int FILTCCB::contacc(int l, int c, IMGGRY& g) {
  int count = 0;
  fill8(l, c, g, 0, 64, [&](int, int) { count++; });
  return count;
}

void FILTCCB::copia(int l, int c, IMGGRY& g, IMGBIN& out) {
  fill8(l, c, g, 64, 128, [&](int r, int s) { out(r, s) = preto; });
}

IMGBIN filtcc(const IMGBIN& a, int m) {
  if (vistelmo::neighbourhood_tier() != vistelmo::Tier::plain) return filtcc_runs(a, m);
  IMGGRY g(a);
  g.backg = 255;
  IMGBIN out(a.nl, a.nc, branco);
  for (int l = 0; l < g.nl(); l++) {
    const unsigned char* row = g.rows[l];
    for (int c = 0; c < g.nc(); c++) {
      if (row[c] != 0) continue;
      if (FILTCCB::contacc(l, c, g) >= m) FILTCCB::copia(l, c, g, out);
    }
  }
  return out;
}

void FindCeB::centro(IMGBIN& a, int l, int c, int& lc, int& cc) {
  static const int kDl4[4] = {-1, 1, 0, 0};
  static const int kDc4[4] = {0, 0, -1, 1};
  std::deque<int> pending;
  pending.push_back(l);
  pending.push_back(c);
  int lmin = l, lmax = l, cmin = c, cmax = c;
  while (!pending.empty()) {
    const int s = pending.back();
    pending.pop_back();
    const int r = pending.back();
    pending.pop_back();
    if (r < lmin) lmin = r;
    if (r > lmax) lmax = r;
    if (s < cmin) cmin = s;
    if (s > cmax) cmax = s;
    a(r, s) = branco;
    for (int k = 0; k < 4; k++) {
      const int rr = r + kDl4[k], ss = s + kDc4[k];
      if (!a(rr, ss)) {
        pending.push_back(rr);
        pending.push_back(ss);
      }
    }
  }
  lc = (lmin + lmax) / 2;
  cc = (cmin + cmax) / 2;
}

IMGBIN findce(IMGBIN a) {
  a.backg |= 1u;  // white outside: no walk leaves the image
  IMGBIN out(a.nl, a.nc, branco);
  for (int l = 0; l < a.nl(); l++) {
    const uint32_t* row = a.rows[l];
    for (int c = 0; c < a.nc(); c++) {
      if (row[c >> 5] & (0x80000000u >> (c & 31))) continue;
      int r0, s0;
      FindCeB::centro(a, l, c, r0, s0);
      out(r0, s0) = preto;
    }
  }
  return out;
}
