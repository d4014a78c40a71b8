#include "platform/system/guid.h"

#include <sys/random.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

// xoshiro256**: 256 bits of state, period 2^256 - 1; two outputs fill one identifier.
struct TGuidGenerator {
  uint64_t s[4];

  TGuidGenerator() {
    size_t got = 0;
    while (got < sizeof s) {
      ssize_t n = getrandom(reinterpret_cast<uint8_t*>(s) + got, sizeof s - got, 0);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    if (got < sizeof s) {
      // No entropy source: the clock and the thread, spread by splitmix64.
      uint64_t x = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                   std::hash<std::thread::id>()(std::this_thread::get_id());
      for (uint64_t& v : s) {
        x += 0x9E3779B97F4A7C15ull;
        uint64_t z = x;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        v = z ^ (z >> 31);
      }
    }
    if ((s[0] | s[1] | s[2] | s[3]) == 0) s[0] = 1;  // the one state the generator cannot leave
  }

  static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

  uint64_t Next() {
    const uint64_t result = Rotl(s[1] * 5, 7) * 9;
    const uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = Rotl(s[3], 45);
    return result;
  }
};

}  // namespace

TGUID CreateGUID() {
  thread_local TGuidGenerator generator;
  uint64_t bits[2] = {generator.Next(), generator.Next()};
  TGUID g;
  std::memcpy(&g, bits, sizeof g);
  g.D3 = static_cast<uint16_t>((g.D3 & 0x0FFF) | 0x4000);  // version 4: random
  g.D4[0] = static_cast<uint8_t>((g.D4[0] & 0x3F) | 0x80);  // variant 1
  return g;
}
