// The span form of grey and float morphology, shared by its files: reductions along lines and
// the separable rectangle of bytes. Library sources only.
#pragma once

#include <cstdint>

#include "processing/kernels/neighbourhood_spans.h"

namespace vistelmo {

// The span form of the rectangle: a row pass and a column pass, each over a line padded with
// the outside value, reduced by doubling (red over 2, 4, 8 .. samples, then two overlapping
// halves), so the cost grows with log(size). red keeps the earlier sample on ties and never
// takes a NaN, which makes any grouping give the bits of the plain left-to-right fold.
template <class T>
struct RedKernels {
  void (*red2)(const T*, const T*, T*, int64_t);
  void (*red_into)(T*, const T*, int64_t);
  void (*red4)(const T*, const T*, const T*, const T*, T*, int64_t);
  // Three samples across straight from a row, false where it holds a NaN; three rows down then
  // red(start, ..) (the float kernels only).
  bool (*red3)(const T*, T*, int64_t) = nullptr;
  void (*red3_first)(T, const T*, const T*, const T*, T*, int64_t) = nullptr;
};

inline RedKernels<uint8_t> red_kernels(const SpanKernels& k, uint8_t, bool max) {
  return max ? RedKernels<uint8_t>{k.max2_u8, k.max_into_u8, k.max4_u8}
             : RedKernels<uint8_t>{k.min2_u8, k.min_into_u8, k.min4_u8};
}
// Float lines pass through calm first, so their kernels meet no NaN.
inline RedKernels<float> red_kernels(const SpanKernels& k, float, bool max) {
  return max ? RedKernels<float>{k.max2_num_f32, k.max_into_num_f32, k.max4_num_f32, k.max3_num_f32,
                                 k.max3_first_num_f32}
             : RedKernels<float>{k.min2_num_f32, k.min_into_num_f32, k.min4_num_f32, k.min3_num_f32,
                                 k.min3_first_num_f32};
}

// Lines that the span form handles with padding of a sensible size.
inline bool spans_fit(int n, int64_t offset, int64_t size) {
  return size >= 1 && size <= 2 * int64_t{n} + 256 && offset >= -size - n && offset <= n;
}

// dst(l, c) = min or max (max set) over the rectangle rows l + orow .. l + orow + wl - 1, columns
// c + ocol .. c + ocol + wc - 1 of src, reading outside off the image. dst apart from src.
void byte_rectangle_spans(uint8_t* const* src, uint8_t* const* dst, int nl, int nc, int64_t orow,
                          int64_t wl, int64_t ocol, int64_t wc, uint8_t outside, bool max);

}  // namespace vistelmo
