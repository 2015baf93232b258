// Image blocks and memory hints shared by the library and its tools. Library only.
#pragma once

#include <cstddef>

namespace vistelmo {

// Maps the pages of a large block that is about to be written, in one call (cheaper than a
// fault per page), as large pages where the system allows. Only a hint: nothing is written.
void prefault(void* p, size_t bytes);

// An uninitialised block of at least bytes (nullptr when memory runs out). From 32 MiB, where
// the C library maps every block anew, it starts on a 2 MiB boundary so that large pages cover
// it, and it may be the last such block released, still mapped.
void* allocate_block(size_t bytes);
// Releases a block from allocate_block, malloc or calloc. The last large one is kept for the
// next request it fits (any other large request releases it first).
void release_block(void* p);

}  // namespace vistelmo
