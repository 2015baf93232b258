// The passes of separable_rows.h, included once per level by separable_rows.cpp inside that
// level's namespace and target region. The includer brings <immintrin.h>, <cstring>,
// <type_traits>, colour_internal.h, separable_rows.h and vector_ops.h and defines V (the vector
// of doubles) and kColumnUnroll (vectors of sums a block in the two-row column pass). Every
// build forms the same sums in the same order.

template <class V>
[[gnu::always_inline]] inline V load(const double* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Sums rounded to float and widened back.
template <class W>
[[gnu::always_inline]] inline W float_rounded(W v) {
  typedef float F __attribute__((vector_size(sizeof(W) / 2)));
  return __builtin_convertvector(__builtin_convertvector(v, F), W);
}

// Blocks of U vectors of sums held in registers while the taps are added; the taps D samples
// apart.
template <class V, int U, int D>
[[gnu::always_inline]] inline void row_block(const double* s, const double* taps, int n,
                                             double* out) {
  constexpr int L = sizeof(V) / sizeof(double);
  V acc[U];
#pragma GCC unroll 16
  for (int u = 0; u < U; u++) acc[u] = taps[0] * load<V>(s + u * L);
  for (int q = 1; q < n; q++) {
    s -= D;
    const double t = taps[q];
#pragma GCC unroll 16
    for (int u = 0; u < U; u++) acc[u] += t * load<V>(s + u * L);
  }
#pragma GCC unroll 16
  for (int u = 0; u < U; u++) {
    const V r = float_rounded(acc[u]);
    std::memcpy(out + u * L, &r, sizeof r);
  }
}

template <class V, int U, int D>
[[gnu::always_inline]] inline void row_pass(const double* s, const double* taps, int n, int w,
                                            double* out) {
  constexpr int L = sizeof(V) / sizeof(double);
  int j = 0;
  for (; j + L * U <= w; j += L * U) row_block<V, U, D>(s + j, taps, n, out + j);
  for (; j + L <= w; j += L) row_block<V, 1, D>(s + j, taps, n, out + j);
  for (; j < w; j++) {
    double acc = taps[0] * s[j];
    for (int q = 1; q < n; q++) acc += taps[q] * s[j - D * q];
    out[j] = static_cast<float>(acc);
  }
}

// Bytes widened to doubles, by the level's own conversions from AVX2 on: the generic vector
// conversions (bytes to 32-bit lanes, then to doubles) make the colour passes 12-21% slower on
// AVX2 and AVX-512. g++ 12 takes the lanes that its AVX-512 conversions leave undefined on
// purpose for uninitialised ones.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
inline void widen(const unsigned char* s, double* d, int n) {
  int j = 0;
  if constexpr (sizeof(V) == 64) {
    for (; j + 16 <= n; j += 16) {
      const __m512i x =
          _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + j)));
      _mm512_storeu_pd(d + j, _mm512_cvtepi32_pd(_mm512_castsi512_si256(x)));
      _mm512_storeu_pd(d + j + 8, _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(x, 1)));
    }
  } else if constexpr (sizeof(V) == 32) {
    for (; j + 8 <= n; j += 8) {
      const __m256i x =
          _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + j)));
      _mm256_storeu_pd(d + j, _mm256_cvtepi32_pd(_mm256_castsi256_si128(x)));
      _mm256_storeu_pd(d + j + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(x, 1)));
    }
  }
  for (; j < n; j++) d[j] = s[j];
}
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// Samples i .. i+m-1 of s widened into d, each piece from where it lies.
[[gnu::always_inline]] inline void widen(const EdgedBytes& s, int i, int m, double* d) {
  const int end = i + m;
  if (i < 0) {
    const int e = end < 0 ? end : 0;
    widen(s.before + i, d, e - i);
    d += e - i;
    i = e;
  }
  if (i < end && i < s.w) {
    const int e = end < s.w ? end : s.w;
    widen(s.row + i, d, e - i);
    d += e - i;
    i = e;
  }
  if (i < end) widen(s.after + (i - s.w), d, end - i);
}

