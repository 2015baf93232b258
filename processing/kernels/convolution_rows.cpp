// The row kernels of the spatial filters built for each level, and the choice among them.
#include "processing/kernels/convolution_rows.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "processing/kernels/isa.h"

namespace vistelmo {

typedef double V2 __attribute__((vector_size(16)));
typedef double V4 __attribute__((vector_size(32)));
typedef double V8 __attribute__((vector_size(64)));

// Without fused products the baseline build gains nothing from several rows a call.
namespace sse2_rows {
namespace {
using V = V2;
constexpr bool kFused = false;
constexpr int kUnroll = 8, kUnrollShort = 8, kBlock = 1;
#include "processing/kernels/convolution_rows_body.h"
}  // namespace
}  // namespace sse2_rows

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2_FMA)  // the fused kernels write their products
namespace avx2_rows {
namespace {
using V = V4;
constexpr bool kFused = true;
constexpr int kUnroll = 3, kUnrollShort = 3, kBlock = 4;
#include "processing/kernels/convolution_rows_body.h"
}  // namespace
}  // namespace avx2_rows
VISTELMO_TARGET_END

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX512)
namespace avx512_rows {
namespace {
using V = V8;
constexpr bool kFused = true;
constexpr int kUnroll = 6, kUnrollShort = 4, kBlock = 4;
#include "processing/kernels/convolution_rows_body.h"
}  // namespace
}  // namespace avx512_rows
VISTELMO_TARGET_END

namespace {

// Along a row (kc > 1, taps one sample apart) the taps read shifted, unaligned vectors: 64-byte
// vectors split a cache line on nearly every such load, so AVX-512 serves the column shape
// (kc = 1) and the interleaved colour rows (taps three samples apart), where it still gains.
template <bool Exact>
void avx512_or_avx2_row(const double* const* rows, const double* taps, int kl, int kc, int dir,
                        int n, RowOut out) {
  const bool along = kc > 1 && (dir == 1 || dir == -1);
  (along ? avx2_rows::row<Exact> : avx512_rows::row<Exact>)(rows, taps, kl, kc, dir, n, out);
}

ConvolutionKernels avx512_kernels() {
  ConvolutionKernels k = avx512_rows::kKernels;
  k.row = avx512_or_avx2_row<false>;
  k.exact_row = avx512_or_avx2_row<true>;
  return k;
}
const ConvolutionKernels kAvx512 = avx512_kernels();

}  // namespace

const ConvolutionKernels& convolution_kernels() {
  static constexpr const ConvolutionKernels* kByLevel[kIsaLevels] = {
      &sse2_rows::kKernels, &sse2_rows::kKernels, &avx2_rows::kKernels, &kAvx512, &kAvx512};
  return table_at_current_isa(kByLevel);
}

}  // namespace vistelmo
