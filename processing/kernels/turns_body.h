// The tiled quarter turn, built once per instruction set inside the includer's namespace (with
// vector_ops_body.h). Tiles<L> moves vectors of L lanes of 16 bytes: load<S>, interleave<G, kHigh>
// (of G-byte elements within each lane) and store_pair<S>(x, y, p, q) (p gets the low lanes of x
// and y, q the high ones; one lane: store<S>(v, p)). Three-byte pixels need two lanes: they go four
// to a lane, widened to four bytes on the way in and narrowed back on the way out.
//
// A tile is lane_pixels(S) source rows of one vector each (S = pixel bytes); per 16-byte lane it
// is a square of pixels, which the interleave rounds transpose in registers. Each column of the
// tile then goes out as one contiguous run of a result row.

#include "processing/kernels/vector_ops_body.h"

// Byte i of the interleave of G-byte elements of a and b (b's bytes from 16 L on) within each
// lane: element e of a lane takes element e / 2 of a (even e) or b (odd e), from the low half of
// the lane or the high one.
constexpr int interleave_byte(int i, int G, bool high, int L) {
  const int lane = i / 16, e = i % 16 / G, half = high ? 8 / G : 0;
  return (e % 2 ? 16 * L : 0) + 16 * lane + (e / 2 + half) * G + i % G;
}
typedef uint8_t Lane __attribute__((vector_size(16)));
typedef uint8_t TwoLanes __attribute__((vector_size(32)));

template <int L>
struct Tiles {
  using V = std::conditional_t<L == 1, Lane, TwoLanes>;
  static constexpr int kBytes = 16 * L, kLanes = L;
  static constexpr bool kThreeBytes = L == 2;
  template <int S>
  static V load(const unsigned char* p) {
    if constexpr (S == 3 && kThreeBytes)
      return widened(p);
    else
      return load_vector<V>(p);
  }
  template <int S>
  static void store(V v, unsigned char* p) {
    store_vector(p, v);
  }
  template <int S>
  static void store_pair(V x, V y, unsigned char* p, unsigned char* q) {
    const V lows = halves<false>(x, y, std::make_index_sequence<32>()),
            highs = halves<true>(x, y, std::make_index_sequence<32>());
    if constexpr (S == 3) {
      store_narrowed(lows, p);
      store_narrowed(highs, q);
    } else {
      store_vector(p, lows);
      store_vector(q, highs);
    }
  }
  template <int G, bool kHigh>
  static V interleave(V a, V b) {
    return interleave<G, kHigh>(a, b, std::make_index_sequence<16 * L>());
  }

 private:
  template <int G, bool kHigh, size_t... I>
  static V interleave(V a, V b, std::index_sequence<I...>) {
    return __builtin_shufflevector(a, b, interleave_byte(I, G, kHigh, L)...);
  }
  // The low lanes of x and y, or the high ones.
  template <bool kHigh, size_t... I>
  static V halves(V x, V y, std::index_sequence<I...>) {
    return __builtin_shufflevector(x, y, (I < 16 ? I : 16 + I) + (kHigh ? 16 : 0)...);
  }
  // Three-byte pixels by AVX2's own shuffles, typed for it: the same moves as generic shuffles
  // took 238 instructions a tile column of the turn against 164 (g++ 12).
  // Pixels 0 .. 3 from p and 4 .. 7 from p + 12, widened to four bytes (the fourth zero).
  static V widened(const unsigned char* p) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
    const __m256i widen =
        _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                         4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    return (V)_mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1),
                                  widen);
  }
  // The eight four-byte pixels of v as 24 bytes at p.
  static void store_narrowed(V v, unsigned char* p) {
    const __m256i narrow =
        _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                         0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8((__m256i)v, narrow),
                                                       _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(packed, 1));
  }
};

using Sse = Tiles<1>;

// Reverses the low `bits` bits of j: after the rounds, vector j holds tile column rev(j).
constexpr int reversed_index(int j, int bits) {
  int r = 0;
  for (int b = 0; b < bits; b++) r |= ((j >> b) & 1) << (bits - 1 - b);
  return r;
}

// Pixels per 16-byte lane; three-byte pixels are widened to four in registers.
constexpr int lane_pixels(int s) { return s == 3 ? 4 : 16 / s; }

constexpr int log2_of(int k) { return k <= 1 ? 0 : 1 + log2_of(k / 2); }

// One round: vectors 2i and 2i+1 interleaved at G bytes, the low halves to i, the high to
// i + K/2.
template <class L, int G, int K>
inline void interleave_round(typename L::V* v) {
  typename L::V t[K];
#pragma GCC unroll 16
  for (int i = 0; i < K / 2; i++) {
    t[i] = L::template interleave<G, false>(v[2 * i], v[2 * i + 1]);
    t[i + K / 2] = L::template interleave<G, true>(v[2 * i], v[2 * i + 1]);
  }
#pragma GCC unroll 16
  for (int i = 0; i < K; i++) v[i] = t[i];
}

template <class L, int S>
inline void transpose_lanes(typename L::V* v) {
  constexpr int K = lane_pixels(S);
  if constexpr (S == 1) interleave_round<L, 1, K>(v);
  if constexpr (S <= 2) interleave_round<L, 2, K>(v);
  if constexpr (S <= 4) interleave_round<L, 4, K>(v);
  interleave_round<L, 8, K>(v);
}

