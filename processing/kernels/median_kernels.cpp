// The median kernels built for any x86-64, for AVX2 and for AVX-512, and the table of each level.
#include "processing/kernels/median_kernels.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "processing/kernels/batcher.h"
#include "processing/kernels/isa.h"

namespace vistelmo {

#define VISTELMO_BODY_LAMBDA
namespace sse2_medians {
constexpr int kBytes = 16;
#include "processing/kernels/median_kernels_body.h"
}  // namespace sse2_medians
#undef VISTELMO_BODY_LAMBDA

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
#define VISTELMO_BODY_LAMBDA __attribute__((target(VISTELMO_TARGET_AVX2)))
namespace avx2_medians {
constexpr int kBytes = 32;
#include "processing/kernels/median_kernels_body.h"
}  // namespace avx2_medians
#undef VISTELMO_BODY_LAMBDA
VISTELMO_TARGET_END

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX512)
#define VISTELMO_BODY_LAMBDA __attribute__((target(VISTELMO_TARGET_AVX512)))
namespace avx512_medians {
namespace {  // only some kernels are taken from this build (see avx512_table)
constexpr int kBytes = 64;
#include "processing/kernels/median_kernels_body.h"
}  // namespace
}  // namespace avx512_medians
#undef VISTELMO_BODY_LAMBDA
VISTELMO_TARGET_END

namespace {

// The AVX-512 levels: the networks, the double medians and the grey 5 x 5 windows of that build;
// the grey 3 x 3 windows (as fast at 256 bits) of the AVX2 one.
constexpr MedianKernels avx512_table() {
  MedianKernels k = avx512_medians::kMedians;
  k.median3_u8 = avx2_medians::kMedians.median3_u8;
  k.median3_c3_u8 = avx2_medians::kMedians.median3_c3_u8;
  return k;
}

constexpr MedianKernels kAvx512Medians = avx512_table();

}  // namespace

const MedianKernels& median_kernels() {
  static constexpr const MedianKernels* kByLevel[kIsaLevels] = {
      &sse2_medians::kMedians, &sse2_medians::kMedians, &avx2_medians::kMedians, &kAvx512Medians,
      &kAvx512Medians};
  return table_at_current_isa(kByLevel);
}

}  // namespace vistelmo
