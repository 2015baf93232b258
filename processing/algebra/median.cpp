// Median filters under a weighted window mask.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "foundation/erro.h"
#include "foundation/vetor.h"
#include "numerics/kth.h"
#include "processing/algebra/median.h"
#include "processing/algebra/neighbourhood_internal.h"

namespace core = vistelmo;

namespace {

using core::Tap;

// Mask elements of non-zero weight, in row-major order.
std::vector<Tap> weighted_taps(const IMGGRY& m) {
  return core::window_taps(m, 1, [](unsigned char v) { return v > 0; });
}

// Sum of every mask value.
int64_t total_weight(const IMGGRY& m) {
  int64_t w = 0;
  if (core::has_pixels(m))
    for (int i = 0; i < m.nl; i++)
      for (int j = 0; j < m.nc; j++) w += m.rows[i][j];
  return w;
}

struct MajorityVote {
  unsigned char* const* dst;
  int64_t white, black;
  void start() { white = black = 0; }
  void in(unsigned char p, const Tap& t) { (p ? white : black) += t.value; }
  void out(const Tap&) {}
  void finish(int l, int c) { dst[l][c] = white > black; }
};

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
  void finish(int l, int c) {
    dst[l][c] = 0;  // a window without samples
    const int64_t target = (n - 1) / 2 + 1;
    int64_t run = 0;
    for (int g = lo; g <= hi; g++) {
      run += count[g];
      if (run >= target) {
        dst[l][c] = static_cast<unsigned char>(g);
        break;
      }
    }
    if (hi >= lo) std::fill(count + lo, count + hi + 1, 0);
  }
};

template <class Img>
Img select_median(const Img& a, const IMGGRY& m, int64_t w) {
  using T = typename Img::Pixel;
  Img r(a.nl, a.nc);
  if (!core::has_pixels(a)) return r;
  if (w > INT_MAX) erro("Erro VETOR::aloca - Falta memoria", "");
  VETOR<T> v(static_cast<int>(w));
  Selection<T> sel{v, r.rows, 0};
  core::traverse_window(a.rows, a.nl, a.nc, weighted_taps(m), sel);
  return r;
}

}  // namespace

IMGBIN mediana(const IMGBIN& a, const IMGGRY& m) {
  IMGBIN r(a.nl, a.nc);
  if (!core::has_pixels(a)) return r;
  core::ByteRows src(a.nl, a.nc), dst(a.nl, a.nc);
  core::unpack_bits(a, src);
  MajorityVote vote{dst.rows.data(), 0, 0};
  core::traverse_window(src.rows.data(), a.nl, a.nc, weighted_taps(m), vote);
  core::pack_bits(dst, r);
  return r;
}

IMGGRY mediana(const IMGGRY& a, const IMGGRY& m) {
  const int64_t w = total_weight(m);
  if (w <= 19) return select_median(a, m, w);
  IMGGRY r(a.nl, a.nc);
  if (!core::has_pixels(a)) return r;
  Histogram h{};
  h.dst = r.rows;
  core::traverse_window(a.rows, a.nl, a.nc, weighted_taps(m), h);
  return r;
}

IMGDBL mediana(const IMGDBL& a, const IMGGRY& m) { return select_median(a, m, total_weight(m)); }
