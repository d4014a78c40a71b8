#pragma once
// A stream read through a buffer of its own in large pieces, for decoders that take their data a
// few bytes at a time (run-length packet headers, text tokens): one virtual read per 64 KiB instead
// of one per byte. Reads stop at End (the stream's size by default); nothing is read past it.
#include <cstdint>
#include <memory>

class TStream;

class TIEStreamInput {
 public:
  explicit TIEStreamInput(TStream& Stream, int64_t End = -1, int32_t Chunk = 65536);
  TIEStreamInput(const TIEStreamInput&) = delete;
  TIEStreamInput& operator=(const TIEStreamInput&) = delete;

  // The next byte, or -1 at the end.
  int Get() {
    if (index_ == fill_ && !Refill()) return -1;
    return buffer_[index_++];
  }
  int Peek() {
    if (index_ == fill_ && !Refill()) return -1;
    return buffer_[index_];
  }
  // Copies up to Count bytes; returns how many arrived.
  int64_t Read(void* Dest, int64_t Count);
  // Skips up to Count bytes; returns how many were skipped.
  int64_t Skip(int64_t Count);
  // The stream position of the next byte.
  int64_t Position() const { return bufferStart_ + index_; }
  int64_t Remaining() const { return end_ - Position(); }
  bool AtEnd() { return Peek() < 0; }
  // Moves the stream to Position(), the first byte not taken.
  void Sync();

 private:
  bool Refill();
  TStream& stream_;
  std::unique_ptr<uint8_t[]> buffer_;
  int32_t chunk_;
  int32_t index_ = 0;
  int32_t fill_ = 0;
  int64_t bufferStart_ = 0;  // stream position of buffer_[0]
  int64_t end_ = 0;
};
