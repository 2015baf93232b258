// The row kernels of convolution_rows.h, included once per level by convolution_rows.cpp inside
// that level's namespace and target region. The includer brings <immintrin.h>, <algorithm>,
// <cstring> and convolution_rows.h and defines V (the vector of doubles), kFused
// (whether the level has fused multiply-add), kUnroll and kUnrollShort (vectors of sums a block,
// with more than kShort tap rows and with at most kShort) and kBlock (output rows a rows call).
// Every build forms the same sums in the same order.

// acc + t x. Exact: the product is exact in double, so the fused multiply-add, which rounds once,
// gives the bits of the separate add.
template <bool Exact, class W>
[[gnu::always_inline]] inline W add_product(W acc, double t, W x) {
  if constexpr (Exact && kFused && sizeof(W) == 64)
    return (W)_mm512_fmadd_pd(_mm512_set1_pd(t), (__m512d)x, (__m512d)acc);
  else if constexpr (Exact && kFused && sizeof(W) == 32)
    return (W)_mm256_fmadd_pd(_mm256_set1_pd(t), (__m256d)x, (__m256d)acc);
  else if constexpr (Exact && kFused)
    return __builtin_fma(t, x, acc);
  else
    return acc + t * x;
}

// The sums of a vector stored as the output wants them: doubles, or floats.
template <RowOut::Kind K, class V>
[[gnu::always_inline]] inline void put(void* out, int j, V v) {
  typedef float F __attribute__((vector_size(sizeof(V) / 2)));
  if constexpr (K == RowOut::kFloat) {
    const F f = __builtin_convertvector(v, F);
    std::memcpy(static_cast<float*>(out) + j, &f, sizeof f);
  } else if constexpr (K == RowOut::kFloatWide) {
    const V w = __builtin_convertvector(__builtin_convertvector(v, F), V);
    std::memcpy(static_cast<double*>(out) + j, &w, sizeof w);
  } else {
    std::memcpy(static_cast<double*>(out) + j, &v, sizeof v);
  }
}

template <RowOut::Kind K>
[[gnu::always_inline]] inline void put_one(void* out, int j, double v) {
  if constexpr (K == RowOut::kFloat)
    static_cast<float*>(out)[j] = static_cast<float>(v);
  else if constexpr (K == RowOut::kFloatWide)
    static_cast<double*>(out)[j] = static_cast<float>(v);
  else
    static_cast<double*>(out)[j] = v;
}

// A vector from unaligned p; held in a register when held (else the compiler may fold the load
// into each use and read it again for every row).
template <class V>
[[gnu::always_inline]] inline V load(const double* p, bool held) {
  V x;
  std::memcpy(&x, p, sizeof x);
  if (held) asm("" : "+v"(x));
  return x;
}

// R output rows at once, so that every vector loaded serves each row that reads it. Output k
// adds its tap row p from src[first(k) + p], first(k) = k when dir > 0 and R-1-k when dir < 0;
// src rows are visited in order, so each sum still adds its taps in (p, q) order from +0.
template <int R>
[[gnu::always_inline]] inline int first_row(int k, int dir) {
  return dir < 0 ? R - 1 - k : k;
}

// The taps of source row s (at p) for the outputs KLO .. KHI, those that read it.
// Tap columns q < 64 with bit q of skip set are left out: zero in every tap row, and every sample
// finite, they add +0 or -0 to a sum that never holds -0 (it starts from +0).
template <bool Exact, int U, int R, int KLO, int KHI>
[[gnu::always_inline]] inline void rows_step(V (&acc)[R][U], const double* p, const double* taps,
                                             int s, int kc, int dir, uint64_t skip) {
  constexpr int L = sizeof(V) / sizeof(double);
  const double* tk[R];
  for (int k = KLO; k <= KHI; k++) tk[k] = taps + (s - first_row<R>(k, dir)) * kc;
  for (int q = 0; q < kc; q++, p += dir) {
    if (q < 64 && (skip >> q & 1)) continue;
    V x[U];
    for (int u = 0; u < U; u++) x[u] = load<V>(p + u * L, KHI > KLO);
    for (int k = KLO; k <= KHI; k++) {
      const double t = tk[k][q];
      for (int u = 0; u < U; u++) acc[k][u] = add_product<Exact>(acc[k][u], t, x[u]);
    }
  }
}

