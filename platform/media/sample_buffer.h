#pragma once
// The sample buffer of a media player: it keeps the last video frame, typed video / RGB24 with a
// VIDEOINFOHEADER, swapped in under a lock on the streaming thread, and hands copies to the
// user-interface thread. An optional callback hears of every frame on the streaming thread; it must
// return quickly (post a message, no waiting on other threads).
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/media/media_type.h"
#include "platform/media/video_sample.h"

class TMediaSampleBuffer {
 public:
  // SampleTime in seconds, the frame's bottom-up rows and their byte count.
  using TSampleCallback = std::function<void(double SampleTime, const uint8_t* Buffer, int64_t Size)>;

  // The type of the connected video stream; false while none is connected.
  bool GetConnectedMediaType(TMediaType& Type) const;
  // The last frame (null before the first one).
  TVideoSamplePtr CurrentSample() const;
  // Byte size of the last frame, 0 without one.
  int64_t CurrentBufferSize() const;
  // Copies the last frame into Buffer when it holds at most BufferSize bytes; answers the bytes
  // copied (0 without a frame or when it does not fit).
  int64_t CopyCurrentBuffer(void* Buffer, int64_t BufferSize) const;
  void SetCallback(TSampleCallback Callback);

  // ---- The player's side ----
  void SetMediaType(const TMediaType& Type);
  // Makes Sample the last frame, then calls the callback on this (the streaming) thread.
  void Deliver(TVideoSamplePtr Sample);
  // Forgets the type and the last frame.
  void Reset();

 private:
  mutable std::mutex mutex_;
  bool connected_ = false;
  TMediaType type_;
  TVideoSamplePtr sample_;
  std::mutex callbackMutex_;
  TSampleCallback callback_;
};
