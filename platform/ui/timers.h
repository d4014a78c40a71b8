#pragma once
// Timers: the TTimer component and window timers (WM_TIMER). Both run on the user-interface thread
// while messages are processed; an exception in OnTimer goes to Application's handler.
#include <memory>

#include "platform/system/classes.h"
#include "platform/ui/messages.h"

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t value);
  TNotifyEvent OnTimer;
  void SetOnTimer(TNotifyEvent handler);

 protected:
  virtual void Timer();

 private:
  void Update();
  bool enabled_ = true;
  uint32_t interval_ = 1000;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Window timers: WM_TIMER with wParam = id to the window every elapse milliseconds until KillTimer.
uintptr_t SetTimer(HWND window, uintptr_t id, uint32_t elapse);
bool KillTimer(HWND window, uintptr_t id);
