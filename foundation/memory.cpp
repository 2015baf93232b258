#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "foundation/memory_internal.h"

namespace {

constexpr size_t kLarge = size_t(1) << 20;

// From this size every block is a fresh mapping: its pages are zeroed by the system on first
// write, which can cost a large result as much as computing it. One released block of this size
// is kept, mapped, for the next request it fits without wasting more than a quarter of it.
constexpr size_t kKeptFrom = size_t(32) << 20;

struct KeptBlock {
  std::mutex lock;
  void* p = nullptr;
  size_t bytes = 0;
};

// Never destroyed: images in static storage may be released after exit begins.
KeptBlock& kept() {
  static KeptBlock* k = new KeptBlock;
  return *k;
}

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

void* vistelmo::allocate_block(size_t bytes) {
  if (bytes < kKeptFrom) return std::malloc(bytes > 0 ? bytes : 1);
  KeptBlock& k = kept();
  {
    std::lock_guard<std::mutex> hold(k.lock);
    void* p = k.p;
    if (p != nullptr) {
      const bool fits = k.bytes >= bytes && k.bytes - bytes <= bytes / 4;
      k.p = nullptr;
      if (fits) return p;
      std::free(p);
    }
  }
  void* p = nullptr;
  return posix_memalign(&p, size_t(2) << 20, bytes) == 0 ? p : nullptr;
}

void vistelmo::release_block(void* p) {
  if (p == nullptr) return;
  const size_t bytes = malloc_usable_size(p);
  if (bytes < kKeptFrom) return std::free(p);
  KeptBlock& k = kept();
  std::lock_guard<std::mutex> hold(k.lock);
  std::free(k.p);
  k.p = p;
  k.bytes = bytes;
}
