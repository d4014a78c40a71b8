#include "controls/xrl/xrl_sys_info.h"

#include <unistd.h>

#include "platform/system/processors.h"

namespace {

TXrlSystemInfo g_info;

}  // namespace

void InitializeSystemInfo() {
  g_info = TXrlSystemInfo{};
  long page = sysconf(_SC_PAGESIZE);
  g_info.PageSize = page > 0 ? static_cast<uint32_t>(page) : 4096u;
  // Mappings start at page boundaries.
  g_info.AllocationGranularity = g_info.PageSize;
  g_info.ProcessorCount = static_cast<uint32_t>(LogicalProcessorCount());
  g_info.IsNT = true;
}

void FinalizeSystemInfo() {}

const TXrlSystemInfo& SystemInfo() { return g_info; }

int32_t WindowsVersionClass() { return 0; }
