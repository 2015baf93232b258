// Memory hints shared by the library and its tools. Library only.
#pragma once

#include <cstddef>

namespace vistelmo {

// Maps the pages of a large block that is about to be written, in one call (cheaper than a
// fault per page). Only a hint: nothing is written.
void prefault(void* p, size_t bytes);

// Asks for large pages over a large block not yet written: its first writes then fault once a
// large page instead of once a 4 KiB page. Only a hint.
void advise_large_pages(void* p, size_t bytes);

}  // namespace vistelmo
