// The vector operations the kernels share, for GCC/Clang vector types. No include guard: a kernel
// body includes this inside the namespace of each of its builds, so that every copy is compiled
// for that build's target (clang requires a function taking or returning a wide vector to have
// its caller's target, always inlined or not); vector_ops.h holds the copy for code outside the
// target regions. Needs <immintrin.h>, <cstddef>, <cstdint> and <utility>.

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

// Lanes S .. S + L - 1 of a followed by b (L lanes each). Sixteen bytes of bytes or words go by
// whole-register byte shifts: without SSSE3 their shuffles go lane by lane.
template <int S, class V, size_t... I>
[[gnu::always_inline]] inline V lanes_from(V a, V b, std::index_sequence<I...>) {
  constexpr int kShift = S * sizeof(a[0]);
  if constexpr (sizeof(V) == 16 && sizeof(a[0]) <= 2)
    return (V)_mm_or_si128(_mm_srli_si128((__m128i)a, kShift),
                           _mm_slli_si128((__m128i)b, 16 - kShift));
  else
    return __builtin_shufflevector(a, b, (I + S)...);
}

// Bytes added or subtracted with the result clamped to 0 .. 255 (16, 32 or 64 of them; 64 need
// AVX-512 BW, 32 AVX2).
template <bool Add, class V>
[[gnu::always_inline]] inline V saturated_u8(V x, V y) {
  static_assert(sizeof(x[0]) == 1, "bytes");
  if constexpr (sizeof(V) == 64)
    return (V)(Add ? _mm512_adds_epu8((__m512i)x, (__m512i)y)
                   : _mm512_subs_epu8((__m512i)x, (__m512i)y));
  else if constexpr (sizeof(V) == 32)
    return (V)(Add ? _mm256_adds_epu8((__m256i)x, (__m256i)y)
                   : _mm256_subs_epu8((__m256i)x, (__m256i)y));
  else
    return (V)(Add ? _mm_adds_epu8((__m128i)x, (__m128i)y) : _mm_subs_epu8((__m128i)x, (__m128i)y));
}

// The smaller and the larger of two bytes, by value: the vectoriser takes these where std::min's
// references defeat it.
inline uint8_t lo8(uint8_t x, uint8_t y) { return y < x ? y : x; }
inline uint8_t hi8(uint8_t x, uint8_t y) { return y > x ? y : x; }