// Tile rows l0 + row(i), i < lane_pixels(S), loaded from column c0 and transposed.
template <class L, int S, class T, class Row>
inline void load_transposed(T* const* in, int c0, Row row, typename L::V* v) {
  constexpr int K = lane_pixels(S);
#pragma GCC unroll 16
  for (int i = 0; i < K; i++)
    v[i] = L::template load<S>(reinterpret_cast<const unsigned char*>(in[row(i)] + c0));
  transpose_lanes<L, S>(v);
}

// Source rows [l_begin, l_end) (a multiple of kRows) and columns [c0, c0 + L::kBytes/S)
// turned into the result: r[nc-1-c][l] (kCounter) or r[c][nl-1-l] = a[l][c]. Clockwise tiles
// take their rows bottom-up so that each column comes out already reversed. A tile of two lanes
// is two squares across and two down: the lanes of the upper and lower squares are paired so
// that each result row gets one 32-byte run.
template <class L, bool kCounter, class T>
void turn_column_tiles(T* const* in, T* const* out, int nl, int nc, int l_begin, int l_end,
                       int c0) {
  constexpr int S = sizeof(T), K = lane_pixels(S), kCols = K * L::kLanes, kRows = kCols;
  constexpr int kBits = log2_of(K);
  // Both ways the result rows fill upwards in memory: clockwise walks the source bottom-up.
  const int steps = (l_end - l_begin) / kRows;
  T* d[kCols];
  for (int j = 0; j < kCols; j++)
    d[j] = kCounter ? out[nc - 1 - (c0 + j)] + l_begin : out[c0 + j] + (nl - l_end);
  auto bytes = [](T* p) { return reinterpret_cast<unsigned char*>(p); };
  for (int s = 0; s < steps; s++) {
    const int l0 = kCounter ? l_begin + s * kRows : l_end - (s + 1) * kRows;
    typename L::V x[K];
    load_transposed<L, S>(
        in, c0, [&](int i) { return kCounter ? l0 + i : l0 + kRows - 1 - i; }, x);
    if constexpr (L::kLanes == 1) {
#pragma GCC unroll 16
      for (int j = 0; j < K; j++) L::template store<S>(x[j], bytes(d[reversed_index(j, kBits)]));
    } else {
      typename L::V y[K];
      load_transposed<L, S>(
          in, c0, [&](int i) { return kCounter ? l0 + K + i : l0 + K - 1 - i; }, y);
#pragma GCC unroll 16
      for (int j = 0; j < K; j++) {
        const int col = reversed_index(j, kBits);
        L::template store_pair<S>(x[j], y[j], bytes(d[col]), bytes(d[K + col]));
      }
    }
    for (int j = 0; j < kCols; j++) d[j] += kRows;
  }
}

// Rows [r0, r1) (a multiple of L's tile rows) in blocks of a few cache lines each way, columns
// by L tiles, then Sse ones; the columns left over go to `rest` (per pixel).
template <class L, bool kCounter, class T, class Rest>
void turn_band(T* const* in, T* const* out, int nl, int nc, int r0, int r1, Rest& rest) {
  constexpr int S = sizeof(T), kNarrow = lane_pixels(S), kWide = kNarrow * L::kLanes;
  constexpr int kBlockRows = 512 / S / kWide * kWide, kBlockCols = 256 / S / kWide * kWide;
  for (int b0 = r0; b0 < r1; b0 += kBlockRows) {
    const int b1 = std::min(r1, b0 + kBlockRows);
    for (int cb = 0; cb < nc; cb += kBlockCols) {
      const int ce = std::min(nc, cb + kBlockCols);
      int c0 = cb;
      for (; c0 + kWide <= ce; c0 += kWide)
        turn_column_tiles<L, kCounter>(in, out, nl, nc, b0, b1, c0);
      if constexpr (kNarrow < kWide && (S != 3 || Sse::kThreeBytes))
        for (; c0 + kNarrow <= ce; c0 += kNarrow)
          turn_column_tiles<Sse, kCounter>(in, out, nl, nc, b0, b1, c0);
      if (c0 < ce) rest(b0, b1, c0, ce);
    }
  }
}

// The whole turn: Wide tiles over as many rows as they cover, Sse tiles over the next rows, the
// last rows per pixel.
template <class Wide, bool kCounter, class T, class Rest>
void turn_tiles(T* const* in, T* const* out, int nl, int nc, Rest rest) {
  constexpr int S = sizeof(T), K = lane_pixels(S), kWideRows = K * Wide::kLanes;
  constexpr bool kSseToo = S != 3 || Sse::kThreeBytes;
  const int wide_rows = nl - nl % kWideRows, sse_rows = kSseToo ? nl - nl % K : wide_rows;
  turn_band<Wide, kCounter>(in, out, nl, nc, 0, wide_rows, rest);
  if (wide_rows < sse_rows) turn_band<Sse, kCounter>(in, out, nl, nc, wide_rows, sse_rows, rest);
  if (sse_rows < nl) rest(sse_rows, nl, 0, nc);
}

// The half turn of a block of n pixels: r[i] = a[n-1-i], a loop the vectoriser turns into whole
// reversed vectors.
template <class T>
void reverse_block(const T* __restrict a, T* __restrict r, int64_t n) {
  for (int64_t i = 0; i < n; i++) r[i] = a[n - 1 - i];
}
