#pragma once
// The progress and abort context that loaders, savers and the bitmap routines pass to the code that
// does the work: whom to tell, how far a unit of work goes, and the caller's abort flag.
#include <atomic>
#include <cstdint>

#include "imaging/core/ie_defs.h"

struct TIEProgressRecord {
  // Told the whole percentage done; may be unassigned, in which case nothing is reported.
  TIEProgressEvent OnProgress;
  // Passed to OnProgress.
  TObject* Sender = nullptr;
  // Step counter, used by the code doing the work.
  int32_t Counter = 0;
  // Percentage per row and per page, set by the code doing the work (usually 100 / rows).
  double PerRow = 0;
  double PerPage = 0;
  // The caller's abort flag (may be nil): the work stops as soon as it is true, and the code doing
  // the work sets it to report a failure.
  bool* Aborting = nullptr;
  // The last percentage reported, so each whole percentage is reported once.
  int32_t LastReported = -1;

  // Reports Percent when a handler is assigned and the percentage changed.
  void Report(int32_t Percent) {
    if (!OnProgress || Percent == LastReported) return;
    LastReported = Percent;
    OnProgress(Sender, Percent);
  }
  // The flag is read and set atomically: the owner of the flag may set it from another thread to
  // stop the work (an I/O component waiting for its threads). Code doing the work goes through these
  // two rather than through the pointer.
  bool IsAborting() const { return Aborting && std::atomic_ref<bool>(*Aborting).load(std::memory_order_relaxed); }
  void Abort() {
    if (Aborting) std::atomic_ref<bool>(*Aborting).store(true, std::memory_order_relaxed);
  }
};
