#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "foundation/memory_internal.h"

namespace {

constexpr size_t kLarge = size_t(1) << 20;

// Gives advice to the whole units of size unit (a power of two) inside [p, p + bytes).
void advise_units(void* p, size_t bytes, uintptr_t unit, int advice) {
  const uintptr_t a = (reinterpret_cast<uintptr_t>(p) + unit - 1) & ~(unit - 1);
  const uintptr_t b = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(unit - 1);
  if (b > a) madvise(reinterpret_cast<void*>(a), b - a, advice);
}

}  // namespace

void vistelmo::prefault(void* p, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  if (bytes < kLarge) return;
#ifdef MADV_HUGEPAGE
  // Large pages over the 2 MiB-aligned middle first: the mapping then takes one fault a large
  // page instead of one a 4 KiB page.
  constexpr uintptr_t kHuge = uintptr_t(2) << 20;
  if (bytes >= 2 * kHuge) advise_units(p, bytes, kHuge, MADV_HUGEPAGE);
#endif
  advise_units(p, bytes, static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)), MADV_POPULATE_WRITE);
#else
  (void)p;
  (void)bytes;
#endif
}
