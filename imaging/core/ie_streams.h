#pragma once
// The engine's own streams and stream routines: a stream that only counts (TNulStream), a read-only
// buffered view of another stream (TIEBufferedReadStream), a file stream by name with the engine's
// open-mode table (TIEWideFileStream), string and line writers, CopyStreamData, and a keeper that
// puts a stream back where it was (TIEStreamPositionKeeper).
#include <cstdint>
#include <memory>
#include <string>

#include "platform/system/streams.h"

// Stores nothing: reading and writing only move the position, and the size is the highest position
// reached. Used to learn how many bytes an encoding would produce. From the end (origin 2) the offset
// counts backwards: the position becomes Size - offset.
class TNulStream : public TStream {
 public:
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }

 private:
  void Advance(int32_t count);
  int64_t position_ = 0;
  int64_t size_ = 0;
};

// A read-only buffered view of another stream, which it neither owns nor frees. In relative mode
// positions and the size count from the wrapped stream's position at creation. Seeking from the end
// (origin 2) counts the offset backwards: the target is Size - offset. The wrapped stream is left
// after the bytes last buffered, not at the logical position. A Length of 0 or more ends the view
// that many bytes after the wrapped stream's position at creation (or at its end, when sooner): a
// reader of data whose length a header announced sees nothing after it.
class TIEBufferedReadStream : public TStream {
 public:
  TIEBufferedReadStream(TStream& stream, int32_t bufferSize, bool relative, int64_t length = -1);
  TIEBufferedReadStream(const TIEBufferedReadStream&) = delete;
  TIEBufferedReadStream& operator=(const TIEBufferedReadStream&) = delete;

  int32_t Read(void* buffer, int32_t count) override;
  // Always raises Exception "TIEBufferedReadStream cannot write!".
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return streamSize_ - base_; }

  void SetBufferSize(int32_t size);
  // Set when the last Read or Seek was cut at the end of the stream.
  bool EndOfStream() const { return endOfStream_; }

 private:
  void FillBuffer();
  TStream& stream_;
  std::unique_ptr<uint8_t[]> buffer_;
  int32_t bufferSize_ = 0;
  int64_t position_ = 0;  // absolute position in the wrapped stream of the next byte to deliver
  int32_t bufferIndex_ = 0;
  int64_t streamSize_ = 0;
  int64_t base_ = 0;
  bool endOfStream_ = false;
};

// Puts a stream back at the position it had when the keeper was made, when the keeper goes out of
// scope (a failing seek is ignored: it runs while an exception may be unwinding).
class TIEStreamPositionKeeper {
 public:
  explicit TIEStreamPositionKeeper(TStream& stream) : stream_(stream), at_(stream.Position()) {}
  ~TIEStreamPositionKeeper() {
    try {
      stream_.Seek(at_, soBeginning);
    } catch (...) {
    }
  }
  TIEStreamPositionKeeper(const TIEStreamPositionKeeper&) = delete;
  TIEStreamPositionKeeper& operator=(const TIEStreamPositionKeeper&) = delete;

 private:
  TStream& stream_;
  int64_t at_;
};

// IEFileOpenW's answer for a mode it refuses or a file it cannot open.
constexpr int kIEInvalidHandle = -1;

// Creates (or replaces) the file for reading and writing; -1 on failure.
int IEFileCreateW(const std::string& fileName);
// Opens an existing file; -1 when the mode is invalid ((mode and 3) > 2 or (mode and $F0) > $40),
// without touching the file system, or when the file cannot be opened. Sharing bits are accepted
// but not enforced.
int IEFileOpenW(const std::string& fileName, uint16_t mode);

// A file stream by (UTF-8) name. Mode $FFFF creates the file; every other mode opens it through
// IEFileOpenW. Raises EFCreateError "Cannot create file \"%s\". %s" or EFOpenError
// "Cannot open file \"%s\". %s" with the full path and the operating system's reason.
class TIEWideFileStream : public THandleStream {
 public:
  TIEWideFileStream(const std::string& fileName, uint16_t mode);
};

// An int32 length (little-endian) and the bytes of the text, no terminator.
void StreamWriteAnsiString(TStream& stream, const std::string& text);
// Reads what StreamWriteAnsiString wrote. The stored length is not trusted: memory grows only with
// the bytes that really arrive, a stream that ends early leaves the text with what arrived, and a
// negative length gives an empty text.
void StreamReadAnsiString(TStream& stream, std::string& text);
// The text and one LF byte.
void StreamWriteLineLF(TStream& stream, const std::string& text);
// The text, CR and LF (the PostScript and PDF writers' line end).
void StreamWriteLineCRLF(TStream& stream, const std::string& text);
// The text alone.
void StreamWriteStr(TStream& stream, const std::string& text);

// Copies count bytes from the source's position to the destination and returns the count copied.
// Count 0 copies the whole source from its start. The count is clipped to what is left in the source,
// except for zlib streams, whose size does not bound what can be read. A short read raises the
// stream's read error after what came before was written.
int64_t CopyStreamData(TStream& destination, TStream& source, int64_t count);
