// The tiled quarter turn, built once per instruction set inside the includer's namespace. A
// vector type has V, kBytes, kLanes (of 16 bytes), kThreeBytes (whether it takes three-byte
// pixels), load<S>, interleave<G, kHigh> (of G-byte elements within each lane) and a store:
// store<S>(v, p) for one lane, store_pair<S>(x, y, p, q) for two (p gets the low lanes of x and y,
// q the high ones). Sse is the one-lane type; an includer may add a wider one.
//
// A tile is lane_pixels(S) source rows of one vector each (S = pixel bytes); per 16-byte lane it
// is a square of pixels, which the interleave rounds transpose in registers. Each column of the
// tile then goes out as one contiguous run of a result row.

struct Sse {
  using V = __m128i;
  static constexpr int kBytes = 16, kLanes = 1;
  static constexpr bool kThreeBytes = false;
  template <int S>
  static V load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const V*>(p));
  }
  template <int S>
  static void store(V v, unsigned char* p) {
    _mm_storeu_si128(reinterpret_cast<V*>(p), v);
  }
  // Interleave of G-byte elements within each lane: the low halves, or the high ones.
  template <int G, bool kHigh>
  static V interleave(V a, V b) {
    if constexpr (G == 1) return kHigh ? _mm_unpackhi_epi8(a, b) : _mm_unpacklo_epi8(a, b);
    if constexpr (G == 2) return kHigh ? _mm_unpackhi_epi16(a, b) : _mm_unpacklo_epi16(a, b);
    if constexpr (G == 4) return kHigh ? _mm_unpackhi_epi32(a, b) : _mm_unpacklo_epi32(a, b);
    if constexpr (G == 8) return kHigh ? _mm_unpackhi_epi64(a, b) : _mm_unpacklo_epi64(a, b);
  }
};

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
