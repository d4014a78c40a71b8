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
