// Dispatched loops of the image statistics.
#include "processing/algebra/statistics_internal.h"
#include "processing/filters/row_isa_internal.h"

namespace {

template <class T>
__attribute__((always_inline)) inline void divide_body(T* a, int64_t n, double s) {
  for (int64_t i = 0; i < n; i++) a[i] = static_cast<T>(a[i] / s);
}

template <class T>
void divide_baseline(T* a, int64_t n, double s) {
  divide_body(a, n, s);
}
template <class T>
__attribute__((target("avx2"))) void divide_avx2(T* a, int64_t n, double s) {
  divide_body(a, n, s);
}
template <class T>
__attribute__((target("avx512f"))) void divide_avx512(T* a, int64_t n, double s) {
  divide_body(a, n, s);
}

template <class T>
void divide(T* a, int64_t n, double s) {
  switch (vistelmo::row_isa()) {
    case vistelmo::RowIsa::kAvx512:
      return divide_avx512(a, n, s);
    case vistelmo::RowIsa::kAvx2:
      return divide_avx2(a, n, s);
    default:
      return divide_baseline(a, n, s);
  }
}

}  // namespace

void vistelmo::divide_row(float* a, int64_t n, double s) { divide(a, n, s); }
void vistelmo::divide_row(double* a, int64_t n, double s) { divide(a, n, s); }
