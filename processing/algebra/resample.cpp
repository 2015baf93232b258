// Choice of the resampling loops.
#include "processing/algebra/resample_internal.h"

namespace vistelmo {

namespace {
ResampleTier current = ResampleTier::kDispatched;
}  // namespace

void set_resample_tier(ResampleTier t) { current = t; }
ResampleTier resample_tier() { return current; }
bool resample_avx2() {
  return (current == ResampleTier::kDispatched || current == ResampleTier::kAvx2) &&
         __builtin_cpu_supports("avx2");
}
bool resample_avx512() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
  return current == ResampleTier::kDispatched && has;
}
bool resample_vbmi() {
  static const bool has = __builtin_cpu_supports("avx512vbmi");
  return resample_avx512() && has;
}

}  // namespace vistelmo
