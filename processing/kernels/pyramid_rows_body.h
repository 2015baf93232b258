// The pyramid's row kernels (the table in pyramid_rows.h). Included by pyramid_rows.cpp inside
// the namespace of each build, with kLanes its count of 16-bit lanes a vector; the includer
// brings <immintrin.h>, <cstdint>, <utility> and the table.

#include "processing/kernels/vector_ops_body.h"

typedef uint16_t U16 __attribute__((vector_size(2 * kLanes)));
typedef uint8_t U8 __attribute__((vector_size(kLanes)));

// kLanes outputs at a time, in 16-bit lanes: a lane read from two bytes holds an even column in
// its low byte and the odd one after it in its high byte. The vertical means of the odd columns
// 2i - 1 come from the previous block's odd lanes moved up by one.
void smooth_row(const PyramidRows& r, uint8_t* out, int64_t n) {
  constexpr int64_t W = kLanes;
  int64_t i = 0;
  if (n >= W) {
    U16 prev_odd = {};
    for (; i + W <= n; i += W) {
      const U16 m = load_vector<U16>(r.mid + 2 * i), d = load_vector<U16>(r.dn + 2 * i);
      U16 even = (m & 0xFF) + (d & 0xFF) + 1, odd = (m >> 8) + (d >> 8) + 1;
      if (r.up) {
        const U16 u = load_vector<U16>(r.up + 2 * i);
        even = (even + (u & 0xFF)) / 3;
        odd = (odd + (u >> 8)) / 3;
      } else {
        even >>= 1;
        odd >>= 1;
      }
      // prev_odd's last lane, then odd's lanes but its last.
      const U16 left = lanes_from<kLanes - 1>(prev_odd, odd, std::make_index_sequence<kLanes>());
      store_vector(out + i, __builtin_convertvector((left + even + odd + 1) / 3, U8));
      prev_odd = odd;
    }
    out[0] = smoothed(r, 0);
  }
  smooth_from(r, out, i, n);
}

// out[i] = in[2i]: the low bytes of 16-bit lanes.
void halve_row(const uint8_t* in, uint8_t* out, int64_t n) {
  int64_t i = 0;
  for (; i + kLanes <= n; i += kLanes)
    store_vector(out + i, __builtin_convertvector(load_vector<U16>(in + 2 * i), U8));
  halve_from(in, out, i, n);
}

constexpr PyramidKernels kRows = {smooth_row, halve_row};
