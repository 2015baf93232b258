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

// A vector of 16, 32 or 64 bytes stored past the caches (p aligned to its size; 64 need
// AVX-512 F, 32 AVX).
template <class V>
[[gnu::always_inline]] inline void stream_vector(void* p, V v) {
  if constexpr (sizeof(V) == 64)
    _mm512_stream_si512(static_cast<__m512i*>(p), (__m512i)v);
  else if constexpr (sizeof(V) == 32)
    _mm256_stream_si256(static_cast<__m256i*>(p), (__m256i)v);
  else
    _mm_stream_si128(static_cast<__m128i*>(p), (__m128i)v);
}

// Bit i set where byte x[i] >= y[i], unsigned (16, 32 or 64 bytes; 64 need AVX-512 BW, 32 AVX2).
template <class V>
[[gnu::always_inline]] inline uint64_t at_least_mask_u8(V x, V y) {
  static_assert(sizeof(x[0]) == 1, "bytes");
  if constexpr (sizeof(V) == 64) {
    return _mm512_cmpge_epu8_mask((__m512i)x, (__m512i)y);
  } else if constexpr (sizeof(V) == 32) {
    const __m256i a = (__m256i)x;
    return static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_max_epu8(a, (__m256i)y), a)));
  } else {
    const __m128i a = (__m128i)x;
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(a, (__m128i)y), a)));
  }
}

// Correctly rounded square roots of 2, 4 or 8 doubles (8 need AVX-512 F).
template <class V>
[[gnu::always_inline]] inline V sqrt_f64(V x) {
  static_assert(sizeof(x[0]) == 8, "doubles");
  if constexpr (sizeof(V) == 64)
    return (V)_mm512_sqrt_pd((__m512d)x);
  else if constexpr (sizeof(V) == 32)
    return (V)_mm256_sqrt_pd((__m256d)x);
  else
    return (V)_mm_sqrt_pd((__m128d)x);
}

// table[x[i]] for each byte of x (32 or 64 bytes), table of 256 bytes. 32: sixteen 16-entry
// shuffles by the low nibble, each kept where the high nibble is its own (AVX2); 64: two
// 128-entry permutes, chosen by the top bit of the index (AVX-512 VBMI).
template <class V>
[[gnu::always_inline]] inline V lookup_u8(const uint8_t* table, V x) {
  static_assert(sizeof(x[0]) == 1 && sizeof(V) >= 32, "32 or 64 bytes");
  if constexpr (sizeof(V) == 64) {
    const __m512i i = (__m512i)x;
    const __m512i low =
        _mm512_permutex2var_epi8(load_vector<__m512i>(table), i, load_vector<__m512i>(table + 64));
    const __m512i high = _mm512_permutex2var_epi8(load_vector<__m512i>(table + 128), i,
                                                  load_vector<__m512i>(table + 192));
    return (V)_mm512_mask_blend_epi8(_mm512_movepi8_mask(i), low, high);
  } else {
    const V low = x & 0x0F, high = x >> 4;
    V r{};
    for (int h = 0; h < 16; h++) {
      const __m256i part = _mm256_broadcastsi128_si256(load_vector<__m128i>(table + 16 * h));
      r |= (V)_mm256_shuffle_epi8(part, (__m256i)low) & (V)(high == static_cast<uint8_t>(h));
    }
    return r;
  }
}

// Vectors of Bytes bytes of T.
template <class T, size_t Bytes>
struct VectorOf {
  typedef T type __attribute__((vector_size(Bytes)));
};

// The floats of the low (Half 0) or high half of x widened to doubles, and two vectors of doubles
// narrowed into one of floats (16, 32 or 64 bytes; 64 need AVX-512 DQ): one conversion each, where
// g++ 12 splits __builtin_convertvector of them into 128-bit pieces.
template <int Half, class F>
[[gnu::always_inline]] inline typename VectorOf<double, sizeof(F)>::type widen_f32(F x) {
  static_assert(sizeof(x[0]) == 4, "floats");
  using D = typename VectorOf<double, sizeof(F)>::type;
  if constexpr (sizeof(F) == 64)
    return (D)_mm512_cvtps_pd(Half ? _mm512_extractf32x8_ps((__m512)x, 1)
                                   : _mm512_castps512_ps256((__m512)x));
  else if constexpr (sizeof(F) == 32)
    return (D)_mm256_cvtps_pd(Half ? _mm256_extractf128_ps((__m256)x, 1)
                                   : _mm256_castps256_ps128((__m256)x));
  else
    return (D)_mm_cvtps_pd(Half ? _mm_movehl_ps((__m128)x, (__m128)x) : (__m128)x);
}
template <class D>
[[gnu::always_inline]] inline typename VectorOf<float, sizeof(D)>::type narrow_f64(D lo, D hi) {
  static_assert(sizeof(lo[0]) == 8, "doubles");
  using F = typename VectorOf<float, sizeof(D)>::type;
  if constexpr (sizeof(D) == 64)
    return (F)_mm512_insertf32x8(_mm512_castps256_ps512(_mm512_cvtpd_ps((__m512d)lo)),
                                 _mm512_cvtpd_ps((__m512d)hi), 1);
  else if constexpr (sizeof(D) == 32)
    return (F)_mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps((__m256d)lo)),
                                   _mm256_cvtpd_ps((__m256d)hi), 1);
  else
    return (F)_mm_movelh_ps(_mm_cvtpd_ps((__m128d)lo), _mm_cvtpd_ps((__m128d)hi));
}

// Every lane x (where V{} + x would make a -0.0 lane +0.0).
template <class V, class T, size_t... I>
[[gnu::always_inline]] inline V splat(T x, std::index_sequence<I...>) {
  return V{(static_cast<void>(I), x)...};
}
template <class V, class T>
[[gnu::always_inline]] inline V splat(T x) {
  static_assert(sizeof(V{}[0]) == sizeof(T), "lane type");
  return splat<V>(x, std::make_index_sequence<sizeof(V) / sizeof(T)>());
}
