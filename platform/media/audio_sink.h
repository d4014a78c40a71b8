#pragma once
// Audio outputs of the media player. The player converts audio to interleaved signed 16-bit
// samples, applies volume and balance, and writes them to a sink; while audio plays, the frames
// the sink has played are the player's clock.
//
// Sinks: the sound device through the toolkit's audio sink (QAudioSink on a thread of its own with
// its own event loop, fed through a bounded ring buffer); the silent sink, which consumes samples at
// the pace of a monotonic clock and stands in when there is no application object or device, when
// the device sink fails, or when MediaForceSilentAudio is set; and the recording sink of the tests,
// a silent sink that keeps every sample it consumed.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

struct TAudioFormat {
  int32_t SampleRate = 48000;
  int32_t Channels = 2;
};

class TAudioSink {
 public:
  virtual ~TAudioSink() = default;
  // Opens the output for Format, paused; false when it cannot play.
  virtual bool Start(const TAudioFormat& Format) = 0;
  // Frames the sink takes now without waiting.
  virtual int64_t FreeFrames() = 0;
  // Appends up to Frames frames of interleaved samples; answers how many it took.
  virtual int64_t Write(const int16_t* Samples, int64_t Frames) = 0;
  // Frames played since Start or the last Flush.
  virtual int64_t PlayedFrames() = 0;
  // Frames written since Start or the last Flush.
  virtual int64_t WrittenFrames() = 0;
  virtual void SetPaused(bool Paused) = 0;
  // Drops what is queued; the counts start again at 0.
  virtual void Flush() = 0;
  // True once the output broke down while playing (the player then goes on silently).
  virtual bool Failed() { return false; }
};

// A silent sink: a bounded queue of Capacity frames drained at SampleRate frames per second of a
// monotonic clock while not paused.
class TSilentAudioSink : public TAudioSink {
 public:
  explicit TSilentAudioSink(double CapacitySeconds = 0.5) : capacitySeconds_(CapacitySeconds) {}
  bool Start(const TAudioFormat& Format) override;
  int64_t FreeFrames() override;
  int64_t Write(const int16_t* Samples, int64_t Frames) override;
  int64_t PlayedFrames() override;
  int64_t WrittenFrames() override;
  void SetPaused(bool Paused) override;
  void Flush() override;
  TAudioFormat Format() const { return format_; }

 protected:
  // Frames that played between the last update and now (called under the lock).
  void Advance();
  // Called under the lock with the frames that just played.
  virtual void Consumed(int64_t FirstFrame, int64_t Frames) {
    (void)FirstFrame;
    (void)Frames;
  }
  // Frame i of the queue (i counted from the start), valid until it has been consumed.
  const int16_t* QueuedFrame(int64_t Index) const;

  std::mutex mutex_;
  TAudioFormat format_;

 private:
  double capacitySeconds_;
  int64_t capacity_ = 0;
  std::vector<int16_t> ring_;
  int64_t written_ = 0;
  int64_t played_ = 0;
  bool paused_ = true;
  int64_t lastTickUs_ = 0;
  double carry_ = 0;
};

// The tests' sink: a silent sink that keeps every sample it played, in order.
class TRecordingAudioSink : public TSilentAudioSink {
 public:
  std::vector<int16_t> Recorded();
  void ClearRecorded();

 protected:
  void Consumed(int64_t FirstFrame, int64_t Frames) override;

 private:
  std::vector<int16_t> recorded_;
};

// The sound device's sink (audio_sink_qt.cpp). Null when there is no application object.
std::unique_ptr<TAudioSink> CreateDeviceAudioSink();

// The sink a new player gets: the factory's when one is installed (tests), the silent sink when
// MediaForceSilentAudio is set, else the device sink when there is one, else the silent sink.
std::unique_ptr<TAudioSink> CreateAudioSink();
using TAudioSinkFactory = std::function<std::unique_ptr<TAudioSink>()>;
void SetAudioSinkFactory(TAudioSinkFactory Factory);

// Microseconds of a steady clock (the silent sink's and the player's monotonic time).
int64_t MonotonicMicroseconds();
