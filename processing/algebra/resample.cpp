// Choice of the resampling loops.
#include "processing/algebra/resample_internal.h"

namespace vistelmo {
namespace resample {

namespace {
Tier current = Tier::kDispatched;
}  // namespace

void set_tier(Tier t) { current = t; }
Tier tier() { return current; }
bool use_avx2() { return current == Tier::kDispatched && __builtin_cpu_supports("avx2"); }

}  // namespace resample
}  // namespace vistelmo
