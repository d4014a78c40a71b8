#include "platform/system/memory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

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

constexpr size_t kMiB = size_t{1} << 20;

// Counts the bytes of a block that are not zero (every byte: the reused part matters everywhere).
size_t NonZeroBytes(const void* block, size_t size) {
  const auto* p = static_cast<const uint8_t*>(block);
  size_t n = 0;
  for (size_t i = 0; i < size; ++i) n += p[i] != 0;
  return n;
}

TEST(GlobalMemory, FreedLargeBlocksServeLaterRequestsOfTheirSizeAndZeroedOnesAreCleared) {
  TrimGlobalBlockCache();
  if (!GlobalBlockCacheEnabled()) {
    // The sanitizer builds keep nothing, so that a use after free is still reported.
    void* a = GlobalAlloc(GPTR, 24 * kMiB);
    GlobalFree(a);
    EXPECT_EQ(GlobalBlockCacheCount(), 0u);
    EXPECT_DEATH(
        {
          auto* p = static_cast<volatile uint8_t*>(GlobalAlloc(GPTR, 24 * kMiB));
          GlobalFree(const_cast<uint8_t*>(p));
          p[12345] = 1;
        },
        "use-after-free");
    return;
  }
  auto* a = static_cast<uint8_t*>(GlobalAlloc(GPTR, 24 * kMiB));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(NonZeroBytes(a, 24 * kMiB), 0u);
  std::memset(a, 0xAB, 24 * kMiB);
  GlobalFree(a);
  EXPECT_EQ(GlobalBlockCacheCount(), 1u);
  EXPECT_GE(GlobalBlockCacheBytes(), 24 * kMiB);

  // Same size: the same block, cleared because zeros were asked for.
  auto* b = static_cast<uint8_t*>(GlobalAlloc(GPTR, 24 * kMiB));
  EXPECT_EQ(b, a);
  EXPECT_EQ(GlobalBlockCacheCount(), 0u);
  EXPECT_EQ(GlobalSize(b), 24 * kMiB);
  EXPECT_EQ(NonZeroBytes(b, 24 * kMiB), 0u);
  std::memset(b, 0xCD, 24 * kMiB);
  GlobalFree(b);

  // Which later requests the kept 24 MiB block serves (blocks are counted in 2 MiB pages): the same
  // size class or a little less, never more, nor a request so much smaller that most of the block
  // would lie idle.
  struct Case {
    size_t bytes;
    bool reused;
  };
  for (const Case& c : {Case{24 * kMiB - 100, true}, Case{20 * kMiB, true}, Case{24 * kMiB + 100, true}, Case{26 * kMiB, false},
                        Case{32 * kMiB, false}, Case{12 * kMiB, false}}) {
    auto* c1 = static_cast<uint8_t*>(GlobalAlloc(GPTR, c.bytes));
    ASSERT_NE(c1, nullptr);
    EXPECT_EQ(c1 == b, c.reused) << c.bytes;
    EXPECT_EQ(GlobalSize(c1), c.bytes);
    EXPECT_EQ(NonZeroBytes(c1, c.bytes), 0u) << c.bytes;
    std::memset(c1, 0xEF, c.bytes);
    if (c1 == b) {
      GlobalFree(c1);
    } else {
      GlobalFree(c1);  // kept too, so take it back out of the way
      TrimGlobalBlockCache();
      b = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, 24 * kMiB));
      GlobalFree(b);
    }
  }

  // Without GMEM_ZEROINIT the block comes as it is (writable over its whole size).
  auto* d = static_cast<uint8_t*>(GlobalAlloc(GMEM_MOVEABLE, 24 * kMiB));
  ASSERT_NE(d, nullptr);
  d[0] = 1;
  d[24 * kMiB - 1] = 2;
  GlobalFree(d);

  EXPECT_GE(TrimGlobalBlockCache(), 24 * kMiB);
  EXPECT_EQ(GlobalBlockCacheCount(), 0u);
  EXPECT_EQ(GlobalBlockCacheBytes(), 0u);
  EXPECT_EQ(TrimGlobalBlockCache(), 0u);
}

