// The FFT passes built for each level, and the choice among them.
#include "processing/kernels/fft_passes.h"

#include <cstddef>

#include "processing/kernels/isa.h"

namespace vistelmo {
namespace fft_engine {

namespace sse2_fft {
namespace {
#include "processing/kernels/fft_passes_body.h"
}  // namespace
}  // namespace sse2_fft

VISTELMO_TARGET_BEGIN(VISTELMO_TARGET_AVX2)
namespace avx2_fft {
namespace {
#include "processing/kernels/fft_passes_body.h"
}  // namespace
}  // namespace avx2_fft
VISTELMO_TARGET_END

const FftKernels& fft_kernels() {
  static constexpr const FftKernels* kByLevel[kIsaLevels] = {
      &sse2_fft::kKernels, &sse2_fft::kKernels, &avx2_fft::kKernels, &avx2_fft::kKernels,
      &avx2_fft::kKernels};
  return table_at_current_isa(kByLevel);
}

}  // namespace fft_engine
}  // namespace vistelmo
