#include "platform/media/sample_buffer.h"

#include <cstring>

bool TMediaSampleBuffer::GetConnectedMediaType(TMediaType& Type) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!connected_) return false;
  Type = type_;
  return true;
}

TVideoSamplePtr TMediaSampleBuffer::CurrentSample() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sample_;
}

int64_t TMediaSampleBuffer::CurrentBufferSize() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sample_ ? sample_->Size() : 0;
}

int64_t TMediaSampleBuffer::CopyCurrentBuffer(void* Buffer, int64_t BufferSize) const {
  TVideoSamplePtr sample = CurrentSample();
  if (!sample || !Buffer || sample->Size() > BufferSize) return 0;
  std::memcpy(Buffer, sample->Bits(), static_cast<size_t>(sample->Size()));
  return sample->Size();
}

void TMediaSampleBuffer::SetCallback(TSampleCallback Callback) {
  std::lock_guard<std::mutex> lock(callbackMutex_);
  callback_ = std::move(Callback);
}

void TMediaSampleBuffer::SetMediaType(const TMediaType& Type) {
  std::lock_guard<std::mutex> lock(mutex_);
  type_ = Type;
  connected_ = true;
}

void TMediaSampleBuffer::Deliver(TVideoSamplePtr Sample) {
  // Held here too, so that a Reset on another thread cannot free it under the callback.
  const TVideoSamplePtr s = Sample;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sample_ = std::move(Sample);
  }
  // The callback mutex only keeps SetCallback from swapping the function while it runs.
  std::lock_guard<std::mutex> lock(callbackMutex_);
  if (callback_ && s) {
    try {
      callback_(static_cast<double>(s->Time) / 1e7, s->Bits(), s->Size());
    } catch (...) {
      // Nothing raised by a listener may reach the streaming thread.
    }
  }
}

void TMediaSampleBuffer::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  connected_ = false;
  type_ = TMediaType{};
  sample_.reset();
}
