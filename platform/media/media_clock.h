#pragma once
// The clock a media player presents its frames by (private to the media services). It runs in media
// time (100 ns units): from the audio output's played samples while audio plays and clocks, from a
// monotonic clock otherwise; with no clock it reads the time of the last frame shown (frames are
// delivered as fast as they decode). Thread-safe: the streaming thread and the user-interface
// thread both read it.
#include <cstdint>
#include <mutex>

class TAudioSink;

enum TMediaClockKind : uint8_t { mckNone, mckMonotonic, mckAudio };

class TMediaClock {
 public:
  // Stopped at Time, in the given kind. For mckAudio, Sink plays SampleRate frames a second from
  // Time on and its counts start at 0.
  void Reset(TMediaClockKind Kind, int64_t Time, double Rate, TAudioSink* Sink = nullptr, int32_t SampleRate = 0);
  TMediaClockKind Kind() const;
  void Start();
  // Holds the clock at its current reading.
  void Freeze();
  bool Running() const;
  int64_t Now() const;
  // No clock: the time of the last frame shown.
  void SetShownTime(int64_t Time);
  // The audio has ended: once the sink has played all it got, the clock goes on monotonically.
  void SetAudioFinished();

 private:
  int64_t NowLocked() const;

  mutable std::mutex mutex_;
  TMediaClockKind kind_ = mckNone;
  bool running_ = false;
  double rate_ = 1.0;
  int64_t base_ = 0;        // the reading at anchorUs_ (monotonic) or at sample 0 (audio)
  int64_t anchorUs_ = 0;
  TAudioSink* sink_ = nullptr;
  int32_t sampleRate_ = 0;
  bool audioFinished_ = false;
  // Set when the clock left the audio after its end.
  mutable bool afterAudio_ = false;
  mutable int64_t afterAudioBase_ = 0;
  mutable int64_t afterAudioUs_ = 0;
  int64_t shown_ = 0;
};
