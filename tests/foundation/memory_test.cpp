#include <malloc.h>

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "foundation/memory_internal.h"

namespace {

constexpr size_t kMiB = size_t(1) << 20;

// Large blocks come back whole and 2 MiB-aligned whether fresh or kept from an earlier release,
// and a kept block is never handed to a request it does not hold or would mostly waste.
TEST(ImageBlocks, LargeBlocksHoldTheirRequestWhetherFreshOrKept) {
  const size_t sizes[] = {40 * kMiB, 48 * kMiB, 40 * kMiB, 33 * kMiB, 100 * kMiB, 32 * kMiB};
  for (size_t bytes : sizes) {
    SCOPED_TRACE(bytes);
    void* p = vistelmo::allocate_block(bytes);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % (2 * kMiB), 0u);
    EXPECT_GE(malloc_usable_size(p), bytes);
    EXPECT_LE(malloc_usable_size(p) - bytes, bytes / 4 + 2 * kMiB);
    std::memset(p, 0x5a, bytes);  // the sanitizer sees any byte past the block
    vistelmo::release_block(p);
  }
}

TEST(ImageBlocks, SmallAndEmptyRequestsGiveDistinctBlocks) {
  void* a = vistelmo::allocate_block(0);
  void* b = vistelmo::allocate_block(1);
  void* c = vistelmo::allocate_block(5 * kMiB);
  ASSERT_TRUE(a && b && c);
  EXPECT_NE(a, b);
  std::memset(c, 1, 5 * kMiB);
  for (void* p : {a, b, c}) vistelmo::release_block(p);
  vistelmo::release_block(nullptr);
}

}  // namespace
