#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "foundation/memory_internal.h"

void vistelmo::prefault(void* p, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  constexpr size_t kLarge = size_t(1) << 20;
  if (bytes < kLarge) return;
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t a = (reinterpret_cast<uintptr_t>(p) + page - 1) & ~(page - 1);
  const uintptr_t b = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(page - 1);
  if (b > a) madvise(reinterpret_cast<void*>(a), b - a, MADV_POPULATE_WRITE);
#else
  (void)p;
  (void)bytes;
#endif
}
