#pragma once
// Time as the program's timers and waits see it.
#include <cstdint>

// Milliseconds since the machine started, on a steady clock; wraps around after 49.7 days like the
// 32-bit counter it stands for (compare with unsigned subtraction).
uint32_t GetTickCount();
uint64_t GetTickCount64();
// Suspends the calling thread for Milliseconds; 0 gives up the rest of its time slice.
void Sleep(uint32_t Milliseconds);
