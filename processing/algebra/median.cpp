// Median filters under a weighted window mask.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <numeric>
#include <utility>
#include <vector>

#include "foundation/erro.h"
#include "foundation/vetor.h"
#include "numerics/kth.h"
#include "processing/algebra/median.h"
#include "processing/algebra/median_internal.h"
#include "processing/algebra/neighbourhood_internal.h"
#include "processing/algebra/planes.h"
#include "processing/kernels/median_kernels.h"

namespace {

using vistelmo::Tap;
using vistelmo::total_weight;
using vistelmo::weighted_taps;

// Each sample repeated by its weight, then the element of rank (n-1)/2.
template <class T>
struct Selection {
  VETOR<T>& v;
  T* const* dst;
  int n;
  void start() { n = 0; }
  void in(T p, const Tap& t) {
    for (int k = 0; k < t.value; k++) v.data[n++] = p;
  }
  void out(const Tap&) {}
  void finish(int l, int c) { dst[l][c] = kth_element(v, 0, n - 1, (n - 1) / 2); }
};

// Weights counted per grey level; the first level whose running count passes half.
struct Histogram {
  unsigned char* const* dst;
  int64_t count[256];
  int64_t n;
  int lo, hi;  // levels touched
  void start() {
    n = 0;
    lo = 256;
    hi = -1;
  }
  void in(unsigned char p, const Tap& t) {
    count[p] += t.value;
    n += t.value;
    lo = std::min(lo, int{p});
    hi = std::max(hi, int{p});
  }
  void out(const Tap&) {}
  // The level, the counts cleared.
  unsigned char level() {
    unsigned char v = 0;  // a window without samples
    const int64_t target = (n - 1) / 2 + 1;
    int64_t run = 0;
    for (int g = lo; g <= hi; g++) {
      run += count[g];
      if (run >= target) {
        v = static_cast<unsigned char>(g);
        break;
      }
    }
    if (hi >= lo) std::fill(count + lo, count + hi + 1, 0);
    return v;
  }
  void finish(int l, int c) { dst[l][c] = level(); }
};

// Each channel of a colour sample in its own histogram.
struct ColourHistogram {
  COR* const* dst;
  Histogram h[3];
  void start() {
    for (Histogram& x : h) x.start();
  }
  void in(COR p, const Tap& t) {
    h[0].in(p.r, t);
    h[1].in(p.g, t);
    h[2].in(p.b, t);
  }
  void out(const Tap&) {}
  void finish(int l, int c) { dst[l][c] = COR{h[0].level(), h[1].level(), h[2].level()}; }
};

// Windows of at most kSmallWindow samples (weights counted): the samples repeated by their
// weight, the three channels side by side in one vector, sorted by odd-even transposition; the
// element of rank (n-1)/2 of each channel (0 for a window without samples).
constexpr int64_t kSmallWindow = 19;
struct ColourSelection {
  typedef unsigned char Channels __attribute__((vector_size(4)));
  COR* const* dst;
  Channels v[kSmallWindow];
  int n;
  void start() { n = 0; }
  void in(COR p, const Tap& t) {
    for (int k = 0; k < t.value; k++) v[n++] = Channels{p.r, p.g, p.b, 0};
  }
  void out(const Tap&) {}
  void finish(int l, int c) {
    if (n == 0) {
      dst[l][c] = COR{0, 0, 0};
      return;
    }
    for (int round = 0; round < n; round++)
      for (int j = round & 1; j + 1 < n; j += 2) {
        const Channels a = v[j], b = v[j + 1];
        v[j] = a < b ? a : b;
        v[j + 1] = a < b ? b : a;
      }
    const Channels m = v[(n - 1) / 2];
    dst[l][c] = COR{m[0], m[1], m[2]};
  }
};

// Windows of fewer than 256 samples (weights counted): byte counts per level, the level of rank
// (n-1)/2 found eight levels at a time (the bytes of a word summed by one multiplication: the
// sum stays below 256); a window without samples gives 0.
constexpr int64_t kByteCounts = 255;
struct ColourCounts {
  COR* const* dst;
  uint64_t count[3][32];
  int n;
  void start() {
    std::memset(count, 0, sizeof count);
    n = 0;
  }
  void in(COR p, const Tap& t) {
    auto* c = reinterpret_cast<unsigned char*>(count);
    c[p.r] += t.value;
    c[256 + p.g] += t.value;
    c[512 + p.b] += t.value;
    n += t.value;
  }
  void out(const Tap&) {}
  unsigned char level(const uint64_t* words) const {
    if (n == 0) return 0;
    const int target = (n - 1) / 2 + 1;
    int run = 0, k = 0;
    for (;; k++) {
      const int sum = static_cast<int>((words[k] * 0x0101010101010101ull) >> 56);
      if (run + sum >= target) break;
      run += sum;
    }
    const unsigned char* c = reinterpret_cast<const unsigned char*>(words + k);
    int j = 0;
    while ((run += c[j]) < target) j++;
    return static_cast<unsigned char>(8 * k + j);
  }
  void finish(int l, int c) { dst[l][c] = COR{level(count[0]), level(count[1]), level(count[2])}; }
};

// A selection network for the weighted median of a full window: each tap's weight (divided by
// the weights' common factor, which keeps the rank) gives it that many wires, and wire (n-1)/2
// of Batcher's odd-even merge sort of the n wires is taken (comparators past wire n dropped, as
// if those wires held +inf). Comparators meeting two copies of one value are left out, and so
// is every comparator the outputs do not depend on. One tap of weight k among m taps of weight
// 1 takes m + 1 wires instead: the singles' elements s(r-k) and s(r) (r the rank), then the
// heavy sample clamped between them, which is the element of rank r of all.
struct Network {
  std::vector<int> tap;  // per wire
  std::vector<int32_t> pairs;
  int out = 0;
  int lo = -1, hi = -1;  // one heavy tap: the ranks it is clamped between (-1, m: no bound)
  int wires() const { return static_cast<int>(tap.size()); }
};

// Comparators of Batcher's sort of the wires, pruned to those the wires `outputs` need; wire w
// starts as sample tap[w].
std::vector<int32_t> pruned_sort(const std::vector<int>& tap, const std::vector<int>& outputs) {
  const int wires = static_cast<int>(tap.size());
  std::vector<std::pair<int, int>> all;
  for (int p = 1; p < wires; p <<= 1)
    for (int k = p; k >= 1; k >>= 1)
      for (int j = k % p; j + k < wires; j += 2 * k)
        for (int i = 0; i < std::min(k, wires - j - k); i++)
          if ((i + j) / (2 * p) == (i + j + k) / (2 * p)) all.push_back({i + j, i + j + k});
  // Forward: the expression each wire holds, equal expressions one number.
  std::vector<int> expr(tap);
  std::map<std::pair<int, int>, std::pair<int, int>> made;
  int next = *std::max_element(tap.begin(), tap.end()) + 1;
  std::vector<char> live(all.size(), 1);
  for (size_t c = 0; c < all.size(); c++) {
    int &x = expr[all[c].first], &y = expr[all[c].second];
    if (x == y) {
      live[c] = 0;
      continue;
    }
    auto it = made.find({std::min(x, y), std::max(x, y)});
    if (it == made.end())
      it = made.insert({{std::min(x, y), std::max(x, y)}, {next, next + 1}}).first, next += 2;
    x = it->second.first;
    y = it->second.second;
  }
  // Backward: what the outputs depend on.
  std::vector<char> need(wires, 0);
  for (int o : outputs) need[o] = 1;
  for (size_t c = all.size(); c-- > 0;) {
    const auto [x, y] = all[c];
    if (!live[c] || (!need[x] && !need[y])) {
      live[c] = 0;
      continue;
    }
    need[x] = need[y] = 1;
  }
  std::vector<int32_t> pairs;
  for (size_t c = 0; c < all.size(); c++)
    if (live[c]) pairs.insert(pairs.end(), {all[c].first, all[c].second});
  return pairs;
}

// Empty when the network would take more than max_wires wires.
Network selection_network(const std::vector<Tap>& taps, int max_wires) {
  Network net;
  int g = 0, heavy = -1, heavies = 0;
  int64_t n = 0;
  for (const Tap& t : taps) g = std::gcd(g, t.value);
  for (size_t i = 0; i < taps.size(); i++) {
    n += taps[i].value / g;
    if (taps[i].value != g) heavy = static_cast<int>(i), heavies++;
  }
  if (taps.empty()) return net;
  if (heavies == 1 && static_cast<int>(taps.size()) <= max_wires) {
    const int m = static_cast<int>(taps.size()) - 1, k = taps[heavy].value / g,
              r = static_cast<int>((n - 1) / 2);
    for (int i = 0; i < m + 1; i++) net.tap.push_back(i < heavy ? i : i + 1);
    net.tap.back() = heavy;
    std::vector<int> singles(net.tap.begin(), net.tap.end() - 1), outputs;
    if (r - k >= 0) outputs.push_back(r - k);
    if (r < m) outputs.push_back(r);
    if (m > 0) net.pairs = pruned_sort(singles, outputs);
    if (r < m) net.pairs.insert(net.pairs.end(), {m, r});           // min(heavy, s(r))
    if (r - k >= 0) net.pairs.insert(net.pairs.end(), {r - k, m});  // max(s(r-k), that)
    net.out = m;
    net.lo = r - k >= 0 ? r - k : -1;
    net.hi = r < m ? r : m;
    return net;
  }
  if (n > max_wires) return net;
  for (size_t i = 0; i < taps.size(); i++) net.tap.insert(net.tap.end(), taps[i].value / g, i);
  net.out = (net.wires() - 1) / 2;
  net.pairs = pruned_sort(net.tap, {net.out});
  return net;
}

// A byte network over n outputs; eight singles and a heavy tap by the kernel fixed for them.
void run_network(const Network& net, const unsigned char* const* src, unsigned char* dst,
                 int64_t n) {
  const vistelmo::MedianKernels& k = vistelmo::median_kernels();
  if (net.wires() == 9 && net.hi >= 0)
    k.heavy8_u8(src, net.lo, net.hi, dst, n);
  else
    k.network_u8(src, net.wires(), net.pairs.data(), static_cast<int>(net.pairs.size() / 2),
                 net.out, dst, n);
}

// The wires' rows for output row l from column c0.
template <class T>
void network_sources(T* const* rows, const std::vector<Tap>& taps, const Network& net, int64_t l,
                     int64_t c0, std::vector<const T*>& src) {
  for (int w = 0; w < net.wires(); w++) {
    const Tap& t = taps[net.tap[w]];
    src[w] = rows[l + t.di] + c0 + t.dj;
  }
}

// A sliding histogram (Huang) over one row of interior pixels: built whole at the first pixel,
// then moved right by the weight changes at the window's column edges. The median level moves
// from its last place, keeping the count of samples below it.
struct EdgeTap {
  int64_t di, dj;
  int32_t dw;
};

// Weight changes when the window moves one column right, at offsets from the new position:
// w(d) - w(d + 1) per mask row.
std::vector<EdgeTap> edge_taps(const std::vector<Tap>& taps) {
  std::vector<EdgeTap> e;
  auto add = [&](int64_t di, int64_t dj, int32_t dw) {
    for (EdgeTap& t : e)
      if (t.di == di && t.dj == dj) {
        t.dw += dw;
        return;
      }
    e.push_back({di, dj, dw});
  };
  for (const Tap& t : taps) {
    add(t.di, t.dj, t.value);
    add(t.di, t.dj - 1, -t.value);
  }
  e.erase(std::remove_if(e.begin(), e.end(), [](const EdgeTap& t) { return t.dw == 0; }), e.end());
  return e;
}

// Out of line: inlined into grey_median its row pointers spill to the stack (disk 15: 143 ->
// 162 ms).
__attribute__((noinline)) void sliding_histogram(const IMGGRY& a, const std::vector<Tap>& taps,
                                                 int64_t w, const vistelmo::Interior& in,
                                                 IMGGRY& r) {
  const std::vector<EdgeTap> edges = edge_taps(taps);
  const size_t ne = edges.size();
  std::vector<const unsigned char*> from(ne);
  std::vector<int32_t> dw(ne);
  for (size_t k = 0; k < ne; k++) dw[k] = edges[k].dw;
  const int32_t target = static_cast<int32_t>((w - 1) / 2 + 1);
  int32_t count[256];
  for (int64_t l = in.l0; l < in.l1; l++) {
    std::fill(count, count + 256, 0);
    for (const Tap& t : taps) count[a.rows[l + t.di][in.c0 + t.dj]] += t.value;
    for (size_t k = 0; k < ne; k++) from[k] = a.rows[l + edges[k].di] + edges[k].dj + 1;
    int med = 0;
    int32_t below = 0;
    unsigned char* out = r.rows[l];
    for (int64_t c = in.c0;; c++) {
      while (below >= target) below -= count[--med];
      while (below + count[med] < target) below += count[med++];
      out[c] = static_cast<unsigned char>(med);
      if (c + 1 >= in.c1) break;
      for (size_t k = 0; k < ne; k++) {
        const unsigned char p = from[k][c];
        count[p] += dw[k];
        below += p < med ? dw[k] : 0;
      }
    }
  }
}

// Equal weights on a full rectangle of hl x hc (fewer than 2^16 members): column histograms
// of the current tier.
void column_histograms(const IMGGRY& a, int64_t dimin, int64_t hl, int64_t djmin, int64_t hc,
                       const vistelmo::Interior& in, IMGGRY& r) {
  std::vector<const unsigned char*> src(in.l1 - in.l0 + hl - 1);
  for (size_t i = 0; i < src.size(); i++) src[i] = a.rows[in.l0 + dimin + i] + in.c0 + djmin;
  vistelmo::median_kernels().box_median_u8(src.data(), hl, hc, r.rows + in.l0, in.c0, in.l1 - in.l0,
                                           in.c1 - in.c0);
}

// Windows of up to this many samples (weights over their common factor) go through a selection
// network; larger ones through histograms.
constexpr int kNetworkWires = 100;
static_assert(kNetworkWires <= vistelmo::kMaxNetworkWires, "network too wide for the kernels");

// Full rectangles of equal weights from this many members go through column histograms.
constexpr int64_t kBoxHistogram = 81;

// The pixels whose whole window lies inside, by span kernels: a sorting network for a full 3 x 3
// or 5 x 5 window of equal weights (equal weights select the same rank as weights of one),
// column histograms for full rectangles from 9 x 9, a selection network for other small
// windows, else a sliding histogram. False when the plain tier is to do everything.
bool median_interior(const IMGGRY& a, const std::vector<Tap>& taps, int64_t w,
                     const vistelmo::Interior& in, IMGGRY& r) {
  if (vistelmo::plain_walks() || w < 1 || w > INT32_MAX || in.empty()) return false;
  const vistelmo::TapBox box = vistelmo::tap_box(taps);
  const int64_t dimin = box.rmin, djmin = box.cmin, hl = box.rows(), hc = box.cols();
  const bool rectangle = vistelmo::full_box(taps, box), square = rectangle && hl == hc;
  if (square && (hl == 3 || hl == 5)) {
    const vistelmo::MedianKernels& k = vistelmo::median_kernels();
    const unsigned char* rows[5];
    for (int64_t l = in.l0; l < in.l1; l++) {
      for (int64_t i = 0; i < hl; i++) rows[i] = a.rows[l + dimin + i] + in.c0 + djmin;
      (hl == 3 ? k.median3_u8 : k.median5_u8)(rows, r.rows[l] + in.c0, in.c1 - in.c0);
    }
    return true;
  }
  if (rectangle && hl * hc >= kBoxHistogram && hl * hc < 65536) {
    column_histograms(a, dimin, hl, djmin, hc, in, r);
    return true;
  }
  const Network net = selection_network(taps, kNetworkWires);
  if (net.wires() > 0) {
    std::vector<const unsigned char*> src(net.wires());
    for (int64_t l = in.l0; l < in.l1; l++) {
      network_sources(a.rows, taps, net, l, in.c0, src);
      run_network(net, src.data(), r.rows[l] + in.c0, in.c1 - in.c0);
    }
  } else {
    sliding_histogram(a, taps, w, in, r);
  }
  return true;
}

// Doubles: the interior through a selection network (a full 3 x 3 or 5 x 5 of equal weights
// through sorted columns, some counts of equal weights through networks fixed when compiling),
// except rows whose window meets a NaN and pixels whose median is a zero (the network may keep
// the other zero than the selection); those and the border band by selection.
IMGDBL double_median(const IMGDBL& a, const IMGGRY& m) {
  const int64_t w = total_weight(m);
  IMGDBL r(a.nl, a.nc);
  if (!vistelmo::has_pixels(a)) return r;
  if (w > INT_MAX) erro("Erro VETOR::aloca - Falta memoria", "");
  VETOR<double> v(static_cast<int>(w));
  Selection<double> sel{v, r.rows, 0};
  const std::vector<Tap> taps = weighted_taps(m);
  const vistelmo::Interior in = vistelmo::window_interior(a.nl, a.nc, taps);
  const Network net =
      !vistelmo::plain_walks() && !in.empty() ? selection_network(taps, kNetworkWires) : Network{};
  const bool fast = net.wires() > 0;
  if (fast) {
    auto one = [&](int64_t l, int64_t c) {
      sel.start();
      for (const Tap& t : taps) sel.in(a.rows[l + t.di][c + t.dj], t);
      sel.finish(static_cast<int>(l), static_cast<int>(c));
    };
    std::vector<signed char> nan(a.nl, -1);  // per row, -1 not looked at yet
    auto has_nan = [&](int64_t y) {
      if (nan[y] < 0) {
        const double* p = a.rows[y];
        nan[y] = std::any_of(p, p + a.nc, [](double x) { return x != x; });
      }
      return nan[y] == 1;
    };
    const vistelmo::TapBox box = vistelmo::tap_box(taps);
    const bool full = vistelmo::full_box(taps, box) && box.rows() == box.cols();
    const bool square3 = full && box.rows() == 3, square5 = full && box.rows() == 5;
    const bool middle = box.equal && vistelmo::middle_wires(static_cast<int>(taps.size()));
    std::vector<char> redo(a.nl, 0);  // interior rows the selection may have to redo in part
    const int64_t n = in.c1 - in.c0;
    if (square3) {
      // Output rows two at a time (the last pair moved up to end on the last row), a single
      // row with a spare second. A kernel looks at its two middle input rows for samples that
      // are not finite; the other rows stay suspect.
      std::vector<char> suspect(a.nl, 1), zero(a.nl, 0);
      const bool two = in.l1 - in.l0 >= 2;
      std::vector<double> spare(two ? 0 : n);
      for (int64_t l = in.l0; l < in.l1; l += 2) {
        const int64_t t = two ? std::min(l, in.l1 - 2) : l, y = t + box.rmin;
        const int64_t u = two ? std::min(t + 2, in.l1 - 2) : t;  // the next pair
        const double* rows[6];
        for (int64_t i = 0; i < 4; i++)
          rows[i] = a.rows[y + std::min<int64_t>(i, two ? 3 : 2)] + in.c0 + box.cmin;
        rows[4] = a.rows[u + box.rmin + (two ? 2 : 1)] + in.c0 + box.cmin;
        rows[5] = a.rows[u + box.rmin + (two ? 3 : 2)] + in.c0 + box.cmin;
        double* dst[4] = {r.rows[t] + in.c0, two ? r.rows[t + 1] + in.c0 : spare.data(),
                          r.rows[u] + in.c0, two ? r.rows[u + 1] + in.c0 : spare.data()};
        const int bits = vistelmo::median_kernels().median3_f64(rows, dst, n);
        zero[t] |= bits & 1;
        if (two) zero[t + 1] |= (bits >> 1) & 1;
        suspect[y + 1] = suspect[y + 2] = (bits >> 2) & 1;
      }
      for (int64_t l = in.l0; l < in.l1; l++)
        redo[l] = zero[l] || suspect[l + box.rmin] || suspect[l + box.rmin + 1] ||
                  suspect[l + box.rmin + 2];
    } else {
      std::vector<const double*> src(net.wires());
      for (int64_t l = in.l0; l < in.l1; l++) {
        double* out = r.rows[l] + in.c0;
        if (square5) {
          const double* rows[5];
          for (int64_t i = 0; i < 5; i++) rows[i] = a.rows[l + box.rmin + i] + in.c0 + box.cmin;
          redo[l] = vistelmo::median_kernels().median5_f64(rows, out, n);
        } else if (middle) {
          network_sources(a.rows, taps, net, l, in.c0, src);
          redo[l] = vistelmo::median_kernels().middle_f64(src.data(), net.wires(), out, n);
        } else {
          network_sources(a.rows, taps, net, l, in.c0, src);
          redo[l] = vistelmo::median_kernels().network_f64(
              src.data(), net.wires(), net.pairs.data(), static_cast<int>(net.pairs.size() / 2),
              net.out, out, n);
        }
      }
    }
    for (int64_t l = in.l0; l < in.l1; l++) {
      if (!redo[l]) continue;
      bool clean = true;
      for (int64_t y = l + box.rmin; y <= l + box.rmax; y++) clean = clean && !has_nan(y);
      for (int64_t c = in.c0; c < in.c1; c++)
        if (!clean || r.rows[l][c] == 0) one(l, c);
    }
  }
  vistelmo::traverse_window(a.rows, a.nl, a.nc, taps, sel, fast);
  return r;
}

// Grey median of r's size into r; empty windows give 0 (else selection makes them fatal for
// totals up to 19).
void grey_median(const IMGGRY& a, const std::vector<Tap>& taps, int64_t w, bool empty_zero,
                 IMGGRY& r) {
  const bool fast = median_interior(a, taps, w, vistelmo::window_interior(a.nl, a.nc, taps), r);
  // The plain walk: everything, or the border band with fewer samples.
  if (w <= kSmallWindow && !empty_zero) {
    VETOR<unsigned char> v(static_cast<int>(w));
    Selection<unsigned char> sel{v, r.rows, 0};
    vistelmo::traverse_window(a.rows, a.nl, a.nc, taps, sel, fast);
  } else {
    Histogram h{};
    h.dst = r.rows;
    vistelmo::traverse_window(a.rows, a.nl, a.nc, taps, h, fast);
  }
}

}  // namespace

