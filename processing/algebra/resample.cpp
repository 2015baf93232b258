// Choice of the resampling loops.
#include "processing/algebra/resample_internal.h"

namespace vistelmo {
namespace resample {

namespace {
Tier current = Tier::kFast;
}  // namespace

void set_tier(Tier t) { current = t; }
Tier tier() { return current; }

}  // namespace resample
}  // namespace vistelmo
