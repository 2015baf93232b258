#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "foundation/memory_internal.h"

namespace {

constexpr size_t kLarge = size_t(1) << 20;

// Large pages over the 2 MiB-aligned middle of a block not yet mapped: its first writes then
// fault once a large page instead of once a 4 KiB page.
void advise_large_pages(void* p, size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr size_t kHuge = size_t(2) << 20;
  if (bytes < 2 * kHuge) return;
  const uintptr_t a = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t b = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(kHuge - 1);
  if (b > a) madvise(reinterpret_cast<void*>(a), b - a, MADV_HUGEPAGE);
#else
  (void)p;
  (void)bytes;
#endif
}

}  // namespace

void vistelmo::prefault(void* p, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  if (bytes < kLarge) return;
  advise_large_pages(p, bytes);
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t a = (reinterpret_cast<uintptr_t>(p) + page - 1) & ~(page - 1);
  const uintptr_t b = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(page - 1);
  if (b > a) madvise(reinterpret_cast<void*>(a), b - a, MADV_POPULATE_WRITE);
#else
  (void)p;
  (void)bytes;
#endif
}
