#include "imaging/core/ie_zlib.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr char kInvalidOperation[] = "Invalid ZStream operation!";

}  // namespace

const char* ZErrorMessage(int code) {
  switch (code) {
    case Z_NEED_DICT: return "need dictionary";
    case Z_STREAM_END: return "stream end";
    case Z_ERRNO: return "file error";
    case Z_STREAM_ERROR: return "stream error";
    case Z_DATA_ERROR: return "data error";
    case Z_MEM_ERROR: return "insufficient memory";
    case Z_BUF_ERROR: return "buffer error";
    case Z_VERSION_ERROR: return "incompatible version";
    default: return "";
  }
}

int ZCompressCheck(int code) {
  if (code < 0) throw EZCompressionError(ZErrorMessage(code), code);
  return code;
}

int ZDecompressCheck(int code) {
  if (code < 0) throw EZDecompressionError(ZErrorMessage(code), code);
  return code;
}

// ------------------------------------------------------------------------------------- TCustomZStream

TCustomZStream::TCustomZStream(TStream& stream)
    : stream_(stream),
      streamPosition_(stream.Position()),
      zs_(std::make_unique<z_stream_s>()),
      buffer_(std::make_unique<uint8_t[]>(kBufferSize)) {
  std::memset(zs_.get(), 0, sizeof(z_stream_s));
}

TCustomZStream::~TCustomZStream() = default;

void TCustomZStream::Progress() {
  if (OnProgress) OnProgress(this);
}

// -------------------------------------------------------------------------------- TZCompressionStream

TZCompressionStream::TZCompressionStream(TStream& destination, int32_t level) : TCustomZStream(destination) {
  static constexpr int kLevels[4] = {Z_NO_COMPRESSION, Z_BEST_SPEED, Z_DEFAULT_COMPRESSION, Z_BEST_COMPRESSION};
  level = std::clamp(level, 0, 3);
  zs_->next_out = buffer_.get();
  zs_->avail_out = kBufferSize;
  ZCompressCheck(deflateInit(zs_.get(), kLevels[level]));
  initialised_ = true;
}

TZCompressionStream::TZCompressionStream(TStream& destination, const TZDeflateSettings& settings)
    : TCustomZStream(destination) {
  const int level = settings.Level < 0 ? Z_DEFAULT_COMPRESSION : std::min(settings.Level, 9);
  const int strategy = std::clamp(settings.Strategy, 0, static_cast<int32_t>(Z_FIXED));
  const int memLevel = std::clamp(settings.MemLevel, 1, 9);
  const int windowBits = std::clamp(settings.WindowBits, 9, 15);
  zs_->next_out = buffer_.get();
  zs_->avail_out = kBufferSize;
  ZCompressCheck(deflateInit2(zs_.get(), level, Z_DEFLATED, windowBits, memLevel, strategy));
  initialised_ = true;
}

TZCompressionStream::~TZCompressionStream() {
  try {
    Finish();
  } catch (...) {
    // A destructor must not throw; callers that care about the end of the data call Finish.
  }
  if (initialised_) deflateEnd(zs_.get());
}

void TZCompressionStream::RestorePosition() {
  if (stream_.Position() != streamPosition_) stream_.Seek(streamPosition_, soBeginning);
}

void TZCompressionStream::WriteOut(int32_t count) {
  if (count > 0) stream_.WriteBuffer(buffer_.get(), count);
  zs_->next_out = buffer_.get();
  zs_->avail_out = kBufferSize;
  streamPosition_ = stream_.Position();
}

int32_t TZCompressionStream::Write(const void* buffer, int32_t count) {
  if (finished_) throw EZCompressionError(kInvalidOperation);
  if (count <= 0) return 0;
  zs_->next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
  zs_->avail_in = static_cast<uInt>(count);
  RestorePosition();
  while (zs_->avail_in > 0) {
    ZCompressCheck(deflate(zs_.get(), Z_NO_FLUSH));
    if (zs_->avail_out == 0) {
      WriteOut(kBufferSize);
      Progress();
    }
  }
  return count;
}

void TZCompressionStream::Finish() {
  if (finished_ || !initialised_) return;
  // Whatever happens below, the stream is done: a failed end cannot be resumed.
  finished_ = true;
  zs_->next_in = nullptr;
  zs_->avail_in = 0;
  RestorePosition();
  while (ZCompressCheck(deflate(zs_.get(), Z_FINISH)) != Z_STREAM_END) {
    WriteOut(static_cast<int32_t>(kBufferSize - zs_->avail_out));
  }
  if (zs_->avail_out < static_cast<uInt>(kBufferSize)) WriteOut(static_cast<int32_t>(kBufferSize - zs_->avail_out));
}

int32_t TZCompressionStream::Read(void*, int32_t) { throw EZCompressionError(kInvalidOperation); }

int64_t TZCompressionStream::Seek(int64_t, TSeekOrigin) { return static_cast<int64_t>(zs_->total_in); }

// ------------------------------------------------------------------------------ TZDecompressionStream

TZDecompressionStream::TZDecompressionStream(TStream& source)
    : TCustomZStream(source), startPosition_(streamPosition_) {
  zs_->next_in = buffer_.get();
  zs_->avail_in = 0;
  ZDecompressCheck(inflateInit(zs_.get()));
  initialised_ = true;
}

TZDecompressionStream::~TZDecompressionStream() {
  if (initialised_) inflateEnd(zs_.get());
}

