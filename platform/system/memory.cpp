#include "platform/system/memory.h"

#include <sys/mman.h>

#include <sys/sysinfo.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Each block carries a header before it: the size asked for, and the length of its own mapping
// (0 for a block of the C heap). The header keeps the block 16-byte aligned.
constexpr size_t kHeader = 16;
constexpr size_t kHugePage = size_t{2} << 20;

// Blocks from this size on get a mapping of their own, 2 MiB-aligned and advised as huge pages.
// Freed, a few of them are kept for the next large request (a picture loaded after another of
// its size), because on a virtual machine the page faults and the kernel's clearing of fresh
// pages cost several times what clearing the kept pages costs. Kept blocks are marked MADV_FREE:
// under memory pressure the kernel takes their pages back without writing them anywhere.
// Under AddressSanitizer every block comes from the C heap, so that a use after free is reported.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapLargeBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif
#else
constexpr bool kMapLargeBlocks = true;
#endif
constexpr size_t kMappedMin = size_t{8} << 20;
constexpr size_t kKeptBlocksMax = 4;
constexpr size_t kKeptBytesMax = size_t{256} << 20;

struct TKeptBlock {
  void* base;
  size_t length;
};

struct TKeptBlocks {
  std::mutex lock;
  TKeptBlock blocks[kKeptBlocksMax];  // oldest first
  size_t count = 0;
  size_t bytes = 0;
};

TKeptBlocks& Kept() {
  static TKeptBlocks kept;
  return kept;
}

// At most 256 MiB and at most an eighth of the machine's memory are kept.
size_t KeptBytesLimit() {
  static const size_t limit = [] {
    const int64_t total = TotalPhysicalMemory();
    return total > 0 ? std::min(kKeptBytesMax, static_cast<size_t>(total / 8)) : kKeptBytesMax;
  }();
  return limit;
}

size_t& HeaderField(void* base, int field) { return static_cast<size_t*>(base)[field]; }

// A kept block of at least length bytes and at most a quarter more, taken out of the cache; the
// smallest such; {nullptr, 0} when there is none.
TKeptBlock TakeKept(size_t length) {
  TKeptBlocks& kept = Kept();
  std::lock_guard<std::mutex> guard(kept.lock);
  size_t best = kept.count;
  for (size_t i = 0; i < kept.count; ++i) {
    const size_t l = kept.blocks[i].length;
    if (l >= length && l - length <= length / 4 && (best == kept.count || l < kept.blocks[best].length)) best = i;
  }
  if (best == kept.count) return {nullptr, 0};
  const TKeptBlock block = kept.blocks[best];
  for (size_t i = best + 1; i < kept.count; ++i) kept.blocks[i - 1] = kept.blocks[i];
  --kept.count;
  kept.bytes -= block.length;
  return block;
}

// A fresh mapping of length bytes (a multiple of 2 MiB) starting on a 2 MiB boundary, or nullptr.
void* MapAligned(size_t length) {
  if (length > SIZE_MAX - kHugePage) return nullptr;
  void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const uintptr_t tail = start + length + kHugePage - (aligned + length);
  if (tail > 0) munmap(reinterpret_cast<void*>(aligned + length), tail);
  void* base = reinterpret_cast<void*>(aligned);
  madvise(base, length, MADV_HUGEPAGE);
  return base;
}

void* AllocMapped(uint32_t flags, size_t bytes) {
  const size_t needed = bytes + kHeader;
  if (needed > SIZE_MAX - kHugePage) return nullptr;
  const size_t length = (needed + kHugePage - 1) & ~(kHugePage - 1);
  void* base = nullptr;
  const TKeptBlock kept = TakeKept(length);
  if (kept.base) {
    base = kept.base;
    // A kept block holds what its last owner left (or zeros where the kernel took pages back).
    if (flags & GMEM_ZEROINIT) std::memset(static_cast<uint8_t*>(base) + kHeader, 0, bytes);
  } else {
    base = MapAligned(length);
    if (!base && TrimGlobalBlockCache() > 0) base = MapAligned(length);  // room the cache held
    if (!base) return nullptr;
  }
  HeaderField(base, 0) = bytes;
  HeaderField(base, 1) = kept.base ? kept.length : length;
  return static_cast<uint8_t*>(base) + kHeader;
}

