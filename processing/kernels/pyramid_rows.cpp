// The pyramid's row kernels built for any x86-64, for AVX2 and for AVX-512, and the table of each
// level.
#include "processing/kernels/pyramid_rows.h"

#include <immintrin.h>

#include <cstdint>
#include <utility>

#include "processing/kernels/isa.h"

namespace vistelmo {

namespace sse2_pyramid {
constexpr int kLanes = 8;
#include "processing/kernels/pyramid_rows_body.h"
}  // namespace sse2_pyramid

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
namespace avx2_pyramid {
constexpr int kLanes = 16;
#include "processing/kernels/pyramid_rows_body.h"
}  // namespace avx2_pyramid
VISTELMO_TARGET_END

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX512)
namespace avx512_pyramid {
constexpr int kLanes = 32;
#include "processing/kernels/pyramid_rows_body.h"
}  // namespace avx512_pyramid
VISTELMO_TARGET_END

namespace {

// The plain tier: one output at a time.
void smooth_plain(const PyramidRows& r, uint8_t* out, int64_t n) { smooth_from(r, out, 0, n); }
void halve_plain(const uint8_t* in, uint8_t* out, int64_t n) { halve_from(in, out, 0, n); }
constexpr PyramidKernels kPlainRows = {smooth_plain, halve_plain};

}  // namespace

const PyramidKernels& pyramid_kernels() {
  static constexpr const PyramidKernels* kByLevel[kIsaLevels] = {
      &kPlainRows, &sse2_pyramid::kRows, &avx2_pyramid::kRows, &avx512_pyramid::kRows,
      &avx512_pyramid::kRows};
  return table_at_current_isa(kByLevel);
}

}  // namespace vistelmo
