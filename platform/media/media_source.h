#pragma once
// Sources of a media player. A source opens something to play (a file, a block of memory; capture
// devices and discs later) and describes its streams through a demuxer context: stream kinds, codec
// parameters, time bases, start times, durations and the key-frame index. The player reads packets
// from it and asks it to seek; it never cares where they come from.
//
// This header belongs to the media services (it includes FFmpeg); the rest of the program names a
// source only through TMediaPlayer's OpenFile and OpenMemory.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TVideoSample;

extern "C" {
#include <libavformat/avformat.h>
}

// Answers of ReadPacket beyond AVERROR: a navigated source asks the player to let the pictures
// inside the video decoder out (a still picture begins), or to stop playing (the disc refuses).
inline constexpr int kSourceDrain = -0x4E524444;  // "DDRN"
inline constexpr int kSourceStop = -0x504F5453;   // "STOP"

class TMediaSource {
 public:
  virtual ~TMediaSource() = default;
  // Opens the source and learns its streams; false with a reason for the debug log.
  virtual bool Open(std::string& Error) = 0;
  // The streams (valid after a successful Open until the source goes).
  virtual AVFormatContext* Context() = 0;
  // The next packet; AVERROR_EOF at the end, another negative AVERROR on failure.
  virtual int ReadPacket(AVPacket* Packet) = 0;
  // Moves to the key frame at or before Timestamp (in the stream's time base); negative on failure.
  virtual int SeekKeyFrame(int StreamIndex, int64_t Timestamp) = 0;
  // True for files whose frames are addressed by number (AVI).
  virtual bool FrameAddressable() const { return false; }
  // True when a read that failed stopped at the end of the data (a file cut short) rather than on
  // an error in the middle.
  virtual bool AtEnd() const { return false; }
  // True for a live source (a capture device): frames come as they are read, with no duration and
  // no seeking; the player opens and closes its stream as it runs and stops.
  virtual bool Live() const { return false; }

  // ---- Navigated sources (discs): they place their own stamps and draw over their frames ----
  // False for a source the player must not seek: its position moves only by its own commands.
  virtual bool CanSeek() const { return true; }
  // The player's clock (media time), read on the decode thread, for a source that rebases its
  // stamps after a jump or a still; and the player's event queue.
  virtual void SetPlayerHooks(std::function<int64_t()> ClockNow,
                              std::function<void(int32_t, intptr_t, intptr_t)> QueueEvent) {
    (void)ClockNow;
    (void)QueueEvent;
  }
  // True while the source must read on to know what it draws over the frame at media time Time.
  virtual bool ReadAheadFor(int64_t Time) const {
    (void)Time;
    return false;
  }
  // Draws what belongs over a frame (sub-pictures, button highlights) into its rows.
  virtual void Overlay(TVideoSample& Sample) { (void)Sample; }
  // The frame at media time Time is on screen now.
  virtual void FrameShown(int64_t Time) { (void)Time; }

  // Makes a blocked read return, so that closing never waits on a stuck device or file; the source
  // is not read again afterwards.
  void Interrupt() { interrupted_ = true; }
  bool Interrupted() const { return interrupted_.load(); }

 private:
  std::atomic<bool> interrupted_{false};
};

// A source on libavformat: a file by name, or bytes read through Read (a custom reader) when
// FileName is empty. The interrupt callback ends blocked reads.
class TFormatSource : public TMediaSource {
 public:
  explicit TFormatSource(std::string FileName);
  ~TFormatSource() override;
  bool Open(std::string& Error) override;
  AVFormatContext* Context() override { return context_; }
  int ReadPacket(AVPacket* Packet) override;
  int SeekKeyFrame(int StreamIndex, int64_t Timestamp) override;
  bool FrameAddressable() const override { return avi_; }
  bool AtEnd() const override;

 protected:
  // The custom reader (FileName empty): fills up to Size bytes, answers how many (0 at the end,
  // negative on failure), and answers seeks like lseek (Whence SEEK_SET, SEEK_CUR, SEEK_END) or the
  // total size for AVSEEK_SIZE (negative when unknown).
  virtual int Read(uint8_t* Buffer, int Size) {
    (void)Buffer;
    (void)Size;
    return -1;
  }
  virtual int64_t SeekBytes(int64_t Offset, int Whence) {
    (void)Offset;
    (void)Whence;
    return -1;
  }

 private:
  static int ReadCallback(void* Opaque, uint8_t* Buffer, int Size);
  static int64_t SeekCallback(void* Opaque, int64_t Offset, int Whence);
  static int InterruptCallback(void* Opaque);

  std::string fileName_;
  AVFormatContext* context_ = nullptr;
  AVIOContext* io_ = nullptr;
  bool avi_ = false;
};

// Bytes in memory (the caller keeps them until the source goes).
class TMemorySource : public TFormatSource {
 public:
  TMemorySource(const void* Data, size_t Size);

 protected:
  int Read(uint8_t* Buffer, int Size) override;
  int64_t SeekBytes(int64_t Offset, int Whence) override;

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};
