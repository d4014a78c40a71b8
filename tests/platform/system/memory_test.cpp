#include "platform/system/memory.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(GlobalMemory, ZeroedBlocksReadAsZerosAndFailuresGiveNull) {
  const size_t size = 3 << 20;
  auto* block = static_cast<uint8_t*>(GlobalAlloc(GPTR, size));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
  size_t nonZero = 0;
  for (size_t i = 0; i < size; ++i) nonZero += block[i] != 0;
  EXPECT_EQ(nonZero, 0u);
  EXPECT_EQ(GlobalSize(block), size);
  EXPECT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(GlobalSize(nullptr), 0u);

  // Nothing to allocate, or far more than any machine has: none, never an exception.
  EXPECT_EQ(GlobalAlloc(GPTR, 0), nullptr);
  EXPECT_EQ(GlobalAlloc(GPTR, SIZE_MAX / 2), nullptr);
  EXPECT_EQ(GlobalAlloc(GMEM_FIXED, SIZE_MAX / 2), nullptr);
  EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(MemoryStatus, TotalAndAvailableAreKnownAndConsistent) {
  const int64_t total = TotalPhysicalMemory();
  const int64_t available = AvailablePhysicalMemory();
  EXPECT_GT(total, int64_t{16} << 20);
  EXPECT_GT(available, 0);
  EXPECT_LE(available, total);
}

}  // namespace
