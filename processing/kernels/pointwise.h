// Row kernels of the pointwise operators. Library sources only.
//
// Each kernel runs along n consecutive elements (a whole image block: rows have no padding).
// Every element gets the same operations in the same order as the per-element definitions
// below, so every tier gives the same bits.
#pragma once

#include <cstdint>

namespace vistelmo {

// Byte rules: saturating sum and difference, minimum, maximum, absolute difference, and
// exclusive or (255 - p is p ^ 255).
enum class ByteOp { add_sat, sub_sat, min, max, absdiff, bit_xor };
constexpr int kByteOps = 6;

template <ByteOp op>
inline uint8_t byte_op(uint8_t x, uint8_t y) {
  if constexpr (op == ByteOp::add_sat) {
    const int s = x + y;
    return static_cast<uint8_t>(s > 255 ? 255 : s);
  } else if constexpr (op == ByteOp::sub_sat) {
    const int d = x - y;
    return static_cast<uint8_t>(d < 0 ? 0 : d);
  } else if constexpr (op == ByteOp::min) {
    return x < y ? x : y;
  } else if constexpr (op == ByteOp::max) {
    return x > y ? x : y;
  } else if constexpr (op == ByteOp::absdiff) {
    return static_cast<uint8_t>(x > y ? x - y : y - x);
  } else {
    return static_cast<uint8_t>(x ^ y);
  }
}

// The kernels below run per element at Isa::kPlain, as SSE2 vectors at kSse2, AVX2 at kAvx2 and
// kAvx512, AVX-512 at kAvx512Vbmi (processing/kernels/isa.h).

// Blocks of at least this many bytes are stored past the caches (larger than a core's share).
constexpr int64_t kStreamBytes = int64_t(8) << 20;

// dst[i] = op(a[i], b[i]).
void bytes_zip(ByteOp op, const uint8_t* a, const uint8_t* b, uint8_t* dst, int64_t n);
// dst[i] = op(a[i], k).
void bytes_with(ByteOp op, const uint8_t* a, uint8_t k, uint8_t* dst, int64_t n);
// dst[i] = table[a[i]], table of 256 entries.
void bytes_lookup(const uint8_t* table, const uint8_t* a, uint8_t* dst, int64_t n);
// The words of one binary row of n columns (first column in the top bit of the first word):
// bit set where src[c] >= t; the bits past column n - 1 clear.
void bytes_at_least(const uint8_t* src, uint8_t t, uint32_t* dst, int64_t n);

// dst[i] = float(sqrt(double(a[i]))); |a[i]| (sign bit cleared); float(k * double(a[i])).
void floats_sqrt(const float* a, float* dst, int64_t n);
void floats_abs(const float* a, float* dst, int64_t n);
void floats_scale(double k, const float* a, float* dst, int64_t n);
// dst[i] = a[i] + b[i] and a[i] - b[i] in float.
void floats_add(const float* a, const float* b, float* dst, int64_t n);
void floats_sub(const float* a, const float* b, float* dst, int64_t n);
// n complex numbers (re, im pairs) times k + 0i, each part in double:
// (re k - im 0, im k + re 0), stored as float.
void complex_scale_real(float k, const float* a, float* dst, int64_t n);

}  // namespace vistelmo
