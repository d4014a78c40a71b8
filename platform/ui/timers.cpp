#include "platform/ui/timers.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>

#include <map>

#include "platform/ui/qt_window_p.h"
#include "platform/ui/window_dc.h"

struct TTimer::Impl {
  QTimer timer;
};

TTimer::TTimer(TComponent* owner) : TComponent(owner), impl_(std::make_unique<Impl>()) {
  QObject::connect(&impl_->timer, &QTimer::timeout, [this] {
    try {
      Timer();
    } catch (...) {
      HandleBoundaryException();
    }
    FreeDeviceContexts();
  });
}

TTimer::~TTimer() { impl_->timer.stop(); }

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Update();
}

void TTimer::SetInterval(uint32_t value) {
  if (value == interval_) return;
  interval_ = value;
  Update();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  OnTimer = std::move(handler);
  Update();
}

void TTimer::Update() {
  impl_->timer.stop();
  // A timer runs when enabled and with an interval; the handler is looked up at each tick, so that
  // OnTimer assigned directly (not through SetOnTimer) runs too.
  if (enabled_ && interval_ != 0) impl_->timer.start(static_cast<int>(std::min<uint32_t>(interval_, INT32_MAX)));
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}

namespace {

std::map<std::pair<HWND, uintptr_t>, std::unique_ptr<QTimer>>& WindowTimers() {
  static std::map<std::pair<HWND, uintptr_t>, std::unique_ptr<QTimer>> timers;
  return timers;
}

}  // namespace

uintptr_t SetTimer(HWND window, uintptr_t id, uint32_t elapse) {
  if (!FindWindowRecord(window) || !QCoreApplication::instance()) return 0;
  auto& slot = WindowTimers()[{window, id}];
  if (!slot) {
    slot = std::make_unique<QTimer>();
    QObject::connect(slot.get(), &QTimer::timeout, [window, id] {
      WindowRecord* rec = FindWindowRecord(window);
      if (!rec) {
        KillTimer(window, id);
        return;
      }
      TMessage m;
      m.Msg = WM_TIMER;
      m.WParam = id;
      SafeWndProc(rec->control, m);
      FreeDeviceContexts();
    });
  }
  slot->start(static_cast<int>(std::max<uint32_t>(elapse, 1)));
  return id == 0 ? 1 : id;
}

bool KillTimer(HWND window, uintptr_t id) {
  auto& timers = WindowTimers();
  auto it = timers.find({window, id});
  if (it == timers.end()) return false;
  it->second->stop();
  // The timer may be the one whose signal is running: free it from the event loop.
  it->second.release()->deleteLater();
  timers.erase(it);
  return true;
}
