// The span kernels built three times, for any x86-64, for AVX2 and for AVX-512, and the choice
// by instruction-set level. Each build sets its vector width (doubles a vector, and bytes), and how
// many rows of windows and vectors of each the float means take at a time.
#include <immintrin.h>
#include <algorithm>
#include <cstdint>
#include <utility>

#include "processing/algebra/neighbourhood_internal.h"
#include "processing/kernels/isa.h"

namespace vistelmo {

#define VISTELMO_BODY_LAMBDA
namespace portable_spans {
constexpr int kLanes = 4, kRows = 2, kBlocks = 2, kBytes = 16;
#include "processing/algebra/neighbourhood_spans_internal.h"
}  // namespace portable_spans
#undef VISTELMO_BODY_LAMBDA

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
#define VISTELMO_BODY_LAMBDA __attribute__((target(VISTELMO_TARGET_AVX2)))
namespace avx2_spans {
constexpr int kLanes = 4, kRows = 4, kBlocks = 3, kBytes = 32;
#include "processing/algebra/neighbourhood_spans_internal.h"
}  // namespace avx2_spans
#undef VISTELMO_BODY_LAMBDA
VISTELMO_TARGET_END

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX512)
#define VISTELMO_BODY_LAMBDA __attribute__((target(VISTELMO_TARGET_AVX512)))
namespace avx512_spans {
namespace {  // only some kernels are taken from this build (see avx512_kernels)
constexpr int kLanes = 8, kRows = 8, kBlocks = 3, kBytes = 64;
#include "processing/algebra/neighbourhood_spans_internal.h"
}  // namespace
}  // namespace avx512_spans
#undef VISTELMO_BODY_LAMBDA
VISTELMO_TARGET_END

namespace {

// The AVX-512 levels: the float means, byte taps and rows, float checks and 32-bit sums of that
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

}  // namespace

const SpanKernels& span_kernels() {
  switch (current_isa()) {
    case Isa::kAvx512:
    case Isa::kAvx512Vbmi:
      return avx512_kernels();
    case Isa::kAvx2:
      return avx2_spans::kSpans;
    default:
      return portable_spans::kSpans;
  }
}

}  // namespace vistelmo
