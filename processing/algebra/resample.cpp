// Which resampling loops the current instruction-set level runs.
#include "processing/algebra/resample_internal.h"
#include "processing/kernels/isa.h"

namespace vistelmo {

bool resample_fast() { return current_isa() != Isa::kPlain; }

}  // namespace vistelmo