int32_t TZDecompressionStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  zs_->next_out = static_cast<Bytef*>(buffer);
  zs_->avail_out = static_cast<uInt>(count);
  if (stream_.Position() != streamPosition_) stream_.Seek(streamPosition_, soBeginning);
  while (zs_->avail_out > 0 && lastResult_ != Z_STREAM_END) {
    if (zs_->avail_in == 0) {
      const int32_t got = stream_.Read(buffer_.get(), kBufferSize);
      // The source ended inside the compressed data: that is truncated data, not a short read.
      if (got <= 0) throw EZDecompressionError(ZErrorMessage(Z_BUF_ERROR), Z_BUF_ERROR);
      zs_->next_in = buffer_.get();
      zs_->avail_in = static_cast<uInt>(got);
      streamPosition_ = stream_.Position();
      Progress();
    }
    lastResult_ = ZDecompressCheck(inflate(zs_.get(), Z_NO_FLUSH));
    // Data that needs a preset dictionary cannot go on: inflate would return this for ever.
    if (lastResult_ == Z_NEED_DICT) throw EZDecompressionError(ZErrorMessage(Z_NEED_DICT), Z_NEED_DICT);
  }
  if (lastResult_ == Z_STREAM_END && zs_->avail_in > 0) {
    // Give back what was read beyond the compressed data.
    stream_.Seek(-static_cast<int64_t>(zs_->avail_in), soCurrent);
    streamPosition_ = stream_.Position();
    zs_->avail_in = 0;
  }
  return count - static_cast<int32_t>(zs_->avail_out);
}

int64_t TZDecompressionStream::CompressedBytesLeft() {
  if (lastResult_ == Z_STREAM_END) return 0;
  return static_cast<int64_t>(zs_->avail_in) + std::max<int64_t>(stream_.Size() - streamPosition_, 0);
}

int32_t TZDecompressionStream::Write(const void*, int32_t) { throw EZDecompressionError(kInvalidOperation); }

int64_t TZDecompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t produced = static_cast<int64_t>(zs_->total_out);
  if (offset == 0 && origin == soBeginning) {
    ZDecompressCheck(inflateReset(zs_.get()));
    zs_->next_in = buffer_.get();
    zs_->avail_in = 0;
    lastResult_ = Z_OK;
    stream_.Seek(startPosition_, soBeginning);
    streamPosition_ = startPosition_;
  } else if (origin == soBeginning && offset == produced) {
    // Already there.
  } else if ((offset >= 0 && origin == soCurrent) || (origin == soBeginning && offset - produced > 0)) {
    if (origin == soBeginning) offset -= produced;
    if (offset > 0) {
      std::vector<uint8_t> work(8192);
      while (offset > 0) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(offset, 8192));
        ReadBuffer(work.data(), n);
        offset -= n;
      }
    }
  } else if (offset == 0 && origin == soEnd) {
    std::vector<uint8_t> work(8192);
    while (Read(work.data(), 8192) > 0) {
    }
  } else {
    throw EZDecompressionError(kInvalidOperation);
  }
  return static_cast<int64_t>(zs_->total_out);
}

// ----------------------------------------------------------------------------------- ZDecompressBuffer

void ZDecompressBuffer(const void* inBuffer, int32_t inSize, void*& outBuffer, int32_t& outSize,
                       int32_t outEstimate) {
  outBuffer = nullptr;
  outSize = 0;
  if (!inBuffer || inSize <= 0) throw EZDecompressionError(ZErrorMessage(Z_BUF_ERROR), Z_BUF_ERROR);
  // Grow by the input size rounded up to 256 (never by 0, which would loop for ever).
  const int64_t step = std::max<int64_t>((static_cast<int64_t>(inSize) + 255) & ~int64_t(255), 256);
  int64_t size = outEstimate > 0 ? outEstimate : step;
  auto* block = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
  if (!block) throw EZDecompressionError(ZErrorMessage(Z_MEM_ERROR), Z_MEM_ERROR);

  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  zs.next_in = static_cast<Bytef*>(const_cast<void*>(inBuffer));
  zs.avail_in = static_cast<uInt>(inSize);
  zs.next_out = block;
  zs.avail_out = static_cast<uInt>(size);
  try {
    ZDecompressCheck(inflateInit(&zs));
    try {
      for (;;) {
        const int rc = ZDecompressCheck(inflate(&zs, Z_NO_FLUSH));
        if (rc == Z_STREAM_END) break;
        if (rc == Z_NEED_DICT) throw EZDecompressionError(ZErrorMessage(Z_NEED_DICT), Z_NEED_DICT);
        if (zs.avail_out > 0) continue;  // input left to consume; the next call tells
        // The result must stay addressable with an int32 size.
        if (size + step > INT32_MAX) throw EZDecompressionError(ZErrorMessage(Z_MEM_ERROR), Z_MEM_ERROR);
        size += step;
        auto* grown = static_cast<uint8_t*>(std::realloc(block, static_cast<size_t>(size)));
        if (!grown) throw EZDecompressionError(ZErrorMessage(Z_MEM_ERROR), Z_MEM_ERROR);
        block = grown;
        zs.next_out = block + zs.total_out;
        zs.avail_out = static_cast<uInt>(size - static_cast<int64_t>(zs.total_out));
      }
    } catch (...) {
      inflateEnd(&zs);
      throw;
    }
    ZDecompressCheck(inflateEnd(&zs));
  } catch (...) {
    std::free(block);
    throw;
  }
  const int64_t produced = static_cast<int64_t>(zs.total_out);
  auto* shrunk = static_cast<uint8_t*>(std::realloc(block, static_cast<size_t>(std::max<int64_t>(produced, 1))));
  outBuffer = shrunk ? shrunk : block;
  outSize = static_cast<int32_t>(produced);
}
