// The vector operations and constants the kernels share. The operations live in
// vector_ops_body.h, which each kernel body also includes inside the namespace of each of its
// builds; the copy here serves code outside the target regions.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <utility>

namespace vistelmo {

#include "processing/kernels/vector_ops_body.h"

// 0.5 less half an ulp of 0.5 (0.5 - 2^-54). For |v| <= 2^52, trunc(v + copysign(kHalfDown, v))
// is v rounded with halves away from zero: a tie k - 0.5 gives k - 2^-54 before rounding, which
// rounds to k (the sum is exact or rounds up to the next integer only from a half), and nothing
// below a half rounds across. Round-to-byte: min(v, 255) + kHalfDown truncated.
constexpr double kHalfDown = 0.49999999999999994;

}  // namespace vistelmo
