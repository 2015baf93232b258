// Memory hints shared by the library and its tools. Library only.
#pragma once

#include <cstddef>

namespace vistelmo {

// Maps the pages of a large block that is about to be written, in one call (cheaper than a
// fault per page), as large pages where the system allows. Only a hint: nothing is written.
void prefault(void* p, size_t bytes);

}  // namespace vistelmo
