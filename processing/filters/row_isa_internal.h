// The instruction set of the library's dispatched row kernels. Library sources only.
#pragma once

namespace vistelmo {

// Instruction sets of the dispatched kernels, picked at run time (the best the processor has).
enum class RowIsa { kBaseline, kAvx2, kAvx512 };
RowIsa row_isa();
// Test hook: makes the kernels run on isa; false (nothing changes) when the processor lacks it.
bool set_row_isa(RowIsa isa);

}  // namespace vistelmo