// Source row s for the outputs klo .. khi, the range picked at run time.
template <bool Exact, int U, int R, int KLO = 0, int KHI = 0>
[[gnu::always_inline]] inline void rows_pick(int klo, int khi, V (&acc)[R][U], const double* p,
                                             const double* taps, int s, int kc, int dir,
                                             uint64_t skip) {
  if constexpr (KLO < R) {
    if constexpr (KHI < R) {
      if (klo == KLO && khi == KHI)
        return rows_step<Exact, U, R, KLO, KHI>(acc, p, taps, s, kc, dir, skip);
      return rows_pick<Exact, U, R, KLO, KHI + 1>(klo, khi, acc, p, taps, s, kc, dir, skip);
    } else {
      return rows_pick<Exact, U, R, KLO + 1, KLO + 1>(klo, khi, acc, p, taps, s, kc, dir, skip);
    }
  }
}

// With kl >= R - 1 the outputs that read row s are known for every s: rows 0 .. R-2 (M) and
// kl .. kl+R-2 (kl-1+M) serve some of them, the rows between all of them.
template <bool Exact, int U, int R, bool Conv, int M = 0>
[[gnu::always_inline]] inline void rows_head(V (&acc)[R][U], const double* const* src, int j,
                                             const double* taps, int kc, int dir, uint64_t skip) {
  if constexpr (M < R - 1) {
    rows_step<Exact, U, R, Conv ? R - 1 - M : 0, Conv ? R - 1 : M>(acc, src[M] + j, taps, M, kc,
                                                                   dir, skip);
    rows_head<Exact, U, R, Conv, M + 1>(acc, src, j, taps, kc, dir, skip);
  }
}

template <bool Exact, int U, int R, bool Conv, int M = 1>
[[gnu::always_inline]] inline void rows_tail(V (&acc)[R][U], const double* const* src, int j,
                                             const double* taps, int kl, int kc, int dir,
                                             uint64_t skip) {
  if constexpr (M < R) {
    const int s = kl - 1 + M;
    rows_step<Exact, U, R, Conv ? 0 : M, Conv ? R - 1 - M : R - 1>(acc, src[s] + j, taps, s, kc,
                                                                   dir, skip);
    rows_tail<Exact, U, R, Conv, M + 1>(acc, src, j, taps, kl, kc, dir, skip);
  }
}

// U vectors of R output rows from column j on.
template <bool Exact, int U, int R, RowOut::Kind K>
[[gnu::always_inline]] inline void rows_block(const double* const* src, const double* taps, int kl,
                                              int kc, int dir, int j, void* const* out,
                                              uint64_t skip = 0) {
  constexpr int L = sizeof(V) / sizeof(double);
  V acc[R][U];
  for (int k = 0; k < R; k++)
    for (int u = 0; u < U; u++) acc[k][u] = V{};
  if (kl >= R - 1) {
    if (dir < 0)
      rows_head<Exact, U, R, true>(acc, src, j, taps, kc, dir, skip);
    else
      rows_head<Exact, U, R, false>(acc, src, j, taps, kc, dir, skip);
    for (int s = R - 1; s < kl; s++)
      rows_step<Exact, U, R, 0, R - 1>(acc, src[s] + j, taps, s, kc, dir, skip);
    if (dir < 0)
      rows_tail<Exact, U, R, true>(acc, src, j, taps, kl, kc, dir, skip);
    else
      rows_tail<Exact, U, R, false>(acc, src, j, taps, kl, kc, dir, skip);
  } else {
    for (int s = 0; s < kl + R - 1; s++) {
      int klo = R, khi = -1;
      for (int k = 0; k < R; k++) {
        const int p = s - first_row<R>(k, dir);
        if (p < 0 || p >= kl) continue;
        klo = std::min(klo, k);
        khi = std::max(khi, k);
      }
      rows_pick<Exact, U, R>(klo, khi, acc, src[s] + j, taps, s, kc, dir, skip);
    }
  }
  for (int k = 0; k < R; k++)
    for (int u = 0; u < U; u++) put<K>(out[k], j + u * L, acc[k][u]);
}

