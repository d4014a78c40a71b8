#pragma once
// The engine's once-only start-up and its matching shut-down: ten set-up steps of the engine's
// modules in a fixed order, run by the first InitializeImagingUnits, and their clean-ups in reverse,
// run by the last FinalizeImagingUnits. Both are counted and guarded by a lock, so every caller may
// call them; a shut-down without a start-up does nothing.
//
// Core does not include the modules above it: the steps come from a table that the engine's top
// module fills (IEEngineStartupSteps, imaging/views), the only place naming every module's bodies.
#include <array>
#include <cstdint>
#include <mutex>

// One step: its set-up and clean-up bodies (nil: nothing to do yet) and what it is, for messages.
struct TIEStartupStep {
  const char* Name;
  void (*Initialize)();
  void (*Finalize)();
};
constexpr int32_t kIEStartupStepCount = 10;
using TIEStartupSteps = std::array<TIEStartupStep, kIEStartupStepCount>;

// The ten steps in their order: 1 GDI+, 2 imaging defaults, 3 imaging utilities, 4 JPEG 2000,
// 5 vector layer, 6 I/O unit, 7 processing unit, 8 image view globals, 9 CCITT coder, 10 text memo
// clipboard format. Defined by the engine's top module.
const TIEStartupSteps& IEEngineStartupSteps();

// A counted runner of a step table under a lock. The engine has one (the entry points below);
// tests make their own with counting fakes.
class TIEStartupRunner {
 public:
  // The first call runs every set-up in order and counts 1; later calls only count. When a set-up
  // raises, the clean-ups of the steps already run are run in reverse, the count stays 0 and the
  // exception goes on to the caller.
  void Initialize(const TIEStartupSteps& Steps);
  // Counts down; the call that reaches 0 runs the clean-ups in reverse order. Nothing at 0.
  void Finalize(const TIEStartupSteps& Steps);
  int32_t UseCount();

 private:
  std::mutex lock_;
  int32_t useCount_ = 0;
};

void InitializeImagingUnits();
void FinalizeImagingUnits();
// How many start-ups are not yet matched by a shut-down.
int32_t ImagingUnitsUseCount();

// Step 3, the utilities: the processor-core cache reset, the system version, the word table filled,
// no dialog-placing hook, the automatic memory threshold, file and segment fall-backs on, the blend
// cosine table built. Its clean-up empties the word table.
void InitializeImagingUtilities();
void FinalizeImagingUtilities();
