// The real row kernel of the spatial filters, built for the baseline instruction set and for
// AVX2 and AVX-512, and picked at run time. Every build forms the same sums in the same order.
#include <cstring>

#include "processing/filters/convolve_internal.h"

namespace core = vistelmo;

namespace {

typedef double V2 __attribute__((vector_size(16)));
typedef double V4 __attribute__((vector_size(32)));
typedef double V8 __attribute__((vector_size(64)));

// Blocks of U vectors of output sums stay in registers while every tap is added to them; the
// tail of the row goes one sum at a time. Each sum adds its taps in (p, q) order from +0.
template <class V, int U>
__attribute__((always_inline)) inline void row_body(const double* const* rows, const double* taps,
                                                    int kl, int kc, int dir, int n, double* out) {
  constexpr int L = sizeof(V) / sizeof(double), B = L * U;
  int j = 0;
  for (; j + B <= n; j += B) {
    V acc[U];
    for (int u = 0; u < U; u++) acc[u] = V{};
    const double* tp = taps;
    for (int p = 0; p < kl; p++) {
      const double* s = rows[p] + j;
      for (int q = 0; q < kc; q++, s += dir) {
        V t;
        for (int l = 0; l < L; l++) t[l] = *tp;
        tp++;
        for (int u = 0; u < U; u++) {
          V x;
          std::memcpy(&x, s + u * L, sizeof x);
          acc[u] += t * x;
        }
      }
    }
    for (int u = 0; u < U; u++) std::memcpy(out + j + u * L, &acc[u], sizeof(V));
  }
  for (; j < n; j++) {
    double acc = 0;
    const double* tp = taps;
    for (int p = 0; p < kl; p++) {
      const double* s = rows[p] + j;
      for (int q = 0; q < kc; q++, s += dir) acc += *tp++ * *s;
    }
    out[j] = acc;
  }
}

void row_baseline(const double* const* rows, const double* taps, int kl, int kc, int dir, int n,
                  double* out) {
  row_body<V2, 8>(rows, taps, kl, kc, dir, n, out);
}

__attribute__((target("avx2"))) void row_avx2(const double* const* rows, const double* taps,
                                              int kl, int kc, int dir, int n, double* out) {
  row_body<V4, 8>(rows, taps, kl, kc, dir, n, out);
}

__attribute__((target("avx512f"))) void row_avx512(const double* const* rows, const double* taps,
                                                   int kl, int kc, int dir, int n, double* out) {
  row_body<V8, 8>(rows, taps, kl, kc, dir, n, out);
}

using RowFn = void (*)(const double* const*, const double*, int, int, int, int, double*);

bool supported(core::RowIsa isa) {
  switch (isa) {
    case core::RowIsa::kAvx512:
      return __builtin_cpu_supports("avx512f");
    case core::RowIsa::kAvx2:
      return __builtin_cpu_supports("avx2");
    default:
      return true;
  }
}

core::RowIsa best_isa() {
  if (supported(core::RowIsa::kAvx512)) return core::RowIsa::kAvx512;
  if (supported(core::RowIsa::kAvx2)) return core::RowIsa::kAvx2;
  return core::RowIsa::kBaseline;
}

core::RowIsa& current() {
  static core::RowIsa isa = best_isa();
  return isa;
}

RowFn kernel_of(core::RowIsa isa) {
  switch (isa) {
    case core::RowIsa::kAvx512:
      return row_avx512;
    case core::RowIsa::kAvx2:
      return row_avx2;
    default:
      return row_baseline;
  }
}

}  // namespace

core::RowIsa core::row_isa() { return current(); }

bool core::set_row_isa(RowIsa isa) {
  if (!supported(isa)) return false;
  current() = isa;
  return true;
}

void core::correlate_row(const double* const* rows, const double* taps, int kl, int kc, int dir,
                         int n, double* out) {
  kernel_of(current())(rows, taps, kl, kc, dir, n, out);
}
