#include "platform/system/memory.h"

#include <sys/mman.h>

#include <sys/sysinfo.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Each block carries its size in a header before it; the header keeps the block 16-byte aligned.
constexpr size_t kHeader = 16;

}  // namespace

void* GlobalAlloc(uint32_t flags, size_t bytes) noexcept {
  if (bytes == 0 || bytes > SIZE_MAX - kHeader) return nullptr;
  void* raw = (flags & GMEM_ZEROINIT) ? std::calloc(1, bytes + kHeader) : std::malloc(bytes + kHeader);
  if (!raw) return nullptr;
  AdviseHugePages(raw, bytes + kHeader);
  *static_cast<size_t*>(raw) = bytes;
  return static_cast<uint8_t*>(raw) + kHeader;
}

void AdviseHugePages(void* block, size_t bytes) noexcept {
  // Only blocks of many 2 MiB pages: a picture's rows are then touched one fault per 2 MiB rather
  // than per 4 KiB, which on a virtual machine is most of the cost of a fresh bitmap.
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (bytes < 4 * kHuge) return;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHuge - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

void* GlobalFree(void* block) noexcept {
  if (block) std::free(static_cast<uint8_t*>(block) - kHeader);
  return nullptr;
}

size_t GlobalSize(const void* block) noexcept {
  return block ? *reinterpret_cast<const size_t*>(static_cast<const uint8_t*>(block) - kHeader) : 0;
}

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
