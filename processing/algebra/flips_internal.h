// The half-turn kernel, shared with the pointwise reflection. The turns run the kernels of
// current_isa(): per pixel at Isa::kPlain, SSE2 tiles at Isa::kSse2, AVX2 ones above.
#pragma once

#include <cstdint>

namespace vistelmo {

// r[n-1-k] = a[k] for k in [0, n): a row-major block turned by 180 degrees.
void reverse_pixels(const uint8_t* a, uint8_t* r, int64_t n);
void reverse_pixels(const float* a, float* r, int64_t n);

}  // namespace vistelmo
