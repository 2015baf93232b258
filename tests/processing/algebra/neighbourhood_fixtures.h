// Fixtures shared by the morphology and median tests: seeded images and pixel comparisons.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "images/images.h"
#include "processing/algebra/neighbourhood_internal.h"
#include "support/isa_levels.h"
#include "support/test_support.h"

namespace fixtures {

using testutil::Rng;

// Image sizes: degenerate, odd and word-boundary shapes, and rows long enough for a vector
// main loop and its tail.
inline const std::vector<std::pair<int, int>>& shapes() {
  static const std::vector<std::pair<int, int>> s = {
      {1, 1},  {1, 3},  {3, 1},  {2, 2},  {5, 7},  {4, 9},    {3, 31}, {2, 32},
      {3, 33}, {2, 63}, {3, 64}, {2, 65}, {7, 67}, {12, 131}, {1, 257}};
  return s;
}

// The shapes above plus one tall and wide enough for the interior of windows up to 15 x 15, and
// one interior row of 3 x 3 windows longer than two vectors.
inline std::vector<std::pair<int, int>> span_shapes() {
  std::vector<std::pair<int, int>> s = shapes();
  s.push_back({29, 40});
  s.push_back({3, 67});
  return s;
}

// Binary image with about `percent` white pixels; spare bits set, so that a result that
// overwrites them shows.
inline IMGBIN random_bin(int nl, int nc, Rng& g, int percent = 50) {
  IMGBIN a(nl, nc);
  for (int w = 0; w < a.nw; w++) a.data[w] = 0xFFFFFFFFu;
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a(l, c) = g.below(100) < percent;
  return a;
}

inline IMGGRY random_grey(int nl, int nc, Rng& g, int levels = 256) {
  IMGGRY a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a(l, c) = static_cast<unsigned char>(g.below(levels));
  return a;
}

inline IMGFLT random_float(int nl, int nc, Rng& g) {
  IMGFLT a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) a(l, c) = static_cast<float>(g.below(20001) - 10000) / 37.0f;
  return a;
}

// Floats of both signs among which 2^40 and -2^40 come often: a double sum holding one of them
// rounds the small ones away until the other cancels it, so the order of a window's sum shows
// in its mean.
inline IMGFLT random_float_cancelling(int nl, int nc, Rng& g) {
  IMGFLT a(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) {
      const float sign = g.below(2) ? 1.0f : -1.0f;
      a(l, c) = g.below(4) == 0
                    ? sign * 0x1p40f
                    : sign * std::ldexp(1.0f + static_cast<float>(g.below(1 << 23)) * 0x1p-23f,
                                        g.below(8) - 4);
    }
  return a;
}

inline uint32_t bits_of(float v) {
  uint32_t u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}
inline uint64_t bits_of(double v) {
  uint64_t u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}
using testutil::same_pixels;

// The bits past the last column of every row.
inline std::vector<uint32_t> spare_bits(const IMGBIN& a) {
  std::vector<uint32_t> s;
  const int used = a.nc & 31;
  if (used == 0) return s;
  for (int l = 0; l < a.nl; l++) s.push_back(a.rows[l][a.wpr - 1] & (0xFFFFFFFFu >> used));
  return s;
}

}  // namespace fixtures
