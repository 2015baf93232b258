// The grey 5 x 5 window medians of the median kernels (median5_u8 and median5_c3_u8 in
// median_kernels.h), included by median_kernels_body.h in the namespace of each build:
// kMiddle<25> is the middle of 25 (batcher.h).

// The median of 25 bytes: kMiddle<25> on arrays of W lanes.
template <int A, int B, int Keep, int W>
inline void compare_bytes(uint8_t (&x)[25][W]) {
  for (int i = 0; i < W; i++) {
    const uint8_t p = x[A][i], q = x[B][i];
    if (Keep & 1) x[A][i] = lo8(p, q);
    if (Keep & 2) x[B][i] = hi8(p, q);
  }
}

template <int W, size_t... C>
inline void run_median25(uint8_t (&x)[25][W], std::index_sequence<C...>) {
  (compare_bytes<kMiddle<25>.op[C].a, kMiddle<25>.op[C].b, kMiddle<25>.op[C].keep, W>(x), ...);
}

template <int S, int W>
inline void median5_block(const uint8_t* const* rows, int64_t x0, uint8_t* dst) {
  uint8_t x[25][W];
  for (int r = 0; r < 5; r++)
    for (int j = 0; j < 5; j++)
      for (int i = 0; i < W; i++) x[5 * r + j][i] = rows[r][x0 + i + j * S];
  run_median25<W>(x, std::make_index_sequence<kMiddle<25>.count>());
  for (int i = 0; i < W; i++) dst[x0 + i] = x[12][i];
}

template <int S>
void median5(const uint8_t* const* rows, uint8_t* dst, int64_t n) {
  constexpr int W = 32;
  int64_t x0 = 0;
  for (; x0 + W <= n; x0 += W) median5_block<S, W>(rows, x0, dst);
  if (x0 < n && n >= W) {
    median5_block<S, W>(rows, n - W, dst);  // the last block again, overlapping
    return;
  }
  for (; x0 < n; x0++) median5_block<S, 1>(rows, x0, dst);
}
