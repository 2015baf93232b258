// The median kernels: a table per instruction-set level of selection networks along rows, the
// grey 3 x 3 and 5 x 5 window medians and the sliding-histogram box median. The bodies are in
// median_kernels_body.h, built per level by median_kernels.cpp; median.cpp keeps the filters,
// their per-pixel walks and the choice of kernel. Library sources only.
#pragma once

#include <cstdint>

namespace vistelmo {

// Largest number of wires a selection network runs on.
constexpr int kMaxNetworkWires = 100;

// Sample counts of equal weights the middle_f64 kernel serves.
constexpr bool middle_wires(int wires) { return wires == 13 || wires == 21 || wires == 25; }

// Selection networks run along rows: for x < n, wire w starts as src[w][x]; each pair (a, b) of
// pairs[0 .. 2 npairs) puts the smaller of wires a and b on a and the other on b (a permutation
// of the two, so every wire keeps one of the samples); dst[x] is then wire out. At most
// kMaxNetworkWires wires. The double kernels say whether a sample was NaN or an output is a zero.
struct MedianKernels {
  void (*network_u8)(const uint8_t* const* src, int wires, const int32_t* pairs, int npairs,
                     int out, uint8_t* dst, int64_t n);
  bool (*network_f64)(const double* const* src, int wires, const int32_t* pairs, int npairs,
                      int out, double* dst, int64_t n);
  // The median of each 3 x 3 window of two output rows: dst[s][x] from rows[s + k][x .. x + 2],
  // k < 3, s < 2, x < n. Any order of equal samples may be kept. Bit s (s < 2) set when an
  // output of dst[s] is a zero, bit 2 when a sample of rows[1] or rows[2] may not be finite.
  int (*median3_f64)(const double* const* rows, double* const* dst, int64_t n);
  // The same for each 5 x 5 window, rows[k][x .. x + 4], k < 5.
  bool (*median5_f64)(const double* const* rows, double* dst, int64_t n);
  // The middle of n equal samples, wire w from src[w][x], middle_wires(wires).
  bool (*middle_f64)(const double* const* src, int wires, double* dst, int64_t n);
  // Eight samples of weight one, src[0 .. 7], and a heavy one, src[8]: the heavy sample clamped
  // between the eight's elements of ranks lo and hi (-1 and 8: no bound).
  void (*heavy8_u8)(const uint8_t* const* src, int lo, int hi, uint8_t* dst, int64_t n);
  // The median of each full hl x hc window of equal weights (hl hc < 2^16): dst[i][x0 + j],
  // i < ny, j < nx, from src[i .. i + hl - 1][j .. j + hc - 1].
  void (*box_median_u8)(const uint8_t* const* src, int64_t hl, int64_t hc, uint8_t* const* dst,
                        int64_t x0, int64_t ny, int64_t nx);
  // Grey medians of the 3 x 3 or 5 x 5 window whose top-left sample is rows[i][x], for x < n
  // (dst apart from the rows); the c3 forms over rows of three interleaved channels, each
  // channel's own median (n bytes).
  void (*median3_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
  void (*median5_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
  void (*median3_c3_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
  void (*median5_c3_u8)(const uint8_t* const* rows, uint8_t* dst, int64_t n);
};

// The kernels of current_isa() (the SSE2 build at Isa::kPlain).
const MedianKernels& median_kernels();

}  // namespace vistelmo