// The row pass over bytes: a stretch of them widened at a time, with the samples its sums reach
// back to, so that the doubles stay in the first-level cache.
template <class V, int U>
[[gnu::always_inline]] inline void byte_row_pass(const EdgedBytes& s, int shift, const double* taps,
                                                 int n, double* scratch, double* out) {
  const int reach = 3 * (n - 1), w = s.w;
  for (int j = 0; j < w; j += kColourStretch) {
    const int m = w - j < kColourStretch ? w - j : kColourStretch;
    widen(s, j + shift - reach, m + reach, scratch);
    row_pass<V, U, 3>(scratch + reach, taps, n, m, out + j);
  }
}

// Where the column pass puts its sums. Bytes (as round_to_byte gives them) start from the
// first product, a zero's sign being lost in the rounding; doubles and floats start from +0.
struct Doubles {
  using Out = double;
  static constexpr bool kFromZero = true;
  static double one(double v) { return v; }
  template <class V, int U>
  static void put(const V* v, double* d) {
    std::memcpy(d, v, U * sizeof(V));
  }
};

struct Floats {
  using Out = float;
  static constexpr bool kFromZero = true;
  static float one(double v) { return static_cast<float>(v); }
  template <class V, int U>
  static void put(const V* v, float* d) {
    typedef float F __attribute__((vector_size(sizeof(V) / 2)));
    constexpr int L = sizeof(V) / sizeof(double);
#pragma GCC unroll 16
    for (int u = 0; u < U; u++) {
      const F f = __builtin_convertvector(v[u], F);
      std::memcpy(d + u * L, &f, sizeof f);
    }
  }
};

struct BytesPlain {
  using Out = unsigned char;
  static constexpr bool kFromZero = false;
  static unsigned char one(double v) { return round_to_byte(v); }
  template <class V, int U>
  static void put(const V* v, unsigned char* d) {
    constexpr int L = sizeof(V) / sizeof(double);
    double s[L * U];
    std::memcpy(s, v, sizeof s);
    for (int j = 0; j < L * U; j++) d[j] = round_to_byte(s[j]);
  }
};

// Sums to bytes on AVX2, four vectors packed at a time: clamped to at most 255 (NaN stays), then
// rounded as kHalfDown does; below 0, NaN and -inf give 0 or less, which the packing clamps to 0.
// Typed by hand: BytesVector makes the colour passes 20-26% slower here (its byte narrowing
// goes lane by lane without AVX-512).
struct BytesAvx2 : BytesPlain {
  static __m128i four(V4 v) {
    const __m256d top = _mm256_set1_pd(255.0), half = _mm256_set1_pd(kHalfDown);
    return _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_min_pd(top, v), half));
  }
  template <class V, int U>
  static void put(const V* v, unsigned char* d) {
    if constexpr (U % 4 == 0) {
#pragma GCC unroll 16
      for (int u = 0; u < U; u += 4) {
        const __m128i lo = _mm_packs_epi32(four(v[u]), four(v[u + 1]));
        const __m128i hi = _mm_packs_epi32(four(v[u + 2]), four(v[u + 3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * u), _mm_packus_epi16(lo, hi));
      }
    } else {
#pragma GCC unroll 16
      for (int u = 0; u < U; u++) {
        const __m128i w = four(v[u]);
        const int b = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(w, w), w));
        std::memcpy(d + 4 * u, &b, 4);
      }
    }
  }
};