IMGGRY mediana(const IMGGRY& a, const IMGGRY& m) {
  IMGGRY r(a.nl, a.nc);
  if (vistelmo::has_pixels(a)) grey_median(a, weighted_taps(m), total_weight(m), false, r);
  return r;
}

IMGDBL mediana(const IMGDBL& a, const IMGGRY& m) { return double_median(a, m); }

// The interior of a colour median on the bytes of its rows, channel by channel: the 3 x 3 and
// 5 x 5 kernels of three channels, or a selection network whose taps lie 3 bytes a column apart.
// False where neither serves.
bool colour_interior(const IMGCOR& a, const std::vector<Tap>& taps, int64_t w,
                     const vistelmo::Interior& in, IMGCOR& r) {
  if (vistelmo::plain_walks() || w < 1 || w > INT32_MAX || in.empty()) return false;
  auto bytes = [](COR* p) { return reinterpret_cast<unsigned char*>(p); };
  const vistelmo::TapBox box = vistelmo::tap_box(taps);
  const int64_t hl = box.rows(), n = 3 * (in.c1 - in.c0);
  if (vistelmo::full_box(taps, box) && hl == box.cols() && (hl == 3 || hl == 5)) {
    const vistelmo::MedianKernels& k = vistelmo::median_kernels();
    const unsigned char* rows[5];
    for (int64_t l = in.l0; l < in.l1; l++) {
      for (int64_t i = 0; i < hl; i++) rows[i] = bytes(a.rows[l + box.rmin + i] + in.c0 + box.cmin);
      (hl == 3 ? k.median3_c3_u8 : k.median5_c3_u8)(rows, bytes(r.rows[l] + in.c0), n);
    }
    return true;
  }
  const Network net = selection_network(taps, kNetworkWires);
  if (net.wires() == 0) return false;
  std::vector<const unsigned char*> src(net.wires());
  for (int64_t l = in.l0; l < in.l1; l++) {
    for (int i = 0; i < net.wires(); i++) {
      const Tap& t = taps[net.tap[i]];
      src[i] = bytes(a.rows[l + t.di] + in.c0 + t.dj);
    }
    run_network(net, src.data(), bytes(r.rows[l] + in.c0), n);
  }
  return true;
}

