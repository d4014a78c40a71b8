#include "imaging/core/ie_memory.h"

#include <cstddef>
#include <cstdlib>
#include <limits>

#include "platform/system/memory.h"

namespace {

// A hybrid block starts with a header whose first byte tags the allocator. The header is 16 bytes,
// not the 4 a tag needs, so that the caller's address keeps the allocator's alignment:
// rows of 16-bit, float and 32-bit pixels are read through typed pointers and vectorised loops.
constexpr size_t kHybridHeader = 16;
constexpr uint8_t kTagHeap = 0;
constexpr uint8_t kTagGlobal = 1;

bool FitsSize(int64_t size, size_t extra) {
  return size >= 0 && static_cast<uint64_t>(size) <= std::numeric_limits<size_t>::max() - extra;
}

}  // namespace

void* HybridAlloc(int64_t Size) {
  if (!FitsSize(Size, kHybridHeader)) return nullptr;
  const size_t bytes = static_cast<size_t>(Size) + kHybridHeader;
  uint8_t* block = nullptr;
  uint8_t tag = kTagHeap;
  if (Size < kHybridHeapLimit) block = static_cast<uint8_t*>(std::malloc(bytes));
  if (!block) {
    block = static_cast<uint8_t*>(GlobalAlloc(GPTR, bytes));
    tag = kTagGlobal;
  }
  if (!block) return nullptr;
  block[0] = tag;
  return block + kHybridHeader;
}

void HybridFree(void*& Pointer) {
  if (!Pointer) return;
  uint8_t* block = static_cast<uint8_t*>(Pointer) - kHybridHeader;
  if (block[0] == kTagGlobal)
    GlobalFree(block);
  else
    std::free(block);
  Pointer = nullptr;
}

int HybridAllocTag(const void* Pointer) {
  return Pointer ? static_cast<const uint8_t*>(Pointer)[-static_cast<ptrdiff_t>(kHybridHeader)] : -1;
}

void* GlobalAllocZero(int64_t Size) {
  if (!FitsSize(Size, 0)) return nullptr;
  return GlobalAlloc(GPTR, static_cast<size_t>(Size));
}

void GlobalFreeAndNil(void*& Pointer) {
  if (!Pointer) return;
  GlobalFree(Pointer);
  Pointer = nullptr;
}

void TryGetMem(void*& Pointer, int64_t Size) {
  Pointer = Size > 0 && FitsSize(Size, 0) ? std::malloc(static_cast<size_t>(Size)) : nullptr;
}

int64_t PhysicalMemorySize(bool Available) {
  return Available ? AvailablePhysicalMemory() : TotalPhysicalMemory();
}
