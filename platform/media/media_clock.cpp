#include "platform/media/media_clock.h"

#include "platform/media/audio_sink.h"
#include "platform/media/media_time.h"

void TMediaClock::Reset(TMediaClockKind Kind, int64_t Time, double Rate, TAudioSink* Sink, int32_t SampleRate) {
  std::lock_guard<std::mutex> lock(mutex_);
  kind_ = Kind == mckAudio && (!Sink || SampleRate <= 0) ? mckMonotonic : Kind;
  running_ = false;
  rate_ = Rate > 0 ? Rate : 1.0;
  base_ = Time;
  anchorUs_ = MonotonicMicroseconds();
  sink_ = Sink;
  sampleRate_ = SampleRate;
  audioFinished_ = false;
  afterAudio_ = false;
  shown_ = Time;
}

TMediaClockKind TMediaClock::Kind() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return kind_;
}

void TMediaClock::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (running_) return;
  const int64_t now = MonotonicMicroseconds();
  if (afterAudio_) afterAudioUs_ = now;
  anchorUs_ = now;
  running_ = true;
}

void TMediaClock::Freeze() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!running_) return;
  const int64_t reading = NowLocked();
  if (kind_ == mckMonotonic) base_ = reading;
  if (afterAudio_) afterAudioBase_ = reading;
  running_ = false;
}

bool TMediaClock::Running() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_;
}

int64_t TMediaClock::Now() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return NowLocked();
}

int64_t TMediaClock::NowLocked() const {
  const int64_t nowUs = MonotonicMicroseconds();
  switch (kind_) {
    case mckNone: return shown_;
    case mckMonotonic:
      if (!running_) return base_;
      return base_ + static_cast<int64_t>(static_cast<double>(nowUs - anchorUs_) * 10.0 * rate_);
    case mckAudio: {
      if (afterAudio_) {
        if (!running_) return afterAudioBase_;
        return afterAudioBase_ + (nowUs - afterAudioUs_) * 10;
      }
      const int64_t played = sink_->PlayedFrames();
      const int64_t reading = base_ + played * kMediaTimeUnitsPerSecond / sampleRate_;
      if (audioFinished_ && played >= sink_->WrittenFrames()) {
        afterAudio_ = true;
        afterAudioBase_ = reading;
        afterAudioUs_ = nowUs;
      }
      return reading;
    }
  }
  return base_;
}

void TMediaClock::SetShownTime(int64_t Time) {
  std::lock_guard<std::mutex> lock(mutex_);
  shown_ = Time;
}

void TMediaClock::SetAudioFinished() {
  std::lock_guard<std::mutex> lock(mutex_);
  audioFinished_ = true;
}
