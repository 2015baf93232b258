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
