// Positions of the darkest or brightest pixels of an image (0.0 black, 1.0 white).
//
// Positions are PONTOI2 (row, column); pixels are scanned rows outer, columns inner, and only
// the nl*nc pixels take part. Distance: Euclidean, between int positions. A point is accepted
// only when it lies strictly farther than d from every point accepted before it.
#pragma once

#include <queue>
#include <vector>

#include "foundation/points.h"
#include "foundation/vetor.h"
#include "images/images.h"

#pragma GCC visibility push(default)

// One candidate pixel.
struct FI2 {
  float value;
  int l, c;
};

// Orders on the value alone: under FI2maior a heap yields the smallest value first, under
// FI2menor the largest.
struct FI2maior {
  bool operator()(const FI2& a, const FI2& b) const { return a.value > b.value; }
};
struct FI2menor {
  bool operator()(const FI2& a, const FI2& b) const { return a.value < b.value; }
};

// The heaps' orders: FI2maior or FI2menor, with equal values taken in scan order.
template <class ByValue>
struct FI2scan {
  bool operator()(const FI2& a, const FI2& b) const {
    if (a.value != b.value) return ByValue()(a, b);
    return a.l != b.l ? a.l > b.l : a.c > b.c;
  }
};

// Picks bright points one at a time: insere adds candidates, retira takes the brightest one
// that keeps the distance, remove_fim withdraws the last point taken.
class KMAX {
 public:
  std::priority_queue<FI2, std::vector<FI2>, FI2scan<FI2menor>> candidatos;
  std::vector<PONTOI2> escolhidos;  // accepted points, in order

  // Adds every pixel brighter than 0.0 (called twice, adds them twice).
  void insere(const IMGFLT& a);
  // The brightest remaining candidate farther than d from every chosen point, or (-1, -1)
  // when none is left. Refused candidates are dropped.
  PONTOI2 retira(double d);
  // Drops the last chosen point (its candidate does not come back); nothing when none.
  void remove_fim();
};

// Up to k points, darkest (below 1.0) or brightest (above 0.0) first, each farther than d from
// the ones before; d <= 0 (or NaN) skips the distance test.
std::vector<PONTOI2> kmin(const IMGFLT& a, int k, double d);
std::vector<PONTOI2> kmax(const IMGFLT& a, int k, double d);

// The positions of the k smallest values below 1.0 (kargmin) or the k largest above 0.0
// (kargmax), extreme first, ties in scan order; fewer when fewer such pixels exist. More points
// than pixels is fatal ("Erro: kargmax a.n()<k"); k <= 0 gives an empty list.
std::vector<PONTOI2> kargmin(const IMGFLT& a, int k);
std::vector<PONTOI2> kargmax(const IMGFLT& a, int k);

// k dark points, then l bright points, each the first pixel in scan order of the most extreme
// value among those farther than d from every earlier point (the dark ones included). Result:
// k+l points, dark first. Negative k, l or d: "Erro: kminlmax"; a dark or bright point that
// finds no pixel: "Erro inesperado 1" or "Erro inesperado 2".
VETOR<PONTOI2> kminlmax(const IMGGRY& a, int k, int l, double d);
VETOR<PONTOI2> kminlmax(const IMGFLT& a, int k, int l, double d);

#pragma GCC visibility pop
