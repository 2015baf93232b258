// Dispatched loops of the image statistics.
#include <climits>
#include <cstring>

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

typedef float F8 __attribute__((vector_size(32)));
typedef int32_t I8 __attribute__((vector_size(32)));
typedef double D8 __attribute__((vector_size(64)));

// Per pixel: the biased exponent e, and the exponent of the lowest set bit of its value (the value
// is a multiple of 2 to that power; INT_MAX for zeros). Eight pixels at a time, the sum in eight
// double lanes.
__attribute__((always_inline)) inline vistelmo::FloatParts float_parts_body(const float* a,
                                                                            int64_t n) {
  D8 acc = D8{};
  I8 lo = I8{} + INT_MAX, e_max = I8{};
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    F8 f;
    std::memcpy(&f, a + i, sizeof f);
    acc += __builtin_convertvector(f, D8);
    I8 b;
    std::memcpy(&b, &f, sizeof b);
    b &= 0x7FFFFFFF;
    const I8 e = b >> 23;
    const I8 m = (b & 0x7FFFFF) | (e != 0 ? 0x800000 : 0);
    const F8 low = __builtin_convertvector(m & -m, F8);
    I8 lb;
    std::memcpy(&lb, &low, sizeof lb);
    const I8 l = (e != 0 ? e : 1) - 150 + ((lb >> 23) - 127);
    const I8 l_or_none = b == 0 ? I8{} + INT_MAX : l;
    lo = l_or_none < lo ? l_or_none : lo;
    e_max = e > e_max ? e : e_max;
  }
  vistelmo::FloatParts r{0, INT_MAX, 0};
  for (int k = 0; k < 8; k++) {
    r.lo = lo[k] < r.lo ? lo[k] : r.lo;
    r.e_max = e_max[k] > r.e_max ? e_max[k] : r.e_max;
  }
  double tail = 0;
  for (; i < n; i++) {
    uint32_t b;
    std::memcpy(&b, a + i, sizeof b);
    b &= 0x7FFFFFFF;
    const int e = int(b >> 23);
    if (e > r.e_max) r.e_max = e;
    if (b != 0) {
      const uint32_t m = (b & 0x7FFFFF) | (e != 0 ? 0x800000 : 0);
      const int l = (e != 0 ? e : 1) - 150 + __builtin_ctz(m);
      if (l < r.lo) r.lo = l;
    }
    tail += a[i];
  }
  r.sum = tail;
  for (int k = 0; k < 8; k++) r.sum += acc[k];
  return r;
}

vistelmo::FloatParts float_parts_baseline(const float* a, int64_t n) {
  return float_parts_body(a, n);
}
__attribute__((target("avx2"))) vistelmo::FloatParts float_parts_avx2(const float* a, int64_t n) {
  return float_parts_body(a, n);
}
__attribute__((target("avx512f"))) vistelmo::FloatParts float_parts_avx512(const float* a,
                                                                           int64_t n) {
  return float_parts_body(a, n);
}

}  // namespace

vistelmo::FloatParts vistelmo::float_parts(const float* a, int64_t n) {
  switch (row_isa()) {
    case RowIsa::kAvx512:
      return float_parts_avx512(a, n);
    case RowIsa::kAvx2:
      return float_parts_avx2(a, n);
    default:
      return float_parts_baseline(a, n);
  }
}

void vistelmo::divide_row(float* a, int64_t n, double s) { divide(a, n, s); }
void vistelmo::divide_row(double* a, int64_t n, double s) { divide(a, n, s); }