template <bool Exact, int U, int R, RowOut::Kind K>
[[gnu::always_inline]] inline void rows_body(const double* const* src, const double* taps, int kl,
                                             int kc, int dir, int n, void* const* out,
                                             const Ahead* ahead, uint64_t skip) {
  constexpr int L = sizeof(V) / sizeof(double);
  int j = 0;
  for (; j + L * U <= n; j += L * U) {
    if (ahead)
      for (int k = 0; k < ahead->count; k++) {
        if (!ahead->rows[k]) continue;
        const char* a = static_cast<const char*>(ahead->rows[k]) + size_t(j) * ahead->bytes;
        for (int b = 0; b < L * U * ahead->bytes; b += 64) __builtin_prefetch(a + b, 0, 2);
      }
    rows_block<Exact, U, R, K>(src, taps, kl, kc, dir, j, out, skip);
  }
  for (; j + L <= n; j += L) rows_block<Exact, 1, R, K>(src, taps, kl, kc, dir, j, out, skip);
  for (; j < n; j++)
    for (int k = 0; k < R; k++) {
      double acc = 0;
      const double* tp = taps;
      for (int p = 0; p < kl; p++) {
        const double* s = src[first_row<R>(k, dir) + p] + j;
        for (int q = 0; q < kc; q++, s += dir) acc = add_product<Exact>(acc, *tp++, *s);
      }
      put_one<K>(out[k], j, acc);
    }
}

template <bool Exact, int U, int R>
[[gnu::always_inline]] inline void rows_any(const double* const* src, const double* taps, int kl,
                                            int kc, int dir, int n, const RowOut* out,
                                            const Ahead* ahead = nullptr, uint64_t skip = 0) {
  void* p[R];
  for (int k = 0; k < R; k++) p[k] = out[k].p;
  if (out[0].kind == RowOut::kFloat)
    return rows_body<Exact, U, R, RowOut::kFloat>(src, taps, kl, kc, dir, n, p, ahead, skip);
  if (out[0].kind == RowOut::kFloatWide)
    return rows_body<Exact, U, R, RowOut::kFloatWide>(src, taps, kl, kc, dir, n, p, ahead, skip);
  rows_body<Exact, U, R, RowOut::kDouble>(src, taps, kl, kc, dir, n, p, ahead, skip);
}

// One output row: blocks of 8 vectors of sums.
template <bool Exact>
[[gnu::always_inline]] inline void row_any(const double* const* rows, const double* taps, int kl,
                                           int kc, int dir, int n, RowOut out) {
  rows_any<Exact, 8, 1>(rows, taps, kl, kc, dir, n, &out);
}

// Float or byte rows of an image widened for the kernel.
template <class S>
[[gnu::always_inline]] inline void widen_body(const S* s, double* d, int n) {
  for (int j = 0; j < n; j++) d[j] = s[j];
}

// Float rows widened; whether every sample is finite (its exponent bits not all set).
[[gnu::always_inline]] inline bool widen_finite(const float* s, double* d, int n) {
  uint32_t bad = 0;
  for (int j = 0; j < n; j++) {
    uint32_t b;
    std::memcpy(&b, s + j, sizeof b);
    bad |= ~b & 0x7f800000u ? 0 : 1;
    d[j] = s[j];
  }
  return bad == 0;
}

// Kernels this short (rows) sum fewer vectors a block: the rows that only some outputs read are
// then most of the work, and 6 vectors a block run out of registers there on AVX-512.
constexpr int kShort = 4;

template <bool Exact>
void row(const double* const* rows, const double* taps, int kl, int kc, int dir, int n,
         RowOut out) {
  row_any<Exact>(rows, taps, kl, kc, dir, n, out);
}

template <bool Exact>
void rows(const double* const* src, const double* taps, int kl, int kc, int dir, int n,
          const RowOut* out, const Ahead* ahead, uint64_t skip) {
  if (kl <= kShort)
    return rows_any<Exact, kUnrollShort, kBlock>(src, taps, kl, kc, dir, n, out, ahead, skip);
  rows_any<Exact, kUnroll, kBlock>(src, taps, kl, kc, dir, n, out, ahead, skip);
}

bool widen(const float* s, double* d, int n) { return widen_finite(s, d, n); }
void widen_bytes(const unsigned char* s, double* d, int n) { widen_body(s, d, n); }

constexpr ConvolutionKernels kKernels{.row = row<false>,
                                      .exact_row = row<true>,
                                      .block = kBlock,
                                      .rows = rows<false>,
                                      .exact_rows = rows<true>,
                                      .widen = widen,
                                      .widen_bytes = widen_bytes};
