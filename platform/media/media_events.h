#pragma once
// The event queue of a media player: a first-in first-out list of (code, parameter 1, parameter 2)
// that the user-interface thread drains. With a notify window, every queued event also posts
// (message, 0, instance data) to that window, from whatever thread queued it.
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/ui/messages.h"

// Event codes (the framework's values).
constexpr int32_t EC_COMPLETE = 1;            // the streams played to their end
constexpr int32_t EC_ERRORABORT = 3;          // reading or decoding failed; parameter 1: an error code
constexpr int32_t EC_VIDEO_SIZE_CHANGED = 10; // parameter 1: MAKELPARAM(width, height)
constexpr int32_t EC_PAUSED = 14;             // a pause completed
constexpr int32_t EC_DEVICE_LOST = 0x1F;      // a capture device went away (parameters 0, 0)
constexpr int32_t EC_DVD_ERROR = 0x010C;      // parameter 1: DVD_ERROR_Unexpected 1, CopyProtectFail 2 ...

class TMediaEventQueue {
 public:
  void Queue(int32_t Code, intptr_t Param1 = 0, intptr_t Param2 = 0);
  // Takes the oldest event; false at once when none is queued.
  bool GetEvent(int32_t& Code, intptr_t& Param1, intptr_t& Param2);
  bool GetEvent(int32_t& Code);
  int32_t Count() const;
  void Clear();
  // Window 0 posts nothing.
  void SetNotifyWindow(HWND Window, UINT Message, LPARAM InstanceData);

 private:
  struct TEvent {
    int32_t code;
    intptr_t param1, param2;
  };
  mutable std::mutex mutex_;
  std::deque<TEvent> events_;
  HWND window_ = nullptr;
  UINT message_ = 0;
  LPARAM instance_ = 0;
};
