// The span kernels built three times, for any x86-64, for AVX2 and for AVX-512, and the tier
// switch. Each build sets its vector width (doubles a vector, and bytes), and how many rows of
// windows and vectors of each the float means take at a time.
#include <immintrin.h>
#include <algorithm>
#include <cstdint>
#include <utility>

#include "processing/algebra/neighbourhood_internal.h"
#include "processing/kernels/vector_ops.h"

namespace vistelmo {

namespace portable_spans {
constexpr int kLanes = 4, kRows = 2, kBlocks = 2, kBytes = 16;
#include "processing/algebra/neighbourhood_spans_internal.h"
}  // namespace portable_spans

#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2_spans {
constexpr int kLanes = 4, kRows = 4, kBlocks = 3, kBytes = 32;
#include "processing/algebra/neighbourhood_spans_internal.h"
}  // namespace avx2_spans
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx512bw,avx512vl")
namespace avx512_spans {
namespace {  // only some kernels are taken from this build (see avx512_kernels)
constexpr int kLanes = 8, kRows = 8, kBlocks = 3, kBytes = 64;
#include "processing/algebra/neighbourhood_spans_internal.h"
}  // namespace
}  // namespace avx512_spans
#pragma GCC pop_options

namespace {

bool cpu_has(Tier t) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  static const bool avx512 =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
      __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
  return t == Tier::avx512 ? avx512 : t == Tier::avx2 ? avx2 : true;
}

// The AVX-512 tier: the float means, byte taps and rows, float checks and 32-bit sums of that
// build, the rest (byte and word kernels, as fast or faster at 256 bits) of the AVX2 one.
const SpanKernels& avx512_kernels() {
  static const SpanKernels k = [] {
    SpanKernels t = avx2_spans::kSpans;
    t.rows_at_once = avx512_spans::kSpans.rows_at_once;
    t.window_means = avx512_spans::kSpans.window_means;
    t.min_taps_u8 = avx512_spans::kSpans.min_taps_u8;
    t.max_taps_u8 = avx512_spans::kSpans.max_taps_u8;
    t.whole_scaled_f32 = avx512_spans::kSpans.whole_scaled_f32;
    t.quotients_f32 = avx512_spans::kSpans.quotients_f32;
    t.sums32 = avx512_spans::kSpans.sums32;
    t.mean_u8 = avx512_spans::kSpans.mean_u8;
    t.add_sub_u16_i32 = avx512_spans::kSpans.add_sub_u16_i32;
    t.min_rows_u8 = avx512_spans::kSpans.min_rows_u8;
    t.max_rows_u8 = avx512_spans::kSpans.max_rows_u8;
    t.rows_lines = avx512_spans::kSpans.rows_lines;
    t.median5_u8 = avx512_spans::kSpans.median5_u8;
    t.median5_c3_u8 = avx512_spans::kSpans.median5_c3_u8;
    return t;
  }();
  return k;
}

Tier& current_tier() {
  static Tier t = cpu_has(Tier::avx512) ? Tier::avx512
                  : cpu_has(Tier::avx2) ? Tier::avx2
                                        : Tier::portable;
  return t;
}

}  // namespace

Tier neighbourhood_tier() { return current_tier(); }

bool set_neighbourhood_tier(Tier t) {
  if (!cpu_has(t)) return false;
  current_tier() = t;
  return true;
}

const SpanKernels& span_kernels() {
  switch (current_tier()) {
    case Tier::avx512:
      return avx512_kernels();
    case Tier::avx2:
      return avx2_spans::kSpans;
    default:
      return portable_spans::kSpans;
  }
}

}  // namespace vistelmo
