// The real row kernel of the spatial filters, built for the baseline instruction set and for
// AVX2 and AVX-512, and picked at run time. Every build forms the same sums in the same order.
#include <immintrin.h>

#include <cstring>

#include "images/colour_internal.h"
#include "processing/filters/convolve_internal.h"

namespace {

typedef double V2 __attribute__((vector_size(16)));
typedef double V4 __attribute__((vector_size(32)));
typedef double V8 __attribute__((vector_size(64)));

// The sums of a vector stored as the output wants them: doubles, or floats.
template <vistelmo::RowOut::Kind K, class V>
__attribute__((always_inline)) inline void put(void* out, int j, V v) {
  if constexpr (K == vistelmo::RowOut::kFloat) {
    typedef float F __attribute__((vector_size(sizeof(V) / 2)));
    const F f = __builtin_convertvector(v, F);
    std::memcpy(static_cast<float*>(out) + j, &f, sizeof f);
  } else {
    std::memcpy(static_cast<double*>(out) + j, &v, sizeof v);
  }
}

template <vistelmo::RowOut::Kind K>
__attribute__((always_inline)) inline void put_one(void* out, int j, double v) {
  if constexpr (K == vistelmo::RowOut::kFloat)
    static_cast<float*>(out)[j] = static_cast<float>(v);
  else
    static_cast<double*>(out)[j] = v;
}

// Blocks of U vectors of output sums stay in registers while every tap is added to them; the
// tail of the row goes one sum at a time. Each sum adds its taps in (p, q) order from +0.
template <class V, int U, vistelmo::RowOut::Kind K>
__attribute__((always_inline)) inline void row_body(const double* const* rows, const double* taps,
                                                    int kl, int kc, int dir, int n, void* out) {
  constexpr int L = sizeof(V) / sizeof(double), B = L * U;
  int j = 0;
  for (; j + B <= n; j += B) {
    V acc[U];
    for (int u = 0; u < U; u++) acc[u] = V{};
    const double* tp = taps;
    for (int p = 0; p < kl; p++) {
      const double* s = rows[p] + j;
      for (int q = 0; q < kc; q++, s += dir) {
        const double t = *tp++;
        for (int u = 0; u < U; u++) {
          V x;
          std::memcpy(&x, s + u * L, sizeof x);
          acc[u] += t * x;
        }
      }
    }
    for (int u = 0; u < U; u++) put<K>(out, j + u * L, acc[u]);
  }
  for (; j < n; j++) {
    double acc = 0;
    const double* tp = taps;
    for (int p = 0; p < kl; p++) {
      const double* s = rows[p] + j;
      for (int q = 0; q < kc; q++, s += dir) acc += *tp++ * *s;
    }
    put_one<K>(out, j, acc);
  }
}

template <class V>
__attribute__((always_inline)) inline void row_any(const double* const* rows, const double* taps,
                                                   int kl, int kc, int dir, int n,
                                                   vistelmo::RowOut out) {
  if (out.kind == vistelmo::RowOut::kFloat)
    return row_body<V, 8, vistelmo::RowOut::kFloat>(rows, taps, kl, kc, dir, n, out.p);
  row_body<V, 8, vistelmo::RowOut::kDouble>(rows, taps, kl, kc, dir, n, out.p);
}

// Float rows of an image widened for the kernel.
__attribute__((always_inline)) inline void widen_body(const float* s, double* d, int n) {
  for (int j = 0; j < n; j++) d[j] = s[j];
}

// Sums to bytes as round_to_byte gives them: NaN and v <= 0 give 0, v > 255 gives 255, others
// round half away from zero (v - trunc(v) is exact).
void bytes_baseline(const double* s, unsigned char* d, int n) {
  for (int j = 0; j < n; j++) d[j] = vistelmo::round_to_byte(s[j]);
}

__attribute__((target("avx2"))) void bytes_avx2(const double* s, unsigned char* d, int n) {
  const __m256d zero = _mm256_setzero_pd(), top = _mm256_set1_pd(255.0);
  const __m256d half = _mm256_set1_pd(0.5), one = _mm256_set1_pd(1.0);
  int j = 0;
  for (; j + 4 <= n; j += 4) {
    // max takes its second operand for a NaN (and for -0.0): 0.
    const __m256d v = _mm256_min_pd(_mm256_max_pd(_mm256_loadu_pd(s + j), zero), top);
    __m256d t = _mm256_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    t = _mm256_add_pd(t, _mm256_and_pd(_mm256_cmp_pd(_mm256_sub_pd(v, t), half, _CMP_GE_OQ), one));
    const __m128i w = _mm256_cvttpd_epi32(t);
    const __m128i b = _mm_packus_epi16(_mm_packus_epi32(w, w), _mm_setzero_si128());
    const int four = _mm_cvtsi128_si32(b);
    std::memcpy(d + j, &four, 4);
  }
  for (; j < n; j++) d[j] = vistelmo::round_to_byte(s[j]);
}

// One set of kernels per instruction set.
using RowFn = void (*)(const double* const*, const double*, int, int, int, int, vistelmo::RowOut);
struct Kernels {
  RowFn row, exact_row;
  void (*widen)(const float*, double*, int);
  void (*bytes)(const double*, unsigned char*, int);
};

// The exact row (products exact in double) lets the compiler fuse each product into its add:
// the fused add rounds once, as the separate add does after an exact product.
#define VISTELMO_ROW_KERNELS(name, target, fused, V)                                             \
  target void name##_row(const double* const* rows, const double* taps, int kl, int kc, int dir, \
                         int n, vistelmo::RowOut out) {                                          \
    row_any<V>(rows, taps, kl, kc, dir, n, out);                                                 \
  }                                                                                              \
  target fused void name##_exact_row(const double* const* rows, const double* taps, int kl,      \
                                     int kc, int dir, int n, vistelmo::RowOut out) {             \
    row_any<V>(rows, taps, kl, kc, dir, n, out);                                                 \
  }                                                                                              \
  target void name##_widen(const float* s, double* d, int n) { widen_body(s, d, n); }

