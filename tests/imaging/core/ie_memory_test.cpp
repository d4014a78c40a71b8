#include "imaging/core/ie_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace {

bool AllZero(const void* p, int64_t size) {
  const auto* b = static_cast<const uint8_t*>(p);
  for (int64_t i = 0; i < size; ++i)
    if (b[i]) return false;
  return true;
}

TEST(HybridAlloc, SplitsHeapAndGlobalMemoryAtOneMebibyte) {
  struct Case {
    int64_t size;
    int tag;
  };
  for (const Case c : {Case{1, 0}, Case{1048575, 0}, Case{1048576, 1}, Case{3 << 20, 1}}) {
    void* p = HybridAlloc(c.size);
    ASSERT_NE(p, nullptr) << c.size;
    EXPECT_EQ(HybridAllocTag(p), c.tag) << c.size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u) << c.size;
    if (c.tag == 1) {
      EXPECT_TRUE(AllZero(p, c.size)) << c.size;
    }
    static_cast<uint8_t*>(p)[c.size - 1] = 0xAB;  // the whole size is usable
    HybridFree(p);
    EXPECT_EQ(p, nullptr) << c.size;
  }
  void* none = nullptr;
  HybridFree(none);  // ignored
  EXPECT_EQ(HybridAllocTag(nullptr), -1);
  EXPECT_EQ(HybridAlloc(-1), nullptr);
  EXPECT_EQ(HybridAlloc(INT64_MAX), nullptr);
  EXPECT_EQ(HybridAlloc(int64_t{1} << 60), nullptr);
}

TEST(GlobalAllocZero, ZeroFilledOrNoneAndFreedToNil) {
  void* p = GlobalAllocZero(100000);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(AllZero(p, 100000));
  GlobalFreeAndNil(p);
  EXPECT_EQ(p, nullptr);
  GlobalFreeAndNil(p);
  EXPECT_EQ(GlobalAllocZero(int64_t{1} << 60), nullptr);
  EXPECT_EQ(GlobalAllocZero(-5), nullptr);
}

TEST(TryGetMem, GivesNoneInsteadOfRaising) {
  void* p = reinterpret_cast<void*>(1);
  TryGetMem(p, int64_t{1} << 60);
  EXPECT_EQ(p, nullptr);
  TryGetMem(p, 64);
  ASSERT_NE(p, nullptr);
  std::free(p);
}

TEST(PhysicalMemorySize, TotalAndAvailable) {
  const int64_t total = PhysicalMemorySize(false);
  EXPECT_GT(total, 0);
  EXPECT_GT(PhysicalMemorySize(true), 0);
  EXPECT_LE(PhysicalMemorySize(true), total);
}

}  // namespace
