// The passes of the separable filters built for each level, and the choice among them.
#include "processing/kernels/separable_rows.h"

#include <immintrin.h>

#include <cstring>
#include <type_traits>

#include "images/colour_internal.h"
#include "processing/kernels/isa.h"
#include "processing/kernels/vector_ops.h"

namespace vistelmo {

typedef double V2 __attribute__((vector_size(16)));
typedef double V4 __attribute__((vector_size(32)));
typedef double V8 __attribute__((vector_size(64)));

namespace sse2_separable {
namespace {
using V = V2;
constexpr int kColumnUnroll = 4;
#include "processing/kernels/separable_rows_body.h"
}  // namespace
}  // namespace sse2_separable

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
namespace avx2_separable {
namespace {
using V = V4;
constexpr int kColumnUnroll = 4;
#include "processing/kernels/separable_rows_body.h"
}  // namespace
}  // namespace avx2_separable
VISTELMO_TARGET_END

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX512)
namespace avx512_separable {
namespace {
using V = V8;
constexpr int kColumnUnroll = 8;
#include "processing/kernels/separable_rows_body.h"
}  // namespace
}  // namespace avx512_separable
VISTELMO_TARGET_END

const SeparableKernels& separable_kernels() {
  static constexpr const SeparableKernels* kByLevel[kIsaLevels] = {
      &sse2_separable::kKernels, &sse2_separable::kKernels, &avx2_separable::kKernels,
      &avx512_separable::kKernels, &avx512_separable::kKernels};
  return table_at_current_isa(kByLevel);
}

}  // namespace vistelmo
