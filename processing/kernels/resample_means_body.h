// The zoom's rounded byte means of pairs, of two rows and of four rows, built once per level
// inside the includer's namespace (after vector_ops_body.h), which first sets kBytes, the bytes of
// a vector (16 or 32). Each loop takes whole vectors, then resample_internal.h's _from forms
// finish the row one byte at a time.

typedef uint8_t Bytes __attribute__((vector_size(kBytes)));
typedef uint16_t Words __attribute__((vector_size(kBytes)));

// (x + y + 1) >> 1 in each byte or word lane, as the processor's rounded mean.
template <class V>
[[gnu::always_inline]] inline V mean_up(V x, V y) {
  constexpr bool kByteLanes = sizeof(x[0]) == 1;
  if constexpr (kBytes == 32)
    return (V)(kByteLanes ? _mm256_avg_epu8((__m256i)x, (__m256i)y)
                          : _mm256_avg_epu16((__m256i)x, (__m256i)y));
  else
    return (V)(kByteLanes ? _mm_avg_epu8((__m128i)x, (__m128i)y)
                          : _mm_avg_epu16((__m128i)x, (__m128i)y));
}

// Byte 0 of every s bytes of x, then of y (each such byte holding its whole lane's value).
template <int S, size_t... I>
[[gnu::always_inline]] inline auto every(Bytes x, Bytes y, std::index_sequence<I...>) {
  return __builtin_shufflevector(x, y, (S * I)...);
}
// Words (all below 256) narrowed to bytes, those of x then those of y.
[[gnu::always_inline]] inline Bytes narrow(Words x, Words y) {
  return every<2>((Bytes)x, (Bytes)y, std::make_index_sequence<kBytes>());
}
void pair_means(unsigned char* out, const unsigned char* src, int n) {
  int k = 0;
  for (; k + kBytes <= n; k += kBytes) {
    const Words x = load_vector<Words>(src + 2 * k), y = load_vector<Words>(src + 2 * k + kBytes);
    store_vector(out + k,
                 narrow(mean_up<Words>(x & 0xFF, x >> 8), mean_up<Words>(y & 0xFF, y >> 8)));
  }
  pair_means_from(k, out, src, n);
}

void row_means(unsigned char* out, const unsigned char* a, const unsigned char* b, int n) {
  int k = 0;
  for (; k + kBytes <= n; k += kBytes)
    store_vector(out + k, mean_up(load_vector<Bytes>(a + k), load_vector<Bytes>(b + k)));
  row_means_from(k, out, a, b, n);
}

// Four rows: the even and the odd bytes summed apart in words, then put back side by side.
void row_quads(unsigned char* out, const unsigned char* const* r, int n) {
  int k = 0;
  for (; k + kBytes <= n; k += kBytes) {
    Words even = Words{} + 2, odd = Words{} + 2;
    for (int i = 0; i < 4; i++) {
      const Words x = load_vector<Words>(r[i] + k);
      even += x & 0xFF;
      odd += x >> 8;
    }
    store_vector(out + k, (even >> 2) | (odd >> 2 << 8));
  }
  row_quads_from(k, out, r, n);
}
