// Walks over the markers of a JPEG stream without decoding it: the start of image, the stream's
// length and the embedded ICC profile.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/core/ie_icc.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

// Reads a stream forward through a buffer of 8192 bytes. The end of the stream, and a stream that
// raises, end the data.
class ByteScanner {
 public:
  explicit ByteScanner(TStream& stream) : stream_(stream) {}

  // The next byte, -1 at the end.
  int Next() {
    if (pos_ == len_ && !Fill()) return -1;
    return buffer_[pos_++];
  }
  // A big-endian 16-bit value, -1 at the end.
  int32_t U16() {
    const int hi = Next();
    const int lo = Next();
    return hi < 0 || lo < 0 ? -1 : hi << 8 | lo;
  }
  bool Skip(int64_t count) {
    while (count > 0) {
      if (pos_ == len_ && !Fill()) return false;
      const int64_t step = std::min<int64_t>(count, len_ - pos_);
      pos_ += static_cast<int32_t>(step);
      count -= step;
    }
    return true;
  }
  bool Read(uint8_t* out, int64_t count) {
    while (count > 0) {
      if (pos_ == len_ && !Fill()) return false;
      const int64_t step = std::min<int64_t>(count, len_ - pos_);
      std::memcpy(out, buffer_ + pos_, static_cast<size_t>(step));
      pos_ += static_cast<int32_t>(step);
      out += step;
      count -= step;
    }
    return true;
  }
  // Bytes taken so far.
  int64_t Consumed() const { return delivered_ - (len_ - pos_); }

 private:
  bool Fill() {
    if (ended_) return false;
    int32_t n = 0;
    try {
      n = stream_.Read(buffer_, sizeof buffer_);
    } catch (...) {
      n = 0;
    }
    if (n <= 0) {
      ended_ = true;
      return false;
    }
    pos_ = 0;
    len_ = n;
    delivered_ += n;
    return true;
  }

  TStream& stream_;
  uint8_t buffer_[8192];
  int32_t pos_ = 0, len_ = 0;
  int64_t delivered_ = 0;
  bool ended_ = false;
};

// The code after an 0xFF, fill bytes (further 0xFF) passed over; -1 at the end.
int MarkerCode(ByteScanner& r) {
  int c = r.Next();
  while (c == 0xFF) c = r.Next();
  return c;
}

// Restores a stream's position when it goes.
class PositionKeeper {
 public:
  explicit PositionKeeper(TStream& stream) : stream_(stream) {
    try {
      position_ = stream.Position();
    } catch (...) {
      position_ = -1;
    }
  }
  ~PositionKeeper() {
    if (position_ < 0) return;
    try {
      stream_.Seek(position_, soBeginning);
    } catch (...) {
    }
  }
  PositionKeeper(const PositionKeeper&) = delete;
  PositionKeeper& operator=(const PositionKeeper&) = delete;
  int64_t Position() const { return position_; }

 private:
  TStream& stream_;
  int64_t position_;
};

}  // namespace

int64_t FindJpegSOI(TStream& Stream, bool Limited) {
  PositionKeeper keep(Stream);
  if (keep.Position() < 0) return -1;
  uint8_t head[152];
  int32_t n = 0;
  try {
    while (n < static_cast<int32_t>(sizeof head)) {
      const int32_t got = Stream.Read(head + n, static_cast<int32_t>(sizeof head) - n);
      if (got <= 0) break;
      n += got;
    }
  } catch (...) {
  }
  auto soiAt = [&](int32_t i) { return i + 2 < n && head[i] == 0xFF && head[i + 1] == 0xD8 && head[i + 2] == 0xFF; };
  if (!Limited) return soiAt(0) ? 0 : -1;
  for (int32_t i = 0; i < 150; ++i)
    if (soiAt(i)) return keep.Position() + i;
  return -1;
}

int64_t JpegStreamLength(TStream& Stream) {
  PositionKeeper keep(Stream);
  ByteScanner r(Stream);
  for (;;) {
    const int b = r.Next();
    if (b < 0) break;
    if (b != 0xFF) continue;
    const int c = MarkerCode(r);
    if (c < 0 || c == 0xD9) break;
    if ((c >= 0xC0 && c <= 0xCF) || (c >= 0xDA && c <= 0xFE)) {
      // A segment: its length counts its own two bytes, so less than 2 is no length at all.
      const int32_t length = r.U16();
      if (length < 2 || !r.Skip(length - 2)) break;
    }
  }
  return r.Consumed();
}

void ReadJpegICCProfile(TStream& Stream, TIOParamsVals& Params) {
  static const char kSignature[12] = "ICC_PROFILE";
  PositionKeeper keep(Stream);
  ByteScanner r(Stream);
  std::vector<std::vector<uint8_t>> chunks;
  std::vector<bool> present;
  int32_t count = 0, found = 0;
  std::vector<uint8_t> segment;
  while (count == 0 || found < count) {
    const int b = r.Next();
    if (b < 0) break;
    if (b != 0xFF) continue;
    const int c = MarkerCode(r);
    if (c < 0) break;
    if (c <= 0xBF || (c >= 0xD0 && c <= 0xD8)) continue;  // stuffed bytes, restarts, start of image
    const bool skipped = c == 0xC4 || c == 0xC8 || c == 0xCC || (c >= 0xDA && c <= 0xE1) || (c >= 0xE3 && c <= 0xFE);
    if (c != 0xE2 && !skipped) break;  // a frame header or the end of the image
    const int32_t length = r.U16();
    if (length < 2) break;
    if (skipped) {
      if (!r.Skip(length - 2)) break;
      continue;
    }
    segment.resize(static_cast<size_t>(length - 2));
    if (!r.Read(segment.data(), length - 2)) break;
    // A chunk: the signature, its number (from 1) and the chunk count, then its part of the profile
    // (a chunk without one is passed over).
    if (segment.size() <= 14 || std::memcmp(segment.data(), kSignature, sizeof kSignature) != 0) continue;
    const int32_t number = segment[12], total = segment[13];
    if (total == 0 || number == 0 || number > total) continue;
    if (count == 0) {
      count = total;
      chunks.resize(static_cast<size_t>(count));
      present.assign(static_cast<size_t>(count), false);
    } else if (total != count) {
      continue;
    }
    if (present[static_cast<size_t>(number - 1)]) continue;
    chunks[static_cast<size_t>(number - 1)].assign(segment.begin() + 14, segment.end());
    present[static_cast<size_t>(number - 1)] = true;
    ++found;
  }
  if (count == 0 || found < count) return;
  std::vector<uint8_t> profile;
  for (const auto& chunk : chunks) profile.insert(profile.end(), chunk.begin(), chunk.end());
  if (profile.empty()) return;
  Params.GetInputICCProfile()->LoadFromBuffer(profile.data(), static_cast<int32_t>(profile.size()));
}
