#include "platform/media/media_source.h"

#include <cstdio>
#include <cstring>

#include "platform/media/ffmpeg_support.h"

TFormatSource::TFormatSource(std::string FileName) : fileName_(std::move(FileName)) {}

TFormatSource::~TFormatSource() {
  if (context_) avformat_close_input(&context_);
  if (io_) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
}

int TFormatSource::ReadCallback(void* Opaque, uint8_t* Buffer, int Size) {
  auto* self = static_cast<TFormatSource*>(Opaque);
  if (self->Interrupted()) return AVERROR_EXIT;
  int n = -1;
  try {
    n = self->Read(Buffer, Size);
  } catch (...) {
    // No exception crosses the library.
    return AVERROR(EIO);
  }
  if (n == 0) return AVERROR_EOF;
  return n < 0 ? AVERROR(EIO) : n;
}

int64_t TFormatSource::SeekCallback(void* Opaque, int64_t Offset, int Whence) {
  auto* self = static_cast<TFormatSource*>(Opaque);
  try {
    return self->SeekBytes(Offset, Whence & ~AVSEEK_FORCE);
  } catch (...) {
    return -1;
  }
}

int TFormatSource::InterruptCallback(void* Opaque) {
  return static_cast<TFormatSource*>(Opaque)->Interrupted() ? 1 : 0;
}

bool TFormatSource::Open(std::string& Error) {
  InstallFFmpegLog();
  context_ = avformat_alloc_context();
  if (!context_) {
    Error = "out of memory";
    return false;
  }
  context_->interrupt_callback.callback = &TFormatSource::InterruptCallback;
  context_->interrupt_callback.opaque = this;
  if (fileName_.empty()) {
    constexpr int kBufferSize = 32768;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferSize));
    if (!buffer) {
      Error = "out of memory";
      return false;
    }
    io_ = avio_alloc_context(buffer, kBufferSize, 0, this, &TFormatSource::ReadCallback, nullptr,
                             &TFormatSource::SeekCallback);
    if (!io_) {
      av_free(buffer);
      Error = "out of memory";
      return false;
    }
    context_->pb = io_;
    context_->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  int r = avformat_open_input(&context_, fileName_.empty() ? nullptr : fileName_.c_str(), nullptr, nullptr);
  if (r < 0) {
    // avformat_open_input frees the context on failure.
    context_ = nullptr;
    Error = "cannot open: " + FFmpegErrorText(r);
    return false;
  }
  r = avformat_find_stream_info(context_, nullptr);
  if (r < 0) {
    Error = "no stream information: " + FFmpegErrorText(r);
    return false;
  }
  avi_ = context_->iformat && context_->iformat->name && std::strcmp(context_->iformat->name, "avi") == 0;
  return true;
}

int TFormatSource::ReadPacket(AVPacket* Packet) {
  if (Interrupted()) return AVERROR_EXIT;
  return av_read_frame(context_, Packet);
}

int TFormatSource::SeekKeyFrame(int StreamIndex, int64_t Timestamp) {
  if (Interrupted()) return AVERROR_EXIT;
  int r = av_seek_frame(context_, StreamIndex, Timestamp, AVSEEK_FLAG_BACKWARD);
  if (r < 0) {
    // Some demuxers only seek forward from a time; from the start of the data anything can be
    // reached by decoding forward.
    r = avformat_seek_file(context_, StreamIndex, INT64_MIN, Timestamp, Timestamp, 0);
  }
  return r;
}

bool TFormatSource::AtEnd() const { return context_ && context_->pb && avio_feof(context_->pb); }

// ----------------------------------------------------------------------------------------- memory

TMemorySource::TMemorySource(const void* Data, size_t Size)
    : TFormatSource(std::string()), data_(static_cast<const uint8_t*>(Data)), size_(Data ? Size : 0) {}

int TMemorySource::Read(uint8_t* Buffer, int Size) {
  if (pos_ >= size_ || Size <= 0) return 0;
  const size_t n = std::min(static_cast<size_t>(Size), size_ - pos_);
  std::memcpy(Buffer, data_ + pos_, n);
  pos_ += n;
  return static_cast<int>(n);
}

int64_t TMemorySource::SeekBytes(int64_t Offset, int Whence) {
  int64_t base;
  switch (Whence) {
    case AVSEEK_SIZE: return static_cast<int64_t>(size_);
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<int64_t>(pos_); break;
    case SEEK_END: base = static_cast<int64_t>(size_); break;
    default: return -1;
  }
  const int64_t target = base + Offset;
  if (target < 0 || target > static_cast<int64_t>(size_)) return -1;
  pos_ = static_cast<size_t>(target);
  return target;
}
