#include "platform/system/processors.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif
#include <dirent.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <utility>

namespace {

bool ReadNumber(const std::string& fileName, long& value) {
  std::ifstream in(fileName);
  return static_cast<bool>(in >> value);
}

// Counts the distinct cores of the cpuN entries of dir that accept(N) lets through.
int32_t CountCores(const std::string& dir, const std::function<bool(int)>& accept) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return 0;
  std::set<std::pair<long, long>> cores;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() < 4 || name.compare(0, 3, "cpu") != 0) continue;
    char* end = nullptr;
    const long n = std::strtol(name.c_str() + 3, &end, 10);
    if (*end != '\0' || n < 0 || !accept(static_cast<int>(n))) continue;
    const std::string topology = dir + "/" + name + "/topology/";
    long package = 0, core = 0;
    if (!ReadNumber(topology + "core_id", core)) continue;
    if (!ReadNumber(topology + "physical_package_id", package)) package = 0;
    cores.emplace(package, core);
  }
  ::closedir(d);
  return static_cast<int32_t>(cores.size());
}

}  // namespace

int32_t LogicalProcessorCount() {
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int32_t>(n) : 1;
}

int32_t PhysicalCoreCount() {
  cpu_set_t set;
  const bool haveAffinity = ::sched_getaffinity(0, sizeof set, &set) == 0;
  return CountCores("/sys/devices/system/cpu", [&](int cpu) {
    return !haveAffinity || cpu >= CPU_SETSIZE || CPU_ISSET(cpu, &set);
  });
}

int32_t CountPhysicalCores(const std::string& cpuDirectory) {
  return CountCores(cpuDirectory, [](int) { return true; });
}

bool CPUHasFeature(TCPUFeature feature) {
#if defined(__x86_64__) || defined(__i386__)
  // Leaf 1 of the identification instruction: EDX and ECX hold the basic extension flags.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  switch (feature) {
    case cfMMX: return (edx >> 23) & 1;
    case cfSSE: return (edx >> 25) & 1;
    case cfSSE2: return (edx >> 26) & 1;
    case cfSSE3: return ecx & 1;
    case cfSSSE3: return (ecx >> 9) & 1;
    case cfSSE41: return (ecx >> 19) & 1;
    case cfSSE42: return (ecx >> 20) & 1;
    // The AVX registers are usable only when the system saves them on a task switch, which the
    // compiler's own probe checks as well.
    case cfAVX: return __builtin_cpu_supports("avx");
    case cfAVX2: return __builtin_cpu_supports("avx2");
  }
  return false;
#else
  (void)feature;
  return false;
#endif
}
