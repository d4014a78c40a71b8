#include "imaging/io/codecs/stream_input.h"

#include <algorithm>
#include <cstring>

#include "platform/system/streams.h"

TIEStreamInput::TIEStreamInput(TStream& Stream, int64_t End, int32_t Chunk)
    : stream_(Stream), buffer_(std::make_unique<uint8_t[]>(static_cast<size_t>(std::max(Chunk, 16)))),
      chunk_(std::max(Chunk, 16)) {
  bufferStart_ = Stream.Position();
  const int64_t size = Stream.Size();
  end_ = End < 0 ? size : std::clamp(End, bufferStart_, size);
}

bool TIEStreamInput::Refill() {
  bufferStart_ += fill_;
  index_ = fill_ = 0;
  const int64_t want = std::min<int64_t>(chunk_, end_ - bufferStart_);
  if (want <= 0) return false;
  stream_.Seek(bufferStart_, soBeginning);
  fill_ = std::max(stream_.Read(buffer_.get(), static_cast<int32_t>(want)), 0);
  if (fill_ < want) end_ = bufferStart_ + fill_;  // the stream held less than it said
  return fill_ > 0;
}

int64_t TIEStreamInput::Read(void* Dest, int64_t Count) {
  auto* out = static_cast<uint8_t*>(Dest);
  int64_t done = 0;
  while (done < Count) {
    if (index_ == fill_) {
      // Large reads bypass the buffer.
      if (Count - done >= chunk_) {
        bufferStart_ += fill_;
        index_ = fill_ = 0;
        const int64_t want = std::min<int64_t>(Count - done, end_ - bufferStart_);
        if (want <= 0) break;
        stream_.Seek(bufferStart_, soBeginning);
        int64_t got = 0;
        while (got < want) {
          const int32_t n = stream_.Read(out + done + got, static_cast<int32_t>(std::min<int64_t>(want - got, 1 << 30)));
          if (n <= 0) break;
          got += n;
        }
        bufferStart_ += got;
        done += got;
        if (got < want) {
          end_ = bufferStart_;
          break;
        }
        continue;
      }
      if (!Refill()) break;
    }
    const int64_t n = std::min<int64_t>(Count - done, fill_ - index_);
    std::memcpy(out + done, buffer_.get() + index_, static_cast<size_t>(n));
    index_ += static_cast<int32_t>(n);
    done += n;
  }
  return done;
}

int64_t TIEStreamInput::Skip(int64_t Count) {
  if (Count <= 0) return 0;
  const int64_t inBuffer = fill_ - index_;
  if (Count <= inBuffer) {
    index_ += static_cast<int32_t>(Count);
    return Count;
  }
  const int64_t n = std::min(Count, end_ - Position());
  bufferStart_ = Position() + n;
  index_ = fill_ = 0;
  return n;
}

void TIEStreamInput::Sync() { stream_.Seek(Position(), soBeginning); }
