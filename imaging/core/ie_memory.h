#pragma once
// The engine's allocation routines for pixel storage: a hybrid allocator that takes small blocks from
// the heap and large ones from zero-filled global memory, global blocks that report failure as none,
// a heap request that never raises, and the machine's physical memory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

// Blocks below this size come from the heap; from this size on, from zero-filled global memory.
constexpr int64_t kHybridHeapLimit = 1048576;

// A block of Size bytes, or nullptr. Below 1 MiB: heap memory (not zeroed); when the heap fails,
// zero-filled global memory. From 1 MiB: zero-filled global memory. nullptr when that fails too or
// Size is negative. The block is 16-byte aligned; free it with HybridFree only.
void* HybridAlloc(int64_t Size);
// Frees a block of HybridAlloc with the allocator that gave it and sets the pointer to nullptr.
// nullptr is ignored.
void HybridFree(void*& Pointer);
// Which allocator gave a block of HybridAlloc: 0 the heap, 1 global memory (-1 for nullptr).
int HybridAllocTag(const void* Pointer);

// Zero-filled fixed global memory, nullptr on failure (never raises).
void* GlobalAllocZero(int64_t Size);
// Frees a global block and sets the pointer to nullptr; nullptr is ignored.
void GlobalFreeAndNil(void*& Pointer);

// Heap memory of Size bytes; Pointer becomes nullptr instead of an exception when the heap fails
// (and for a Size of 0 or below). Free it with std::free.
void TryGetMem(void*& Pointer, int64_t Size);

// Total physical memory in bytes, or the physical memory available now when Available is true;
// 0 when the operating system does not tell.
int64_t PhysicalMemorySize(bool Available);

// An allocator for standard containers whose size comes from a caller's or a file's numbers: C heap
// blocks, std::bad_alloc when the heap has none. The default allocator does the same, but under the
// sanitizer builds its operator new ends the program on an impossible size, where a heap request
// reports failure, so that the failure path of such a container is the same in every build.
template <class T>
struct TIEHeapAllocator {
  using value_type = T;
  TIEHeapAllocator() = default;
  template <class U>
  TIEHeapAllocator(const TIEHeapAllocator<U>&) {}
  T* allocate(size_t Count) {
    if (Count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* p = std::malloc(Count * sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* Pointer, size_t) { std::free(Pointer); }
  template <class U>
  bool operator==(const TIEHeapAllocator<U>&) const { return true; }
};
