#include "pictures/gif_painter_clock.h"

#include <atomic>

#include "platform/system/ticks.h"

namespace {

class TSystemClock : public TGIFPainterClock {
 public:
  uint32_t Now() override { return GetTickCount(); }
  bool Wait(TEvent& Event, uint32_t Milliseconds) override { return Event.WaitFor(Milliseconds) == wrSignaled; }
  void Sleep(uint32_t Milliseconds) override { ::Sleep(Milliseconds); }
};

TSystemClock g_systemClock;
std::atomic<TGIFPainterClock*> g_clock{nullptr};

}  // namespace

TGIFPainterClock& GIFPainterClock() {
  TGIFPainterClock* clock = g_clock.load();
  return clock ? *clock : g_systemClock;
}

void SetGIFPainterClock(TGIFPainterClock* Clock) { g_clock = Clock; }
