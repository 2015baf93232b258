// The area kernels written once over vector types, included by zoom_area.cpp once per
// instruction set inside a namespace that first defines kFloats (floats a register). No include
// guard. The tails past the last whole vector run the per-element rule.

typedef float Floats __attribute__((vector_size(4 * kFloats)));
typedef double Doubles __attribute__((vector_size(8 * kFloats)));
typedef int32_t Ints __attribute__((vector_size(4 * kFloats)));
typedef uint8_t Bytes __attribute__((vector_size(kFloats)));

#include "processing/kernels/vector_ops_body.h"

// unit_to_byte a vector at a time: NaN and v <= 0 give 0, v * 255 is exact in double.
void units_to_bytes(const float* v, int n, unsigned char* out) {
  const Doubles zero = {}, one = zero + 1.0;
  int c = 0;
  for (; c + kFloats <= n; c += kFloats) {
    Doubles x = __builtin_convertvector(load_vector<Floats>(v + c), Doubles);
    x = x > zero ? x : zero;
    x = x < one ? x : one;
    const Ints t = __builtin_convertvector(x * 255.0, Ints);
    store_vector(out + c, __builtin_convertvector(t, Bytes));
  }
  for (; c < n; c++) out[c] = unit_to_byte(v[c]);
}
