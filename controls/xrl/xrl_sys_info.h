#pragma once
// The system-information record the utility library keeps from its start-up.
#include <cstdint>

struct TXrlSystemInfo {
  uint32_t ProcessorCount = 0;
  uint32_t AllocationGranularity = 0;
  uint32_t PageSize = 0;
  bool IsNT = false;
  // The kernel library's product version on the 9x family (0 elsewhere).
  uint32_t KernelVersionHi = 0;
};

// Start-up: zeroes the record and fills it. Shut-down: nothing is loaded that would need freeing.
void InitializeSystemInfo();
void FinalizeSystemInfo();
const TXrlSystemInfo& SystemInfo();
// The Windows version class (1 to 18 for the versions of that system): 0 here, "anything else".
int32_t WindowsVersionClass();