TEST(GlobalMemory, KeptBlocksAreBoundedInNumberAndBytes) {
  TrimGlobalBlockCache();
  // Untouched blocks: their pages are never faulted in, so large sizes cost nothing here.
  std::vector<void*> blocks;
  for (int i = 0; i < 6; ++i) blocks.push_back(GlobalAlloc(GMEM_FIXED, 16 * kMiB));
  for (void* p : blocks) ASSERT_NE(p, nullptr);
  for (void* p : blocks) GlobalFree(p);
  if (!GlobalBlockCacheEnabled()) {  // the sanitizer builds keep nothing
    EXPECT_EQ(GlobalBlockCacheCount(), 0u);
    EXPECT_EQ(GlobalBlockCacheBytes(), 0u);
    return;
  }
  EXPECT_EQ(GlobalBlockCacheCount(), 4u);  // the oldest two released
  // The two freed last are among the kept ones.
  void* again1 = GlobalAlloc(GMEM_FIXED, 16 * kMiB);
  void* again2 = GlobalAlloc(GMEM_FIXED, 16 * kMiB);
  EXPECT_TRUE(again1 == blocks[5] || again1 == blocks[4] || again1 == blocks[3] || again1 == blocks[2]);
  EXPECT_NE(again1, blocks[0]);
  EXPECT_NE(again2, blocks[1]);
  GlobalFree(again1);
  GlobalFree(again2);
  TrimGlobalBlockCache();

  // By bytes: at most 256 MiB (less on a small machine), so three 100 MiB blocks keep at most two.
  blocks.clear();
  for (int i = 0; i < 3; ++i) blocks.push_back(GlobalAlloc(GMEM_FIXED, 100 * kMiB));
  for (void* p : blocks) ASSERT_NE(p, nullptr);
  for (void* p : blocks) GlobalFree(p);
  EXPECT_LE(GlobalBlockCacheCount(), 2u);
  EXPECT_LE(GlobalBlockCacheBytes(), 256 * kMiB);
  TrimGlobalBlockCache();

  // A block above the bound is never kept.
  void* huge = GlobalAlloc(GMEM_FIXED, 300 * kMiB);
  ASSERT_NE(huge, nullptr);
  GlobalFree(huge);
  EXPECT_EQ(GlobalBlockCacheCount(), 0u);
  EXPECT_EQ(GlobalBlockCacheBytes(), 0u);
}

TEST(GlobalMemory, ThreadsTakingAndFreeingLargeBlocksNeverShareOne) {
  // Each thread marks its block with its own number at both ends and in the middle, and checks
  // the marks are still its own before freeing: two threads handed one kept block would clash.
  constexpr int kThreads = 4;
  std::atomic<int> clashes{0};
  std::atomic<int> dirty{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &clashes, &dirty] {
      for (int i = 0; i < 40; ++i) {
        const size_t size = (8 + (i + t) % 3 * 2) * kMiB;
        auto* p = static_cast<uint8_t*>(GlobalAlloc(GPTR, size));
        if (!p) continue;
        const size_t where[] = {0, size / 2, size - 1};
        for (size_t w : where) {
          if (p[w] != 0) ++dirty;
          p[w] = static_cast<uint8_t>(t + 1);
        }
        std::this_thread::yield();
        for (size_t w : where)
          if (p[w] != t + 1) ++clashes;
        GlobalFree(p);
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(clashes.load(), 0);
  EXPECT_EQ(dirty.load(), 0);
  EXPECT_LE(GlobalBlockCacheCount(), 4u);
  TrimGlobalBlockCache();
}

TEST(MemoryStatus, TotalAndAvailableAreKnownAndConsistent) {
  const int64_t total = TotalPhysicalMemory();
  const int64_t available = AvailablePhysicalMemory();
  EXPECT_GT(total, int64_t{16} << 20);
  EXPECT_GT(available, 0);
  EXPECT_LE(available, total);
}

}  // namespace
