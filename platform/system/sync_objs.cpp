#include "platform/system/sync_objs.h"

#include <chrono>

#include "platform/system/threads.h"

void TEvent::SetEvent() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
    if (manualReset_)
      changed_.notify_all();
    else
      changed_.notify_one();
  }
  // The main thread may be waiting for this event while it serves synchronised calls.
  NotifyMainThreadWaiters();
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

TWaitResult TEvent::WaitFor(uint32_t Timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto signalled = [this] { return signalled_; };
  if (Timeout == INFINITE) {
    changed_.wait(lock, signalled);
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(Timeout), signalled)) {
    return wrTimeout;
  }
  if (!manualReset_) signalled_ = false;
  return wrSignaled;
}
