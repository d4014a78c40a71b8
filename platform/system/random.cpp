#include "platform/system/random.h"

#include <chrono>

void Randomize() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  RandSeed = static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}
