// Batcher's odd-even merge sort as comparator lists made when compiling, pruned to the ranks a
// kernel needs: the one generator of the median kernels' sorting and selection networks.
#pragma once

namespace vistelmo {

// Wire a takes the smaller of wires a and b when bit 1 of keep is set, wire b the larger when
// bit 2 is (a < b).
struct Comparator {
  int a = 0, b = 0, keep = 0;
};

// Batcher's network on W wires (a power of two), some of them empty (+inf): comparators meeting
// an empty wire are dropped, or become a renaming when the empty one is the lower wire. Variable
// v starts as wire v; comparator c acts on variables c.a and c.b, only on the halves that ranks
// lo .. hi need; rank r ends on variable out[r].
template <int W>
struct Network {
  static constexpr int kWires = W, kMax = W * W;  // kMax: above Batcher's W log2(W)^2 / 4
  Comparator op[kMax] = {};
  int count = 0;
  int out[W] = {};
  constexpr Network(const bool (&empty)[W], int first, int lo, int hi) {
    int slot[W] = {};
    bool inf[W] = {}, need[W] = {};
    Comparator all[kMax] = {};
    int total = 0;
    for (int w = 0; w < W; w++) slot[w] = w, inf[w] = empty[w];
    for (int p = first; p < W; p <<= 1)
      for (int k = p; k >= 1; k >>= 1)
        for (int j = k % p; j + k < W; j += 2 * k)
          for (int i = 0; i < k && i + j + k < W; i++) {
            const int u = i + j, v = i + j + k;
            if (u / (2 * p) != v / (2 * p) || inf[v]) continue;
            if (inf[u]) {  // the empty wire goes up: only names move
              const int s = slot[u];
              slot[u] = slot[v], slot[v] = s;
              inf[u] = false, inf[v] = true;
              continue;
            }
            all[total].a = slot[u], all[total].b = slot[v];
            total++;
          }
    for (int r = lo; r <= hi; r++) need[slot[r]] = true;
    for (int c = total; c-- > 0;) {
      all[c].keep = (need[all[c].a] ? 1 : 0) + (need[all[c].b] ? 2 : 0);
      if (all[c].keep) need[all[c].a] = need[all[c].b] = true;
    }
    for (int c = 0; c < total; c++)
      if (all[c].keep) op[count++] = all[c];
    for (int r = 0; r < W; r++) out[r] = slot[r];
  }
};

constexpr int network_width(int n) { return n <= 1 ? 1 : 2 * network_width((n + 1) / 2); }

// The sort of n wires, pruned to ranks lo .. hi.
template <int n, int lo, int hi>
constexpr Network<network_width(n)> sort_network() {
  constexpr int W = network_width(n);
  bool empty[W] = {};
  for (int w = n; w < W; w++) empty[w] = true;
  return Network<W>(empty, 1, lo, hi);
}

// The last merge of two sorted lists, of A wires from 0 and of B wires from W / 2, pruned to
// ranks lo .. hi.
template <int W, int A, int B, int lo, int hi>
constexpr Network<W> merge_network() {
  bool empty[W] = {};
  for (int w = 0; w < W / 2; w++) empty[w] = w >= A, empty[W / 2 + w] = w >= B;
  return Network<W>(empty, W / 2, lo, hi);
}

}  // namespace vistelmo
