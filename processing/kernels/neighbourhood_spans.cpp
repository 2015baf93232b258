// The span kernels built three times, for any x86-64, for AVX2 and for AVX-512, and the table of
// each level. Each build sets its vector width (doubles a vector, and bytes), and how many rows of
// windows and vectors of each the float means take at a time.
#include "processing/kernels/neighbourhood_spans.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "processing/kernels/isa.h"

namespace vistelmo {

#define VISTELMO_BODY_LAMBDA
namespace sse2_spans {
constexpr int kLanes = 4, kRows = 2, kBlocks = 2, kBytes = 16;
#include "processing/kernels/neighbourhood_spans_body.h"
}  // namespace sse2_spans
#undef VISTELMO_BODY_LAMBDA

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
#define VISTELMO_BODY_LAMBDA __attribute__((target(VISTELMO_TARGET_AVX2)))
namespace avx2_spans {
constexpr int kLanes = 4, kRows = 4, kBlocks = 3, kBytes = 32;
#include "processing/kernels/neighbourhood_spans_body.h"
}  // namespace avx2_spans
#undef VISTELMO_BODY_LAMBDA
VISTELMO_TARGET_END

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX512)
#define VISTELMO_BODY_LAMBDA __attribute__((target(VISTELMO_TARGET_AVX512)))
namespace avx512_spans {
namespace {  // only some kernels are taken from this build (see avx512_table)
constexpr int kLanes = 8, kRows = 8, kBlocks = 3, kBytes = 64;
#include "processing/kernels/neighbourhood_spans_body.h"
}  // namespace
}  // namespace avx512_spans
#undef VISTELMO_BODY_LAMBDA
VISTELMO_TARGET_END

namespace {

// The AVX-512 levels: the float means, byte taps and rows, float checks and 32-bit sums of that
// build; the rest (byte and word kernels, as fast or faster at 256 bits) of the AVX2 one.
constexpr SpanKernels avx512_table() {
  const SpanKernels& wide = avx512_spans::kSpans;
  SpanKernels k = avx2_spans::kSpans;
  k.rows_at_once = wide.rows_at_once;
  k.window_means = wide.window_means;
  k.min_taps_u8 = wide.min_taps_u8;
  k.max_taps_u8 = wide.max_taps_u8;
  k.whole_scaled_f32 = wide.whole_scaled_f32;
  k.quotients_f32 = wide.quotients_f32;
  k.sums32 = wide.sums32;
  k.mean_u8 = wide.mean_u8;
  k.add_sub_u16_i32 = wide.add_sub_u16_i32;
  k.min_rows_u8 = wide.min_rows_u8;
  k.max_rows_u8 = wide.max_rows_u8;
  k.rows_lines = wide.rows_lines;
  return k;
}

constexpr SpanKernels kAvx512Spans = avx512_table();

}  // namespace

const SpanKernels& span_kernels() {
  static constexpr const SpanKernels* kByLevel[kIsaLevels] = {
      &sse2_spans::kSpans, &sse2_spans::kSpans, &avx2_spans::kSpans, &kAvx512Spans, &kAvx512Spans};
  return table_at_current_isa(kByLevel);
}

}  // namespace vistelmo
