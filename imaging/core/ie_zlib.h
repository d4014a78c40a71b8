#pragma once
// zlib wrapped as streams: TZCompressionStream deflates what is written to it into a destination
// stream, TZDecompressionStream inflates a source stream as it is read, and ZDecompressBuffer inflates
// a whole block held in memory. The stream classes never own the stream they wrap.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/system/exception.h"
#include "platform/system/streams.h"

struct z_stream_s;

// A zlib failure: the message is zlib's text for the result code ("data error"), ErrorCode the code
// itself (Z_DATA_ERROR, -3); 0 for failures that are no zlib result ("Invalid ZStream operation!").
class EZLibError : public Exception {
 public:
  explicit EZLibError(std::string message, int errorCode = 0) : Exception(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;
};
class EZCompressionError : public EZLibError { using EZLibError::EZLibError; };
class EZDecompressionError : public EZLibError { using EZLibError::EZLibError; };

// Returns a zlib result code unchanged when it is not negative; a negative code raises
// EZCompressionError / EZDecompressionError with zlib's message for it ("data error", ...) and the
// code.
int ZCompressCheck(int code);
int ZDecompressCheck(int code);
// zlib's text for a result code ("" for 0 and unknown codes).
const char* ZErrorMessage(int code);

// Deflate's best case: one compressed byte inflates to at most this many bytes.
inline constexpr int64_t kZMaxInflateRatio = 1032;

class TCustomZStream : public TStream {
 public:
  ~TCustomZStream() override;
  TCustomZStream(const TCustomZStream&) = delete;
  TCustomZStream& operator=(const TCustomZStream&) = delete;

  // Fired each time a 64 KB block passes between this stream and the wrapped one.
  std::function<void(TCustomZStream* sender)> OnProgress;

 protected:
  explicit TCustomZStream(TStream& stream);
  virtual void Progress();

  static constexpr int32_t kBufferSize = 65536;
  TStream& stream_;
  int64_t streamPosition_;  // the wrapped stream's position as this object last left it
  std::unique_ptr<z_stream_s> zs_;
  std::unique_ptr<uint8_t[]> buffer_;
};

// zlib's own deflate parameters, for writers whose file formats name a zlib level.
struct TZDeflateSettings {
  int32_t Level = 7;       // 0 (stored) .. 9 (best), or -1 for zlib's default (6)
  int32_t Strategy = 0;    // Z_DEFAULT_STRATEGY, Z_FILTERED (1), Z_HUFFMAN_ONLY (2), Z_RLE (3), Z_FIXED (4)
  int32_t MemLevel = 8;    // 1 .. 9
  int32_t WindowBits = 15; // 9 .. 15 (a zlib header and trailer always)
};

class TZCompressionStream : public TCustomZStream {
 public:
  // Levels: 0 none, 1 fastest, 2 default, 3 maximum (zlib levels 0, 1, -1 and 9).
  TZCompressionStream(TStream& destination, int32_t level);
  // zlib's level, strategy, memory level and window as given; values outside zlib's ranges are
  // brought to the nearest valid one.
  TZCompressionStream(TStream& destination, const TZDeflateSettings& settings);
  // Finishes the compressed data, swallowing any error (call Finish to see it).
  ~TZCompressionStream() override;

  // Writes the end of the compressed data to the destination; raises EZCompressionError or the
  // destination's write error. After it, Write raises. A second call does nothing.
  void Finish();

  int32_t Write(const void* buffer, int32_t count) override;
  // Always raises EZCompressionError "Invalid ZStream operation!".
  int32_t Read(void* buffer, int32_t count) override;
  // Moves nothing: returns the number of uncompressed bytes written so far.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 private:
  void RestorePosition();
  void WriteOut(int32_t count);
  bool initialised_ = false;
  bool finished_ = false;
};

class TZDecompressionStream : public TCustomZStream {
 public:
  // Reads compressed data from the source's current position on; that position is where Seek(0)
  // restarts.
  explicit TZDecompressionStream(TStream& source);
  ~TZDecompressionStream() override;

  // Returns the bytes produced: fewer than asked only once the compressed data has ended; after its
  // end the source stands on the first byte after it. Corrupt data, and a source that ends before
  // the compressed data does, raise EZDecompressionError.
  int32_t Read(void* buffer, int32_t count) override;
  // Always raises EZDecompressionError "Invalid ZStream operation!".
  int32_t Write(const void* buffer, int32_t count) override;
  // Position is the number of bytes produced. Seek(0, soBeginning) restarts from where the data
  // began; forward moves decode and throw away; Seek(0, soEnd) decodes to the end; other moves raise.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

  // Compressed bytes not inflated yet: those in the input buffer and those left in the source. At
  // most kZMaxInflateRatio times as many bytes can still come out.
  int64_t CompressedBytesLeft();

 private:
  int64_t startPosition_;
  int lastResult_ = 0;
  bool initialised_ = false;
};

// Inflates the complete zlib data in inBuffer into a new block allocated with std::malloc (the caller
// frees it with std::free). The block starts at outEstimate bytes (or inSize rounded up to 256 when
// that is 0) and grows by the rounded input size. Raises EZDecompressionError on corrupt or truncated
// data; nothing is left allocated then.
void ZDecompressBuffer(const void* inBuffer, int32_t inSize, void*& outBuffer, int32_t& outSize,
                       int32_t outEstimate);
