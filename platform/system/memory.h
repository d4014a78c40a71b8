#pragma once
// Global memory blocks and the machine's memory status.
//
// The engine asks the platform for "global memory" where a failed allocation must be reported as
// none instead of raising (large bitmap blocks, bitmap segments) and, for fixed blocks with
// GMEM_ZEROINIT, expects the block to read as zeros. Here a global block below 8 MiB is an ordinary C
// heap block (calloc for zeroed ones); from 8 MiB on it is a mapping of its own, 2 MiB-aligned and
// advised as huge pages, and a few freed ones (at most 4 blocks, 256 MiB and an eighth of the
// machine's memory) are kept for later requests of the same or a slightly smaller size: a picture
// loaded after another of its size then finds its pages in place. Kept blocks may be taken back by
// the kernel under memory pressure. A block without GMEM_ZEROINIT may hold an earlier block's bytes.
// The sanitizer builds keep nothing (every block is a heap block, so use after free is reported).
// A fixed block's handle is its address, so GlobalLock is the identity.
#include <cstddef>
#include <cstdint>

constexpr uint32_t GMEM_FIXED = 0x0000;
constexpr uint32_t GMEM_MOVEABLE = 0x0002;
constexpr uint32_t GMEM_ZEROINIT = 0x0040;
constexpr uint32_t GPTR = GMEM_FIXED | GMEM_ZEROINIT;
constexpr uint32_t GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// A block of bytes (zero-filled with GMEM_ZEROINIT), or nullptr when memory cannot be had or bytes
// is 0. Never raises. Blocks are aligned for any scalar type (16 bytes).
void* GlobalAlloc(uint32_t flags, size_t bytes) noexcept;
// Asks the system to back the 2 MiB-aligned interior of a block of at least 8 MiB with huge pages
// (fewer page faults when a large picture is first written); smaller blocks are left as they are.
void AdviseHugePages(void* block, size_t bytes) noexcept;
// Frees a block of GlobalAlloc; nullptr is ignored. Returns nullptr (the framework's "success").
void* GlobalFree(void* block) noexcept;
// The size a block of GlobalAlloc was made with (0 for nullptr).
size_t GlobalSize(const void* block) noexcept;
// Releases the freed large blocks kept for reuse to the system; returns their bytes. Thread-safe.
size_t TrimGlobalBlockCache() noexcept;
// The bytes and the number of freed large blocks kept for reuse now.
size_t GlobalBlockCacheBytes() noexcept;
size_t GlobalBlockCacheCount() noexcept;
// Whether freed large blocks are kept at all (not in the sanitizer builds).
bool GlobalBlockCacheEnabled() noexcept;
inline void* GlobalLock(void* block) noexcept { return block; }
inline bool GlobalUnlock(void*) noexcept { return true; }

// Total physical memory of the machine in bytes, or 0 when it cannot be read. Inside a control group
// with a lower memory limit (a container), the limit counts as the machine's memory.
int64_t TotalPhysicalMemory();
// Physical memory available to this process now (free plus reclaimable caches, bounded by the
// control group's remaining room), or 0 when it cannot be read.
int64_t AvailablePhysicalMemory();
