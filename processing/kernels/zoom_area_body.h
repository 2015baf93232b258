// The area kernels written once over vector types, included by zoom_area.cpp once per
// instruction set inside a namespace that first defines Doubles (a register of doubles, kDoubles
// of them), widen (kDoubles floats from memory as doubles) and store_bytes (kDoubles doubles from
// 0 to 255 truncated to bytes in memory). No include guard. The tails past the last whole vector
// run the per-element rule.

// unit_to_byte a register at a time: NaN and v <= 0 give 0, v * 255 is exact in double.
void units_to_bytes(const float* v, int n, unsigned char* out) {
  const Doubles zero = {}, one = zero + 1.0;
  int c = 0;
  for (; c + kDoubles <= n; c += kDoubles) {
    Doubles x = widen(v + c);
    x = x > zero ? x : zero;
    x = x < one ? x : one;
    store_bytes(out + c, x * 255.0);
  }
  for (; c < n; c++) out[c] = unit_to_byte(v[c]);
}

// The channels of n pixels from three rows, vectorised by the compiler for the level 64 pixels
// at a time.
void merge_channels(const unsigned char* const* planes, int n, unsigned char* dst) {
  const unsigned char* __restrict r = planes[0], * __restrict g = planes[1], * __restrict b = planes[2];
  unsigned char* __restrict d = dst;
  int i = 0;
  for (; i + 64 <= n; i += 64)
    for (int j = i; j < i + 64; j++) {
      d[3 * j] = r[j];
      d[3 * j + 1] = g[j];
      d[3 * j + 2] = b[j];
    }
  merge_from(i, planes, n, dst);
}
