// The pointwise kernels: per-element loops, and one vector body (pointwise_body.h) built for any
// x86-64 (SSE2), for AVX2 and for AVX-512 (with VBMI), chosen by the current instruction-set
// level.
#include "processing/kernels/intrinsics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

#include "processing/kernels/isa.h"
#include "processing/kernels/pointwise.h"

namespace vistelmo {
namespace {

using ZipRow = std::array<void (*)(const uint8_t*, const uint8_t*, uint8_t*, int64_t), kByteOps>;
using WithRow = std::array<void (*)(const uint8_t*, uint8_t, uint8_t*, int64_t), kByteOps>;
constexpr auto kOps = std::make_index_sequence<kByteOps>();

struct Kernels {
  // [streaming][op]: the second row stores past the caches (large blocks).
  ZipRow zip[2];
  WithRow with[2];
  void (*lookup)(const uint8_t*, const uint8_t*, uint8_t*, int64_t);
  void (*at_least)(const uint8_t*, uint8_t, uint32_t*, int64_t);
  void (*sqrt_f)(const float*, float*, int64_t);
  void (*abs_f)(const float*, float*, int64_t);
  void (*scale_f)(double, const float*, float*, int64_t);
  void (*add_f)(const float*, const float*, float*, int64_t);
  void (*sub_f)(const float*, const float*, float*, int64_t);
  void (*complex_scale)(float, const float*, float*, int64_t);
};

namespace point_plain {

template <ByteOp op, bool = false>
void zip(const uint8_t* a, const uint8_t* b, uint8_t* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = byte_op<op>(a[i], b[i]);
}
template <ByteOp op, bool = false>
void with(const uint8_t* a, uint8_t k, uint8_t* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = byte_op<op>(a[i], k);
}
void lookup(const uint8_t* table, const uint8_t* a, uint8_t* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = table[a[i]];
}
void at_least(const uint8_t* src, uint8_t t, uint32_t* dst, int64_t n) {
  for (int64_t w = 0; w < (n + 31) / 32; w++) dst[w] = 0;
  for (int64_t c = 0; c < n; c++)
    if (src[c] >= t) dst[c >> 5] |= 0x80000000u >> (c & 31);
}

float sqrt_one(float p) { return static_cast<float>(std::sqrt(static_cast<double>(p))); }
float scale_one(double k, float p) { return static_cast<float>(k * p); }

void sqrt_f(const float* a, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = sqrt_one(a[i]);
}
void abs_f(const float* a, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = std::fabs(a[i]);
}
void scale_f(double k, const float* a, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = scale_one(k, a[i]);
}
void add_f(const float* a, const float* b, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = a[i] + b[i];
}
void sub_f(const float* a, const float* b, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) dst[i] = a[i] - b[i];
}
void complex_scale(float k, const float* a, float* dst, int64_t n) {
  for (int64_t i = 0; i < n; i++) {
    const double re = static_cast<double>(a[2 * i]), im = static_cast<double>(a[2 * i + 1]);
    dst[2 * i] = static_cast<float>(re * k - im * 0.0);
    dst[2 * i + 1] = static_cast<float>(im * k + re * 0.0);
  }
}

#include "processing/kernels/pointwise_table.h"

}  // namespace point_plain

#define VISTELMO_BODY_LAMBDA
namespace point_portable {
constexpr int kBytes = 16;
#include "processing/kernels/pointwise_body.h"
}  // namespace point_portable
#undef VISTELMO_BODY_LAMBDA

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
#define VISTELMO_BODY_LAMBDA __attribute__((target(VISTELMO_TARGET_AVX2)))
namespace point_avx2 {
constexpr int kBytes = 32;
#include "processing/kernels/pointwise_body.h"
}  // namespace point_avx2
#undef VISTELMO_BODY_LAMBDA
VISTELMO_TARGET_END

// The byte lookup and the threshold words permute bytes across the register (VBMI).
VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX512VBMI)
#define VISTELMO_BODY_LAMBDA __attribute__((target(VISTELMO_TARGET_AVX512VBMI)))
namespace point_avx512 {
constexpr int kBytes = 64;
#include "processing/kernels/pointwise_body.h"
}  // namespace point_avx512
#undef VISTELMO_BODY_LAMBDA
VISTELMO_TARGET_END

// The kernels of the current level: AVX-512 without VBMI keeps the AVX2 build.
const Kernels& kernels() {
  static constexpr const Kernels* kByLevel[kIsaLevels] = {
      &point_plain::kKernels, &point_portable::kKernels, &point_avx2::kKernels,
      &point_avx2::kKernels, &point_avx512::kKernels};
  return table_at_current_isa(kByLevel);
}

}  // namespace

void bytes_zip(ByteOp op, const uint8_t* a, const uint8_t* b, uint8_t* dst, int64_t n) {
  kernels().zip[n >= kStreamBytes][static_cast<int>(op)](a, b, dst, n);
}
void bytes_with(ByteOp op, const uint8_t* a, uint8_t k, uint8_t* dst, int64_t n) {
  kernels().with[n >= kStreamBytes][static_cast<int>(op)](a, k, dst, n);
}
void bytes_lookup(const uint8_t* table, const uint8_t* a, uint8_t* dst, int64_t n) {
  kernels().lookup(table, a, dst, n);
}
void bytes_at_least(const uint8_t* src, uint8_t t, uint32_t* dst, int64_t n) {
  kernels().at_least(src, t, dst, n);
}
void floats_sqrt(const float* a, float* dst, int64_t n) { kernels().sqrt_f(a, dst, n); }
void floats_abs(const float* a, float* dst, int64_t n) { kernels().abs_f(a, dst, n); }
void floats_scale(double k, const float* a, float* dst, int64_t n) {
  kernels().scale_f(k, a, dst, n);
}
void floats_add(const float* a, const float* b, float* dst, int64_t n) {
  kernels().add_f(a, b, dst, n);
}
void floats_sub(const float* a, const float* b, float* dst, int64_t n) {
  kernels().sub_f(a, b, dst, n);
}
void complex_scale_real(float k, const float* a, float* dst, int64_t n) {
  kernels().complex_scale(k, a, dst, n);
}

}  // namespace vistelmo
