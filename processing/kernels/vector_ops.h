// The vector operations the kernels share, for GCC/Clang vector types in bodies built under
// several instruction sets: always inlined, so that each takes its caller's target.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <utility>

namespace vistelmo {

// A V read or written as one move at any alignment (a byte copy into a vector held in memory may
// go in 16-byte pieces, and a wide load of it then waits for both).
template <class V>
struct Unaligned {
  typedef V type __attribute__((aligned(1), may_alias));
};
template <class V>
[[gnu::always_inline]] inline V load_vector(const void* p) {
  return *static_cast<const typename Unaligned<V>::type*>(p);
}
template <class V>
[[gnu::always_inline]] inline void store_vector(void* p, V v) {
  *static_cast<typename Unaligned<V>::type*>(p) = v;
}

// Lanes S .. S + L - 1 of a followed by b (L lanes each). Sixteen bytes go by whole-register byte
// shifts: without SSSE3 a byte shuffle goes byte by byte.
template <int S, class V, size_t... I>
[[gnu::always_inline]] inline V lanes_from(V a, V b, std::index_sequence<I...>) {
  if constexpr (sizeof(V) == 16 && sizeof(a[0]) == 1)
    return (V)_mm_or_si128(_mm_srli_si128((__m128i)a, S), _mm_slli_si128((__m128i)b, 16 - S));
  else
    return __builtin_shufflevector(a, b, (I + S)...);
}

// 0.5 less half an ulp of 0.5 (0.5 - 2^-54). For |v| <= 2^52, trunc(v + copysign(kHalfDown, v))
// is v rounded with halves away from zero: a tie k - 0.5 gives k - 2^-54 before rounding, which
// rounds to k (the sum is exact or rounds up to the next integer only from a half), and nothing
// below a half rounds across. Round-to-byte: min(v, 255) + kHalfDown truncated.
constexpr double kHalfDown = 0.49999999999999994;

}  // namespace vistelmo
