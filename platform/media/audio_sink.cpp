#include "platform/media/audio_sink.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/media/media_settings.h"

int64_t MonotonicMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// ------------------------------------------------------------------------------------ silent sink

bool TSilentAudioSink::Start(const TAudioFormat& Format) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (Format.SampleRate <= 0 || Format.Channels <= 0) return false;
  format_ = Format;
  capacity_ = std::max<int64_t>(1024, static_cast<int64_t>(capacitySeconds_ * Format.SampleRate));
  ring_.assign(static_cast<size_t>(capacity_ * Format.Channels), 0);
  written_ = played_ = 0;
  paused_ = true;
  carry_ = 0;
  lastTickUs_ = MonotonicMicroseconds();
  return true;
}

void TSilentAudioSink::Advance() {
  const int64_t now = MonotonicMicroseconds();
  if (paused_ || format_.SampleRate <= 0) {
    lastTickUs_ = now;
    return;
  }
  carry_ += static_cast<double>(now - lastTickUs_) * format_.SampleRate / 1e6;
  lastTickUs_ = now;
  const int64_t due = static_cast<int64_t>(carry_);
  // An empty queue plays nothing: the clock waits for data, as a starved device does.
  const int64_t n = std::min(due, written_ - played_);
  carry_ = n < due ? 0 : carry_ - static_cast<double>(due);
  if (n > 0) {
    Consumed(played_, n);
    played_ += n;
  }
}

const int16_t* TSilentAudioSink::QueuedFrame(int64_t Index) const {
  return ring_.data() + (Index % capacity_) * format_.Channels;
}

int64_t TSilentAudioSink::FreeFrames() {
  std::lock_guard<std::mutex> lock(mutex_);
  Advance();
  return capacity_ - (written_ - played_);
}

int64_t TSilentAudioSink::Write(const int16_t* Samples, int64_t Frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  Advance();
  const int64_t n = std::min(Frames, capacity_ - (written_ - played_));
  for (int64_t i = 0; i < n; ++i) {
    std::memcpy(ring_.data() + ((written_ + i) % capacity_) * format_.Channels, Samples + i * format_.Channels,
                sizeof(int16_t) * format_.Channels);
  }
  written_ += std::max<int64_t>(n, 0);
  return std::max<int64_t>(n, 0);
}

int64_t TSilentAudioSink::PlayedFrames() {
  std::lock_guard<std::mutex> lock(mutex_);
  Advance();
  return played_;
}

int64_t TSilentAudioSink::WrittenFrames() {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

void TSilentAudioSink::SetPaused(bool Paused) {
  std::lock_guard<std::mutex> lock(mutex_);
  Advance();
  paused_ = Paused;
  lastTickUs_ = MonotonicMicroseconds();
}

void TSilentAudioSink::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  written_ = played_ = 0;
  carry_ = 0;
  lastTickUs_ = MonotonicMicroseconds();
}

// --------------------------------------------------------------------------------- recording sink

void TRecordingAudioSink::Consumed(int64_t FirstFrame, int64_t Frames) {
  for (int64_t i = 0; i < Frames; ++i) {
    const int16_t* f = QueuedFrame(FirstFrame + i);
    recorded_.insert(recorded_.end(), f, f + format_.Channels);
  }
}

std::vector<int16_t> TRecordingAudioSink::Recorded() {
  std::lock_guard<std::mutex> lock(mutex_);
  Advance();
  return recorded_;
}

void TRecordingAudioSink::ClearRecorded() {
  std::lock_guard<std::mutex> lock(mutex_);
  recorded_.clear();
}

// ------------------------------------------------------------------------------------------ choice

namespace {
std::mutex g_factoryMutex;
TAudioSinkFactory g_factory;
}  // namespace

void SetAudioSinkFactory(TAudioSinkFactory Factory) {
  std::lock_guard<std::mutex> lock(g_factoryMutex);
  g_factory = std::move(Factory);
}

std::unique_ptr<TAudioSink> CreateAudioSink() {
  {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    if (g_factory) {
      if (auto sink = g_factory()) return sink;
    }
  }
  if (!MediaForceSilentAudio()) {
    if (auto sink = CreateDeviceAudioSink()) return sink;
  }
  return std::make_unique<TSilentAudioSink>();
}
