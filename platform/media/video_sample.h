#pragma once
// One decoded video frame as the media services hand it out: a bottom-up 24-bit DIB (blue, green,
// red; rows padded to 4 bytes), stamped with its media time. A published sample never changes; it
// is shared between the sample buffer, the presenter and their readers.
#include <cstdint>
#include <memory>

class TVideoSample {
 public:
  // Rows of DibRowLength24(Width) bytes; the pixels are left undefined.
  TVideoSample(int32_t Width, int32_t Height);
  ~TVideoSample();
  TVideoSample(const TVideoSample&) = delete;
  TVideoSample& operator=(const TVideoSample&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t RowLength() const { return rowLength_; }
  int64_t Size() const { return int64_t{rowLength_} * height_; }
  // The rows, the bottom one first (64-byte aligned).
  const uint8_t* Bits() const { return bits_; }
  uint8_t* MutableBits() { return bits_; }

  // Media time of the frame's start and its duration (100 ns units; the duration 0 when unknown).
  int64_t Time = 0;
  int64_t Duration = 0;
  // The steady clock (100 ns units) when a live source's packet of the frame was read, and when
  // the sample was handed to the sample buffer; 0 when not known (files: the read time).
  int64_t ReadTick = 0;
  int64_t DeliverTick = 0;

 private:
  int32_t width_, height_, rowLength_;
  uint8_t* bits_;
};

using TVideoSamplePtr = std::shared_ptr<const TVideoSample>;