// Sums to bytes as round_to_byte gives them, a vector at a time: clamped to [0, 255] (below 0,
// -inf and NaN to 0), then rounded with halves away from zero as kHalfDown does.
struct BytesVector : BytesPlain {
  typedef int I __attribute__((vector_size(sizeof(V) / 2)));
  typedef unsigned char B __attribute__((vector_size(sizeof(V) / 8)));
  template <class W, int U>
  static void put(const W* v, unsigned char* d) {
    const V zero = V{}, top = V{} + 255.0;
#pragma GCC unroll 16
    for (int u = 0; u < U; u++) {
      const V c = v[u] > zero ? (v[u] < top ? v[u] : top) : zero;
      const I i = __builtin_convertvector(c + kHalfDown, I);
      const B b = __builtin_convertvector(i, B);
      std::memcpy(d + u * sizeof b, &b, sizeof b);
    }
  }
};

// Adds row x (already loaded) to the output rows r that read it as their tap p = m - (R-1-r).
// Checked: some rows may not read it (the first and last R - 1 rows of q).
template <class V, int R, int U, bool kFromZero>
[[gnu::always_inline]] inline void column_step(V (&acc)[R][U], const V (&x)[U], const double* taps,
                                               int n, int m) {
#pragma GCC unroll 16
  for (int r = 0; r < R; r++) {
    const int p = m - (R - 1 - r);
    if (p < 0 || p >= n) continue;
    const double t = taps[p];
    if (p == 0 && !kFromZero)
#pragma GCC unroll 16
      for (int u = 0; u < U; u++) acc[r][u] = t * x[u];
    else
#pragma GCC unroll 16
      for (int u = 0; u < U; u++) acc[r][u] += t * x[u];
  }
}

// The same with at least R taps: the head rows (m < R) and the tail rows (m = n + k) fully
// unrolled, which rows read them known at compile time.
template <class V, int R, int U, class S>
[[gnu::always_inline]] inline void column_block_long(const double* const* q, const double* taps,
                                                     int n, int j, V (&acc)[R][U]) {
  constexpr int L = sizeof(V) / sizeof(double);
  V x[U];
#pragma GCC unroll 16
  for (int m = 0; m < R; m++) {
#pragma GCC unroll 16
    for (int u = 0; u < U; u++) x[u] = load<V>(q[m] + j + u * L);
#pragma GCC unroll 16
    for (int r = R - 1 - m; r < R; r++) {
      const int p = m - (R - 1 - r);
      const double t = taps[p];
      if (p == 0 && !S::kFromZero)
#pragma GCC unroll 16
        for (int u = 0; u < U; u++) acc[r][u] = t * x[u];
      else
#pragma GCC unroll 16
        for (int u = 0; u < U; u++) acc[r][u] += t * x[u];
    }
  }
#pragma GCC unroll 1
  for (int m = R; m < n; m++) {
    const double* t = taps + m - (R - 1);
#pragma GCC unroll 16
    for (int u = 0; u < U; u++) {
      const V xu = load<V>(q[m] + j + u * L);
#pragma GCC unroll 16
      for (int r = 0; r < R; r++) acc[r][u] += t[r] * xu;
    }
  }
#pragma GCC unroll 16
  for (int k = 0; k < R - 1; k++) {
    const double* row = q[n + k] + j;
#pragma GCC unroll 16
    for (int u = 0; u < U; u++) x[u] = load<V>(row + u * L);
    const double* t = taps + n + k - (R - 1);
#pragma GCC unroll 16
    for (int r = 0; r < R - 1 - k; r++)
#pragma GCC unroll 16
      for (int u = 0; u < U; u++) acc[r][u] += t[r] * x[u];
  }
}

template <class V, int R, int U, class S>
[[gnu::always_inline]] inline void column_block(const double* const* q, const double* taps, int n,
                                                int j, typename S::Out* const* out) {
  constexpr int L = sizeof(V) / sizeof(double);
  V acc[R][U] = {};
  if (n >= R) {
    column_block_long<V, R, U, S>(q, taps, n, j, acc);
  } else {
    V x[U];
    for (int m = 0; m < n + R - 1; m++) {
#pragma GCC unroll 16
      for (int u = 0; u < U; u++) x[u] = load<V>(q[m] + j + u * L);
      column_step<V, R, U, S::kFromZero>(acc, x, taps, n, m);
    }
  }
#pragma GCC unroll 16
  for (int r = 0; r < R; r++) S::template put<V, U>(acc[r], out[r] + j);
}