void FreeMapped(void* base, size_t length) {
  TKeptBlock evicted[kKeptBlocksMax + 1];
  size_t evictedCount = 0;
  if (length > KeptBytesLimit()) {
    evicted[evictedCount++] = {base, length};
  } else {
    madvise(base, length, MADV_FREE);
    TKeptBlocks& kept = Kept();
    std::lock_guard<std::mutex> guard(kept.lock);
    while (kept.count > 0 && (kept.count == kKeptBlocksMax || kept.bytes + length > KeptBytesLimit())) {
      evicted[evictedCount++] = kept.blocks[0];
      kept.bytes -= kept.blocks[0].length;
      for (size_t i = 1; i < kept.count; ++i) kept.blocks[i - 1] = kept.blocks[i];
      --kept.count;
    }
    kept.blocks[kept.count++] = {base, length};
    kept.bytes += length;
  }
  for (size_t i = 0; i < evictedCount; ++i) munmap(evicted[i].base, evicted[i].length);
}

}  // namespace

void* GlobalAlloc(uint32_t flags, size_t bytes) noexcept {
  if (bytes == 0 || bytes > SIZE_MAX - kHeader) return nullptr;
  if (kMapLargeBlocks && bytes >= kMappedMin) return AllocMapped(flags, bytes);
  void* raw = (flags & GMEM_ZEROINIT) ? std::calloc(1, bytes + kHeader) : std::malloc(bytes + kHeader);
  if (!raw) return nullptr;
  AdviseHugePages(raw, bytes + kHeader);
  HeaderField(raw, 0) = bytes;
  HeaderField(raw, 1) = 0;
  return static_cast<uint8_t*>(raw) + kHeader;
}

