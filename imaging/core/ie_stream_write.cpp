#include "imaging/core/ie_stream_write.h"

#include <algorithm>

#include "platform/system/streams.h"

void SafeStreamWrite(TStream& Stream, bool& Failed, const void* Buffer, int32_t Count) {
  if (Stream.Write(Buffer, Count) < Count) Failed = true;
}

TIEStreamWriter::TIEStreamWriter(TStream& Stream, bool& Failed) : stream_(Stream), failed_(Failed) {}

void TIEStreamWriter::Put(const void* Data, size_t Count) {
  const auto* p = static_cast<const uint8_t*>(Data);
  if (buffer_.size() + Count < kChunk) {
    buffer_.insert(buffer_.end(), p, p + Count);
    return;
  }
  // A large block goes to the stream as it is, after what was gathered before it.
  Flush();
  while (Count > 0) {
    const auto n = static_cast<int32_t>(std::min<size_t>(Count, size_t{1} << 30));
    if (!failed_) SafeStreamWrite(stream_, failed_, p, n);
    written_ += n;
    p += n;
    Count -= static_cast<size_t>(n);
  }
}

void TIEStreamWriter::Flush() {
  if (!buffer_.empty() && !failed_) SafeStreamWrite(stream_, failed_, buffer_.data(), static_cast<int32_t>(buffer_.size()));
  written_ += static_cast<int64_t>(buffer_.size());
  buffer_.clear();
}