// Each channel its own median: on the interleaved bytes where a kernel serves, else as grey
// images.
IMGCOR mediana(const IMGCOR& a, const IMGGRY& m) {
  IMGCOR r(a.nl, a.nc);
  if (!vistelmo::has_pixels(r)) return r;
  const std::vector<Tap> taps = weighted_taps(m);
  const int64_t w = total_weight(m);
  if (colour_interior(a, taps, w, vistelmo::window_interior(a.nl, a.nc, taps), r)) {
    // The border band: few samples sorted, more counted.
    if (w <= kSmallWindow) {
      ColourSelection s{};
      s.dst = r.rows;
      vistelmo::traverse_window(a.rows, a.nl, a.nc, taps, s, true);
    } else if (w <= kByteCounts) {
      ColourCounts s{};
      s.dst = r.rows;
      vistelmo::traverse_window(a.rows, a.nl, a.nc, taps, s, true);
    } else {
      ColourHistogram h{};
      h.dst = r.rows;
      vistelmo::traverse_window(a.rows, a.nl, a.nc, taps, h, true);
    }
    return r;
  }
  IMGGRY plane(a.nl, a.nc), out(a.nl, a.nc);
  for (int ch = 0; ch < 3; ch++) {
    for (int l = 0; l < a.nl; l++) {
      const unsigned char* p = reinterpret_cast<const unsigned char*>(a.rows[l]) + ch;
      for (int c = 0; c < a.nc; c++) plane.rows[l][c] = p[3 * c];
    }
    grey_median(plane, taps, w, true, out);
    for (int l = 0; l < a.nl; l++) {
      unsigned char* q = reinterpret_cast<unsigned char*>(r.rows[l]) + ch;
      for (int c = 0; c < a.nc; c++) q[3 * c] = out.rows[l][c];
    }
  }
  return r;
}
