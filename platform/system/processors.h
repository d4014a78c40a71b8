#pragma once
// The processors this process runs on.
#include <cstdint>
#include <string>

// Logical processors (hardware threads) the process may run on; at least 1.
int32_t LogicalProcessorCount();

// Physical processor cores among the logical processors the process may run on: the distinct
// (package, core) pairs of the processor topology. 0 when the operating system does not describe it.
int32_t PhysicalCoreCount();

// The same count from a processor directory laid out like /sys/devices/system/cpu
// (cpuN/topology/physical_package_id and core_id), for every cpuN found there.
int32_t CountPhysicalCores(const std::string& cpuDirectory);

// Instruction-set extensions the engine's fast paths may use.
enum TCPUFeature : uint8_t { cfMMX, cfSSE, cfSSE2, cfSSE3, cfSSSE3, cfSSE41, cfSSE42, cfAVX, cfAVX2 };

// True when the processor reports the extension (the processor identification instruction on
// x86-64) and, for the AVX family, the system saves its registers; false on other processors.
bool CPUHasFeature(TCPUFeature feature);
