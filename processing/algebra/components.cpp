// Connected-component size filter and blob centres: union-find over the black runs of the rows.
// The pixel-by-pixel flood fills (FILTCCB, FindCeB) serve their own callers.
#include "processing/algebra/components.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>

#include "foundation/constants.h"
#include "images/image_core_internal.h"

namespace {

// Black runs of the rows, labelled by union-find over the runs. A run's parent has a smaller
// index, so a component's root is its first run (topmost row, then leftmost).
struct Run {
  int s, e;  // columns [s, e)
  int p;     // parent run
};

// Black pixels of a row's word (white bits set, spare bits past the last column white).
inline uint32_t black_bits(const uint32_t* row, int w, int wpr, uint32_t last) {
  return w == wpr - 1 ? ~row[w] & last : ~row[w];
}

// Number of black runs in a (at most half its pixels, so an int).
int count_runs(const IMGBIN& a, uint32_t last) {
  int n = 0;
  for (int l = 0; l < a.nl(); l++) {
    uint32_t carry = 0;  // black last column of the previous word
    for (int w = 0; w < a.wpr; w++) {
      const uint32_t b = black_bits(a.rows[l], w, a.wpr, last);
      n += __builtin_popcount(b & ~(b >> 1 | carry));
      carry = b << 31;
    }
  }
  return n;
}

// Appends the black runs of a row, left to right, with emit(s, e).
template <class Emit>
void row_runs(const uint32_t* row, int wpr, int nc, uint32_t last, Emit emit) {
  int open = -1;  // start of a run reaching the end of the previous word
  for (int w = 0; w < wpr; w++) {
    uint32_t b = black_bits(row, w, wpr, last);
    const int base = w * 32;
    if (open >= 0) {
      if (b == 0xFFFFFFFFu) continue;
      const int k = __builtin_clz(~b);
      emit(open, base + k);
      open = -1;
      b &= 0xFFFFFFFFu >> k;
    }
    while (b) {
      const int s = __builtin_clz(b);
      const uint32_t rest = ~b & (0xFFFFFFFFu >> s);  // white bits from s on
      if (!rest) {
        open = base + s;
        break;
      }
      const int e = __builtin_clz(rest);
      emit(base + s, base + e);
      b &= 0xFFFFFFFFu >> e;
    }
  }
  if (open >= 0) emit(open, nc);
}

inline int find_root(Run* runs, int i) {
  while (runs[i].p != i) {
    runs[i].p = runs[runs[i].p].p;
    i = runs[i].p;
  }
  return i;
}

// The black runs of a labelled row by row; a run touches one of the row above when they share a
// column, or also a corner when diag. Each root's stat sums the stats of its component's runs
// (Stat(l, s, e) for a run, add to join two). first[l] is the first run of row l.
template <bool diag, class Stat>
struct Labels {
  std::unique_ptr<Run[]> runs;
  std::unique_ptr<Stat[]> stats;
  std::unique_ptr<int[]> first;
  explicit Labels(const IMGBIN& a);
};

template <bool diag, class Stat>
Labels<diag, Stat>::Labels(const IMGBIN& a) : first(new int[a.nl + 1]) {
  const uint32_t last = vistelmo::last_word_mask(a.nc);
  const int total = count_runs(a, last);
  runs.reset(new Run[total]);  // written before read: no zeroing
  stats.reset(new Stat[total]);
  constexpr int reach = diag ? 1 : 0;
  int n = 0, prev = 0;
  for (int l = 0; l < a.nl(); l++) {
    first[l] = n;
    int j = prev;  // first run of the row above that may touch the current one
    const int prev_end = n;
    row_runs(a.rows[l], a.wpr, a.nc, last, [&](int s, int e) {
      const int i = n++;
      runs[i] = Run{s, e, i};
      stats[i] = Stat(l, s, e);
      while (j < prev_end && runs[j].e + reach <= s) j++;
      int root = i;
      for (int k = j; k < prev_end && runs[k].s < e + reach; k++) {
        const int r = find_root(runs.get(), k);
        if (root == i) {
          runs[i].p = root = r;
          stats[r].add(stats[i]);
        } else if (r != root) {
          const int lo = r < root ? r : root, hi = r < root ? root : r;
          runs[hi].p = lo;
          stats[lo].add(stats[hi]);
          root = lo;
        }
      }
    });
    prev = first[l];
  }
  first[a.nl] = n;
}

// Pixel count of a component.
struct Area {
  int n;
  Area() = default;
  Area(int, int s, int e) : n(e - s) {}
  void add(const Area& o) { n += o.n; }
};

// Bounding box of a component.
struct Box {
  int lmin, lmax, cmin, cmax;
  Box() = default;
  Box(int l, int s, int e) : lmin(l), lmax(l), cmin(s), cmax(e - 1) {}
  void add(const Box& o) {
    lmin = std::min(lmin, o.lmin);
    lmax = std::max(lmax, o.lmax);
    cmin = std::min(cmin, o.cmin);
    cmax = std::max(cmax, o.cmax);
  }
};

// Sets columns [s, e) of a row black.
void clear_run(uint32_t* row, int s, int e) {
  const int w0 = s >> 5, w1 = (e - 1) >> 5;
  const uint32_t head = 0xFFFFFFFFu >> (s & 31);
  const uint32_t tail = ~((0xFFFFFFFFu >> ((e - 1) & 31)) >> 1);
  if (w0 == w1) {
    row[w0] &= ~(head & tail);
    return;
  }
  row[w0] &= ~head;
  for (int w = w0 + 1; w < w1; w++) row[w] = 0;
  row[w1] &= ~tail;
}

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
  IMGBIN out(a.nl, a.nc, branco);
  if (a.nl < 1 || a.nc < 1 || !a.rows) return out;
  Labels<true, Area> lab(a);
  Run* runs = lab.runs.get();
  for (int l = 0; l < a.nl(); l++)
    for (int i = lab.first[l]; i < lab.first[l + 1]; i++) {
      runs[i].p = runs[runs[i].p].p;  // the parent's parent is already a root
      if (lab.stats[runs[i].p].n >= m) clear_run(out.rows[l], runs[i].s, runs[i].e);
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

IMGBIN findce(const IMGBIN& a) {
  IMGBIN out(a.nl, a.nc, branco);
  if (a.nl < 1 || a.nc < 1 || !a.rows) return out;
  Labels<false, Box> lab(a);
  for (int i = 0; i < lab.first[a.nl]; i++)
    if (lab.runs[i].p == i) {
      const Box& b = lab.stats[i];
      out((b.lmin + b.lmax) / 2, (b.cmin + b.cmax) / 2) = preto;
    }
  return out;
}
