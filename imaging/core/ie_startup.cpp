#include "imaging/core/ie_startup.h"

#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_system_utils.h"
#include "imaging/core/ie_thread_pool.h"
#include "imaging/core/ie_word_table.h"

namespace {

TIEStartupRunner& EngineRunner() {
  static TIEStartupRunner runner;
  return runner;
}

// Runs the clean-ups of the first Count steps, last first.
void FinalizeSteps(const TIEStartupSteps& Steps, int32_t Count) {
  for (int32_t i = Count - 1; i >= 0; --i)
    if (Steps[static_cast<size_t>(i)].Finalize) Steps[static_cast<size_t>(i)].Finalize();
}

}  // namespace

void TIEStartupRunner::Initialize(const TIEStartupSteps& Steps) {
  std::lock_guard<std::mutex> guard(lock_);
  if (useCount_ == 0) {
    int32_t done = 0;
    try {
      for (const TIEStartupStep& step : Steps) {
        if (step.Initialize) step.Initialize();
        ++done;
      }
    } catch (...) {
      // The engine stays uninitialised: what was set up is taken down again, so that the next
      // start-up begins from nothing (no second registry, no format registered twice).
      try {
        FinalizeSteps(Steps, done);
      } catch (...) {
      }
      throw;
    }
  }
  ++useCount_;
}

void TIEStartupRunner::Finalize(const TIEStartupSteps& Steps) {
  std::lock_guard<std::mutex> guard(lock_);
  if (useCount_ == 0) return;
  if (--useCount_ == 0) FinalizeSteps(Steps, kIEStartupStepCount);
}

int32_t TIEStartupRunner::UseCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return useCount_;
}

void InitializeImagingUnits() { EngineRunner().Initialize(IEEngineStartupSteps()); }

void FinalizeImagingUnits() { EngineRunner().Finalize(IEEngineStartupSteps()); }

int32_t ImagingUnitsUseCount() { return EngineRunner().UseCount(); }

void InitializeImagingUtilities() {
  ResetProcessorCoreCount();
  WindowsVersion = static_cast<uint8_t>(GetWindowsVersionKind());
  IsWindowsNT = WindowsVersion > 2;
  FillLanguageWords();
  PlaceDialogHook = nullptr;
  MinFileSizeOverride = -1;
  FileFallbackOnLowMemory = true;
  SegmentedAllocation = true;
  BuildBlendCosineTable();
}

void FinalizeImagingUtilities() { ClearLanguageWords(); }
