#pragma once
// The clock GIF painters time their animations by: the time now, a timed wait for an event, and a
// sleep. The real one is the system's; a test installs its own to run animations in virtual time.
#include <cstdint>

#include "platform/system/sync_objs.h"

class TGIFPainterClock {
 public:
  virtual ~TGIFPainterClock() = default;
  // Milliseconds on a steady clock (wrapping like GetTickCount).
  virtual uint32_t Now() = 0;
  // Waits until Event is set (true) or Milliseconds have passed (false); INFINITE waits for the
  // event alone.
  virtual bool Wait(TEvent& Event, uint32_t Milliseconds) = 0;
  // Milliseconds of sleep; 0 gives up the rest of the time slice.
  virtual void Sleep(uint32_t Milliseconds) = 0;
};

// The clock in use; the system's unless one was installed.
TGIFPainterClock& GIFPainterClock();
// Installs a clock (not owned; null goes back to the system's). Painters that run keep the clock
// they started with.
void SetGIFPainterClock(TGIFPainterClock* Clock);