// Asks the cache for the lines of the rows ahead that columns j .. j+b-1 cover.
inline void ask(const RowsAhead& a, int j, int b) {
  const int from = j * a.size, to = (j + b) * a.size;
  for (int k = 0; k < a.count; k++)
    for (int o = (from + 63) & ~63; o < to; o += 64) __builtin_prefetch(a.rows[k] + o);
}

template <class V, int R, int U, class S>
[[gnu::always_inline]] inline void column_rows(const double* const* q, const double* taps, int n,
                                               int w, typename S::Out* const* out,
                                               const RowsAhead& ahead) {
  constexpr int L = sizeof(V) / sizeof(double);
  int j = 0;
  for (; j + L * U <= w; j += L * U) {
    ask(ahead, j, L * U);
    column_block<V, R, U, S>(q, taps, n, j, out);
  }
  ask(ahead, j, w - j);
  for (; j + L <= w; j += L) column_block<V, R, 1, S>(q, taps, n, j, out);
  for (; j < w; j++)
#pragma GCC unroll 16
    for (int r = 0; r < R; r++) {
      const double* const* qr = q + (R - 1 - r);
      double acc = S::kFromZero ? 0.0 + taps[0] * qr[0][j] : taps[0] * qr[0][j];
      for (int p = 1; p < n; p++) acc += taps[p] * qr[p][j];
      out[r][j] = S::one(acc);
    }
}

template <class V, int R1, int U, class S>
[[gnu::always_inline]] inline void column_any(const double* const* q, const double* taps, int n,
                                              int rows, int w, typename S::Out* const* out,
                                              const RowsAhead& ahead) {
  switch (rows) {
    case 4:
      return column_rows<V, 4, U / 2, S>(q, taps, n, w, out, ahead);
    case 3:
      return column_rows<V, 3, U / 2, S>(q, taps, n, w, out, ahead);
    case 2:
      return column_rows<V, 2, U, S>(q, taps, n, w, out, ahead);
    default:
      return column_rows<V, 1, R1, S>(q, taps, n, w, out, ahead);
  }
}

// The byte stores of this level: whole vectors from AVX2 on (on AVX-512 BytesVector runs the
// colour passes within 4% of a packing typed by hand).
using Bytes = std::conditional_t<sizeof(V) == 64, BytesVector,
                                 std::conditional_t<sizeof(V) == 32, BytesAvx2, BytesPlain>>;

void float_row(const double* s, const double* taps, int n, int w, double* out) {
  row_pass<V, 8, 1>(s, taps, n, w, out);
}
void colour_row(const EdgedBytes& s, int shift, const double* taps, int n, double* scratch,
                double* out) {
  byte_row_pass<V, 8>(s, shift, taps, n, scratch, out);
}
void colour_columns(const double* const* q, const double* taps, int n, int rows, int w,
                    unsigned char* const* out, const RowsAhead& ahead) {
  column_any<V, 8, kColumnUnroll, Bytes>(q, taps, n, rows, w, out, ahead);
}
void float_columns(const double* const* q, const double* taps, int n, int rows, int w,
                   float* const* out, const RowsAhead& ahead) {
  column_any<V, 8, kColumnUnroll, Floats>(q, taps, n, rows, w, out, ahead);
}
void double_columns(const double* const* q, const double* taps, int n, int rows, int w,
                    double* const* out, const RowsAhead& ahead) {
  column_any<V, 8, kColumnUnroll, Doubles>(q, taps, n, rows, w, out, ahead);
}

constexpr SeparableKernels kKernels{.colour_row = colour_row,
                                    .colour_columns = colour_columns,
                                    .float_columns = float_columns,
                                    .double_columns = double_columns,
                                    .float_row = float_row};
