// Dispatched loops of the image statistics.
#include <algorithm>
#include <climits>
#include <cmath>
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

// A run of float pixels: their sum in some order, the smallest exponent of a lowest set bit
// (INT_MAX when all are zero) and the largest biased exponent.
struct FloatParts {
  double sum;
  int lo, e_max;
};

// Per pixel: the biased exponent e, and the exponent of the lowest set bit of its value (the value
// is a multiple of 2 to that power; INT_MAX for zeros). Eight pixels at a time, the sum (of the
// magnitudes when Abs) in eight double lanes.
template <bool Abs>
__attribute__((always_inline)) inline FloatParts float_parts_body(const float* a, int64_t n) {
  D8 acc = D8{};
  I8 lo = I8{} + INT_MAX, e_max = I8{};
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    F8 f;
    std::memcpy(&f, a + i, sizeof f);
    I8 b;
    std::memcpy(&b, &f, sizeof b);
    b &= 0x7FFFFFFF;
    if constexpr (Abs) std::memcpy(&f, &b, sizeof f);
    acc += __builtin_convertvector(f, D8);
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
  FloatParts r{0, INT_MAX, 0};
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
    tail += Abs ? std::fabs(double(a[i])) : double(a[i]);
  }
  r.sum = tail;
  for (int k = 0; k < 8; k++) r.sum += acc[k];
  return r;
}

template <bool Abs>
FloatParts float_parts_baseline(const float* a, int64_t n) {
  return float_parts_body<Abs>(a, n);
}
template <bool Abs>
__attribute__((target("avx2"))) FloatParts float_parts_avx2(const float* a, int64_t n) {
  return float_parts_body<Abs>(a, n);
}
template <bool Abs>
__attribute__((target("avx512f"))) FloatParts float_parts_avx512(const float* a, int64_t n) {
  return float_parts_body<Abs>(a, n);
}

template <bool Abs>
FloatParts float_parts(const float* a, int64_t n) {
  switch (vistelmo::row_isa()) {
    case vistelmo::RowIsa::kAvx512:
      return float_parts_avx512<Abs>(a, n);
    case vistelmo::RowIsa::kAvx2:
      return float_parts_avx2<Abs>(a, n);
    default:
      return float_parts_baseline<Abs>(a, n);
  }
}

// Whether every sum of a subset of n floats whose values are multiples of 2^lo and below
// 2^(e_max - 126) in magnitude is exact in double: n 2^(e_max - 126) <= 2^(lo + 53), and no NaN
// or infinity (e_max 255). Every partial sum is then a multiple of 2^lo below 2^(lo + 53).
bool sums_exact(int64_t n, int lo, int e_max) {
  if (e_max == 255) return false;
  if (lo == INT_MAX) return true;
  int bits = 0;  // ceil(log2(n))
  while (bits < 63 && (int64_t(1) << bits) < n) bits++;
  return int64_t(bits) + (e_max - 126) <= int64_t(lo) + 53;
}

// Block by block while the pixels so far are proven exact (any order gives the ordered sum), the
// ordered chain from the first block that is not on.
template <bool Abs>
double float_sum(const float* a, int64_t n) {
  const int64_t block = 4096;
  int64_t i = 0;
  int lo = INT_MAX, e_max = 0;
  double s = 0;
  for (; i < n; i += block) {
    const FloatParts p = float_parts<Abs>(a + i, std::min(block, n - i));
    lo = std::min(lo, p.lo);
    e_max = std::max(e_max, p.e_max);
    if (!sums_exact(std::min(i + block, n), lo, e_max)) break;
    s += p.sum;
  }
  for (; i < n; i++) s += Abs ? std::fabs(double(a[i])) : double(a[i]);
  return s;
}

}  // namespace

double vistelmo::float_sum(const float* a, int64_t n, bool absolute) {
  return absolute ? ::float_sum<true>(a, n) : ::float_sum<false>(a, n);
}

void vistelmo::divide_row(float* a, int64_t n, double s) { divide(a, n, s); }
void vistelmo::divide_row(double* a, int64_t n, double s) { divide(a, n, s); }
