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
typedef uint32_t U8 __attribute__((vector_size(32)));
typedef float F4 __attribute__((vector_size(16)));
typedef double D4 __attribute__((vector_size(32)));

// A run of float pixels: their sum in some order, the smallest exponent of a lowest set bit
// (INT_MAX when all are zero) and the largest biased exponent.
struct FloatParts {
  double sum;
  int lo, e_max;
};

// Per pixel: the biased exponent e, and the exponent of the lowest set bit of its value (the value
// is a multiple of 2 to that power; zeros left out). Eight pixels at a time, the sum (of the
// magnitudes when Abs) in eight double lanes. In the vector loop a pixel's key
// (127 + ctz(significand) + e) << 23 gives the exponent key - 277; denormals count e as 0
// instead of 1 (one lower: still a power the value is a multiple of), zeros have the largest key.
template <bool Abs>
__attribute__((always_inline)) inline FloatParts float_parts_body(const float* a, int64_t n) {
  D4 acc0 = D4{}, acc1 = D4{};
  U8 key_min = U8{} - 1, b_max = U8{};
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    F8 f;
    std::memcpy(&f, a + i, sizeof f);
    U8 b;
    std::memcpy(&b, &f, sizeof b);
    b &= 0x7FFFFFFF;
    if constexpr (Abs) std::memcpy(&f, &b, sizeof f);
    F4 half[2];
    std::memcpy(half, &f, sizeof half);
    acc0 += __builtin_convertvector(half[0], D4);
    acc1 += __builtin_convertvector(half[1], D4);
    const U8 m = (b & 0x7FFFFF) | 0x800000;
    const F8 low = __builtin_convertvector(I8(m & -m), F8);  // 2^ctz(m), exactly
    U8 key;
    std::memcpy(&key, &low, sizeof key);
    key = (key + (b & 0x7F800000)) | U8(b == 0);
    key_min = key < key_min ? key : key_min;
    b_max = b > b_max ? b : b_max;
  }
  FloatParts r{0, INT_MAX, 0};
  for (int k = 0; k < 8; k++) {
    if (key_min[k] != UINT32_MAX) r.lo = std::min(r.lo, int(key_min[k] >> 23) - 277);
    r.e_max = std::max(r.e_max, int(b_max[k] >> 23));
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
  for (int k = 0; k < 4; k++) r.sum += acc0[k] + acc1[k];
  return r;
}

template <bool Abs>
__attribute__((target("avx2"))) FloatParts float_parts_avx2(const float* a, int64_t n) {
  return float_parts_body<Abs>(a, n);
}
template <bool Abs>
__attribute__((target("avx512f"))) FloatParts float_parts_avx512(const float* a, int64_t n) {
  return float_parts_body<Abs>(a, n);
}

// AVX2 or better only (float_sum takes the ordered chain on the baseline).
template <bool Abs>
FloatParts float_parts(const float* a, int64_t n) {
  return vistelmo::row_isa() == vistelmo::RowIsa::kAvx512 ? float_parts_avx512<Abs>(a, n)
                                                          : float_parts_avx2<Abs>(a, n);
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

// s + a[0] + a[1] + ... in that order (kept out of line: a plain chain of adds).
template <bool Abs>
__attribute__((noinline)) double ordered_sum(const float* a, int64_t n, double s) {
  for (int64_t i = 0; i < n; i++) s += Abs ? std::fabs(double(a[i])) : double(a[i]);
  return s;
}

// Block by block while the pixels so far are proven exact (any order gives the ordered sum), the
// ordered chain from the first block that is not on.
template <bool Abs>
double float_sum(const float* a, int64_t n) {
  const int64_t block = 4096;
  int64_t i = 0;
  int lo = INT_MAX, e_max = 0;
  double s = 0;
  // Without AVX2 the checks cost more than the ordered chain saves.
  if (vistelmo::row_isa() == vistelmo::RowIsa::kBaseline) return ordered_sum<Abs>(a, n, s);
  for (; i < n; i += block) {
    const FloatParts p = float_parts<Abs>(a + i, std::min(block, n - i));
    lo = std::min(lo, p.lo);
    e_max = std::max(e_max, p.e_max);
    if (!sums_exact(std::min(i + block, n), lo, e_max)) break;
    s += p.sum;
  }
  return ordered_sum<Abs>(a + i, n - i, s);
}

}  // namespace

double vistelmo::float_sum(const float* a, int64_t n, bool absolute) {
  return absolute ? ::float_sum<true>(a, n) : ::float_sum<false>(a, n);
}

void vistelmo::divide_row(float* a, int64_t n, double s) { divide(a, n, s); }
void vistelmo::divide_row(double* a, int64_t n, double s) { divide(a, n, s); }
