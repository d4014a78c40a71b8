#include "platform/media/media_events.h"

#include "platform/ui/message_queue.h"

namespace {
// A queue nobody drains stays bounded: the oldest events go first.
constexpr size_t kMaxEvents = 1024;
}  // namespace

void TMediaEventQueue::Queue(int32_t Code, intptr_t Param1, intptr_t Param2) {
  HWND window;
  UINT message;
  LPARAM instance;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (events_.size() >= kMaxEvents) events_.pop_front();
    events_.push_back({Code, Param1, Param2});
    window = window_;
    message = message_;
    instance = instance_;
  }
  if (window) PostMessage(window, message, 0, instance);
}

bool TMediaEventQueue::GetEvent(int32_t& Code, intptr_t& Param1, intptr_t& Param2) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (events_.empty()) return false;
  Code = events_.front().code;
  Param1 = events_.front().param1;
  Param2 = events_.front().param2;
  events_.pop_front();
  return true;
}

bool TMediaEventQueue::GetEvent(int32_t& Code) {
  intptr_t p1, p2;
  return GetEvent(Code, p1, p2);
}

int32_t TMediaEventQueue::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int32_t>(events_.size());
}

void TMediaEventQueue::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.clear();
}

void TMediaEventQueue::SetNotifyWindow(HWND Window, UINT Message, LPARAM InstanceData) {
  std::lock_guard<std::mutex> lock(mutex_);
  window_ = Window;
  message_ = Message;
  instance_ = InstanceData;
}