void AdviseHugePages(void* block, size_t bytes) noexcept {
  // Only blocks of many 2 MiB pages: a picture's rows are then touched one fault per 2 MiB rather
  // than per 4 KiB, which on a virtual machine is most of the cost of a fresh bitmap.
  constexpr uintptr_t kHuge = kHugePage;
  if (bytes < 4 * kHuge) return;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHuge - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

void* GlobalFree(void* block) noexcept {
  if (!block) return nullptr;
  void* base = static_cast<uint8_t*>(block) - kHeader;
  const size_t length = HeaderField(base, 1);
  if (length > 0)
    FreeMapped(base, length);
  else
    std::free(base);
  return nullptr;
}

size_t GlobalSize(const void* block) noexcept {
  return block ? *reinterpret_cast<const size_t*>(static_cast<const uint8_t*>(block) - kHeader) : 0;
}

size_t TrimGlobalBlockCache() noexcept {
  TKeptBlock released[kKeptBlocksMax];
  size_t count = 0;
  size_t bytes = 0;
  {
    TKeptBlocks& kept = Kept();
    std::lock_guard<std::mutex> guard(kept.lock);
    count = kept.count;
    bytes = kept.bytes;
    for (size_t i = 0; i < count; ++i) released[i] = kept.blocks[i];
    kept.count = 0;
    kept.bytes = 0;
  }
  for (size_t i = 0; i < count; ++i) munmap(released[i].base, released[i].length);
  return bytes;
}

size_t GlobalBlockCacheBytes() noexcept {
  TKeptBlocks& kept = Kept();
  std::lock_guard<std::mutex> guard(kept.lock);
  return kept.bytes;
}

size_t GlobalBlockCacheCount() noexcept {
  TKeptBlocks& kept = Kept();
  std::lock_guard<std::mutex> guard(kept.lock);
  return kept.count;
}

bool GlobalBlockCacheEnabled() noexcept { return kMapLargeBlocks; }

namespace {

constexpr int64_t kUnknown = -1;

// The first whitespace-separated word of a small file, or "" when it cannot be read.
std::string ReadWord(const std::string& fileName) {
  std::ifstream in(fileName);
  std::string word;
  if (in) in >> word;
  return word;
}

// A byte count from a control-group file: -1 for "max", a missing file or a bad number.
int64_t ReadLimit(const std::string& fileName) {
  const std::string word = ReadWord(fileName);
  if (word.empty() || word == "max") return kUnknown;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(word.c_str(), &end, 10);
  if (end == word.c_str() || *end != '\0') return kUnknown;
  // cgroup v1 reports "no limit" as a number near 2^63.
  if (v >= (1ULL << 62)) return kUnknown;
  return static_cast<int64_t>(v);
}

// One "key value" field of a control group's memory.stat, or 0.
int64_t ReadStatField(const std::string& fileName, const std::string& key) {
  std::ifstream in(fileName);
  std::string k;
  long long v = 0;
  while (in >> k >> v)
    if (k == key) return v;
  return 0;
}

struct CgroupMemory {
  int64_t limit = kUnknown;  // smallest limit on the way to the root
  int64_t room = kUnknown;   // smallest (limit - usage + reclaimable cache) on the way to the root
};

void Consider(CgroupMemory& m, int64_t limit, int64_t usage, int64_t reclaimable) {
  if (limit < 0) return;
  if (m.limit < 0 || limit < m.limit) m.limit = limit;
  if (usage >= 0) {
    const int64_t room = std::max<int64_t>(0, limit - usage + reclaimable);
    if (m.room < 0 || room < m.room) m.room = room;
  }
}

// Walks the process's memory control group (v2 unified or v1 "memory" controller) up to the root.
CgroupMemory ReadCgroupMemory() {
  CgroupMemory m;
  std::ifstream in("/proc/self/cgroup");
  std::string line;
  while (std::getline(in, line)) {
    // "hierarchy-id:controllers:path"
    const size_t a = line.find(':');
    const size_t b = a == std::string::npos ? a : line.find(':', a + 1);
    if (b == std::string::npos) continue;
    const std::string controllers = line.substr(a + 1, b - a - 1);
    std::string path = line.substr(b + 1);
    const bool v2 = line.compare(0, a, "0") == 0 && controllers.empty();
    bool v1 = false;
    std::stringstream list(controllers);
    for (std::string c; std::getline(list, c, ',');) v1 = v1 || c == "memory";
    if (!v2 && !v1) continue;
    const std::string base = v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory";
    for (int depth = 0; depth < 64; ++depth) {
      const std::string dir = base + (path == "/" ? std::string() : path);
      if (v2) {
        Consider(m, ReadLimit(dir + "/memory.max"), ReadLimit(dir + "/memory.current"),
                 ReadStatField(dir + "/memory.stat", "inactive_file"));
      } else {
        Consider(m, ReadLimit(dir + "/memory.limit_in_bytes"), ReadLimit(dir + "/memory.usage_in_bytes"),
                 ReadStatField(dir + "/memory.stat", "total_inactive_file"));
      }
      if (path.empty() || path == "/") break;
      const size_t slash = path.find_last_of('/');
      path = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
    }
  }
  return m;
}

// MemAvailable of /proc/meminfo (kernel's estimate of memory usable without swapping), in bytes.
int64_t ReadMemAvailable() {
  std::ifstream in("/proc/meminfo");
  std::string key;
  long long kib = 0;
  std::string unit;
  while (in >> key >> kib) {
    std::getline(in, unit);
    if (key == "MemAvailable:") return static_cast<int64_t>(kib) * 1024;
  }
  return kUnknown;
}

}  // namespace

int64_t TotalPhysicalMemory() {
  struct sysinfo si;
  int64_t total = 0;
  if (::sysinfo(&si) == 0) total = static_cast<int64_t>(si.totalram) * static_cast<int64_t>(si.mem_unit);
  const CgroupMemory cg = ReadCgroupMemory();
  if (cg.limit > 0 && (total <= 0 || cg.limit < total)) total = cg.limit;
  return std::max<int64_t>(total, 0);
}

int64_t AvailablePhysicalMemory() {
  int64_t avail = ReadMemAvailable();
  if (avail < 0) {
    struct sysinfo si;
    if (::sysinfo(&si) == 0)
      avail = static_cast<int64_t>(si.freeram + si.bufferram) * static_cast<int64_t>(si.mem_unit);
  }
  const CgroupMemory cg = ReadCgroupMemory();
  if (cg.room >= 0 && (avail < 0 || cg.room < avail)) avail = cg.room;
  return std::max<int64_t>(avail, 0);
}
