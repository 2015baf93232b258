// The row kernels of the image pyramid: a table per instruction-set level. The bodies are in
// pyramid_rows_body.h, built per level by pyramid_rows.cpp; pyramid.cpp keeps the levels, the
// plain tier (one output at a time, the reference these are tested against) and the choice.
// Library sources only.
#pragma once

#include <cstdint>

namespace vistelmo {

// One row of the next level from the rows of a level whose sides are even (every level but
// the coarsest). Smoothing is the separable 3 x 3 mean with outside samples left out, taken
// only where it is kept: the vertical mean t of rows up, mid, dn (up null on the first row,
// where only mid and dn count) at every column, then out[i] the mean of t over columns
// 2i - 1 .. 2i + 1 (2i and 2i + 1 for i = 0). Each mean is rounded with halves up; a sum over
// three never ends in a half, so that is (s + 1) / 3, and over two (s + 1) / 2.
struct PyramidRows {
  const uint8_t* up;
  const uint8_t* mid;
  const uint8_t* dn;
};

inline unsigned vertical_mean(const PyramidRows& r, int64_t j) {
  return r.up ? (r.up[j] + r.mid[j] + r.dn[j] + 1u) / 3 : (r.mid[j] + r.dn[j] + 1u) >> 1;
}

inline uint8_t smoothed(const PyramidRows& r, int64_t i) {
  if (i == 0) return static_cast<uint8_t>((vertical_mean(r, 0) + vertical_mean(r, 1) + 1) >> 1);
  return static_cast<uint8_t>(
      (vertical_mean(r, 2 * i - 1) + vertical_mean(r, 2 * i) + vertical_mean(r, 2 * i + 1) + 1) /
      3);
}

// Outputs i .. n - 1 one at a time (the plain tier, and the vector loops' tails).
inline void smooth_from(const PyramidRows& r, uint8_t* out, int64_t i, int64_t n) {
  for (; i < n; i++) out[i] = smoothed(r, i);
}
inline void halve_from(const uint8_t* in, uint8_t* out, int64_t i, int64_t n) {
  for (; i < n; i++) out[i] = in[2 * i];
}

// out[i] = smoothed(r, i), or in[2 i], for i < n.
struct PyramidKernels {
  void (*smooth)(const PyramidRows& r, uint8_t* out, int64_t n);
  void (*halve)(const uint8_t* in, uint8_t* out, int64_t n);
};

// The kernels of current_isa(), the plain tier at Isa::kPlain.
const PyramidKernels& pyramid_kernels();

}  // namespace vistelmo