#define VISTELMO_FUSED __attribute__((optimize("fp-contract=fast")))
VISTELMO_ROW_KERNELS(baseline, , , V2)
VISTELMO_ROW_KERNELS(avx2, __attribute__((target("avx2,fma"))), VISTELMO_FUSED, V4)
VISTELMO_ROW_KERNELS(avx512, __attribute__((target("avx512f"))), VISTELMO_FUSED, V8)
#undef VISTELMO_FUSED

// Along a row (kc > 1) the taps read shifted, unaligned vectors: 64-byte vectors split a cache
// line on nearly every such load, so AVX-512 serves only the column shape (kc = 1).
void avx512_or_avx2_row(const double* const* rows, const double* taps, int kl, int kc, int dir,
                        int n, vistelmo::RowOut out) {
  (kc > 1 ? avx2_row : avx512_row)(rows, taps, kl, kc, dir, n, out);
}
void avx512_or_avx2_exact_row(const double* const* rows, const double* taps, int kl, int kc,
                              int dir, int n, vistelmo::RowOut out) {
  (kc > 1 ? avx2_exact_row : avx512_exact_row)(rows, taps, kl, kc, dir, n, out);
}

const Kernels baseline{baseline_row, baseline_exact_row, baseline_widen, bytes_baseline};
const Kernels avx2{avx2_row, avx2_exact_row, avx2_widen, bytes_avx2};
const Kernels avx512{avx512_or_avx2_row, avx512_or_avx2_exact_row, avx512_widen, bytes_avx2};

#undef VISTELMO_ROW_KERNELS

bool supported(vistelmo::RowIsa isa) {
  switch (isa) {
    case vistelmo::RowIsa::kAvx512:
      return __builtin_cpu_supports("avx512f");
    case vistelmo::RowIsa::kAvx2:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    default:
      return true;
  }
}

vistelmo::RowIsa best_isa() {
  if (supported(vistelmo::RowIsa::kAvx512)) return vistelmo::RowIsa::kAvx512;
  if (supported(vistelmo::RowIsa::kAvx2)) return vistelmo::RowIsa::kAvx2;
  return vistelmo::RowIsa::kBaseline;
}

vistelmo::RowIsa& current() {
  static vistelmo::RowIsa isa = best_isa();
  return isa;
}

const Kernels* kernels_of(vistelmo::RowIsa isa) {
  switch (isa) {
    case vistelmo::RowIsa::kAvx512:
      return &avx512;
    case vistelmo::RowIsa::kAvx2:
      return &avx2;
    default:
      return &baseline;
  }
}

const Kernels*& active() {
  static const Kernels* k = kernels_of(current());
  return k;
}

}  // namespace

vistelmo::RowIsa vistelmo::row_isa() { return current(); }

bool vistelmo::set_row_isa(RowIsa isa) {
  if (!supported(isa)) return false;
  current() = isa;
  active() = kernels_of(isa);
  return true;
}

void vistelmo::correlate_row(const double* const* rows, const double* taps, int kl, int kc, int dir,
                             int n, RowOut out, bool exact) {
  (exact ? active()->exact_row : active()->row)(rows, taps, kl, kc, dir, n, out);
}

void vistelmo::widen_row(const float* s, double* d, int n) { active()->widen(s, d, n); }
void vistelmo::bytes_row(const double* s, unsigned char* d, int n) { active()->bytes(s, d, n); }
