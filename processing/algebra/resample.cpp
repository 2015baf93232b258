// Choice of the resampling loops.
#include "processing/algebra/resample_internal.h"

namespace vistelmo {

namespace {
ResampleTier current = ResampleTier::kDispatched;
}  // namespace

void set_resample_tier(ResampleTier t) { current = t; }
ResampleTier resample_tier() { return current; }
bool resample_avx2() {
  return current == ResampleTier::kDispatched && __builtin_cpu_supports("avx2");
}

}  // namespace vistelmo
