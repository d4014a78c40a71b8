#include "platform/system/ticks.h"

#include <sched.h>
#include <time.h>

#include <chrono>
#include <thread>

uint64_t GetTickCount64() {
  struct timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

uint32_t GetTickCount() { return static_cast<uint32_t>(GetTickCount64()); }

void Sleep(uint32_t Milliseconds) {
  if (Milliseconds == 0)
    ::sched_yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}
