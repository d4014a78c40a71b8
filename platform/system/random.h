#pragma once
// The run-time library's pseudo-random numbers: a 32-bit linear congruential generator whose whole
// state is RandSeed. The process-wide generator starts at RandSeed 0 (the same numbers in every
// run until Randomize or a seed is set) and serves the user-interface thread; code that wants
// numbers of its own, or from another thread, holds a TRandom privately.
#include <cstdint>

struct TRandom {
  uint32_t RandSeed = 0;

  // A number in 0 .. Range - 1 (0 when Range <= 0), advancing the state by one step.
  int32_t Random(int32_t Range) {
    Next();
    if (Range <= 0) return 0;
    return static_cast<int32_t>((static_cast<uint64_t>(RandSeed) * static_cast<uint32_t>(Range)) >> 32);
  }
  // A number in [0, 1).
  double RandomFloat() {
    Next();
    return static_cast<double>(RandSeed) / 4294967296.0;
  }

 private:
  void Next() { RandSeed = RandSeed * 134775813u + 1u; }
};

// The process-wide generator and its state, readable and settable as a variable.
inline TRandom GlobalRandom;
inline uint32_t& RandSeed = GlobalRandom.RandSeed;

inline int32_t Random(int32_t Range) { return GlobalRandom.Random(Range); }
inline double RandomFloat() { return GlobalRandom.RandomFloat(); }
// Seeds the process-wide generator from the clock.
void Randomize();
