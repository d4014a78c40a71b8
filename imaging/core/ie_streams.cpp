#include "imaging/core/ie_streams.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "imaging/core/ie_zlib.h"

// ----------------------------------------------------------------------------------------- TNulStream

void TNulStream::Advance(int32_t count) {
  position_ += count;
  if (position_ >= size_) size_ = position_;
}

int32_t TNulStream::Read(void*, int32_t count) {
  if (count <= 0) return 0;
  Advance(count);
  return count;
}

int32_t TNulStream::Write(const void*, int32_t count) {
  if (count <= 0) return 0;
  Advance(count);
  return count;
}

int64_t TNulStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning:
      position_ = offset;
      if (position_ >= size_) size_ = position_;
      break;
    case soCurrent:
      position_ += offset;
      if (position_ >= size_) size_ = position_;
      break;
    case soEnd:
      position_ = size_ - offset;
      break;
    default:
      break;
  }
  return position_;
}

// ------------------------------------------------------------------------------ TIEBufferedReadStream

TIEBufferedReadStream::TIEBufferedReadStream(TStream& stream, int32_t bufferSize, bool relative, int64_t length)
    : stream_(stream) {
  const int64_t position = stream.Position();
  base_ = relative ? position : 0;
  streamSize_ = stream.Size();
  if (length >= 0 && length < streamSize_ - position) streamSize_ = position + length;
  position_ = position;
  SetBufferSize(bufferSize);
}

void TIEBufferedReadStream::SetBufferSize(int32_t size) {
  bufferSize_ = std::max(size, 1);
  buffer_ = std::make_unique<uint8_t[]>(static_cast<size_t>(bufferSize_));
  FillBuffer();
}

void TIEBufferedReadStream::FillBuffer() {
  stream_.Seek(position_, soBeginning);
  const int32_t got = std::max(stream_.Read(buffer_.get(), bufferSize_), 0);
  // Bytes beyond a short read stay zero, never stale data of an earlier fill.
  if (got < bufferSize_) std::memset(buffer_.get() + got, 0, static_cast<size_t>(bufferSize_ - got));
  bufferIndex_ = 0;
}

int32_t TIEBufferedReadStream::Read(void* buffer, int32_t count) {
  endOfStream_ = false;
  if (streamSize_ - position_ < count) {
    count = static_cast<int32_t>(std::max<int64_t>(streamSize_ - position_, 0));
    endOfStream_ = true;
  }
  if (count == 1) {
    if (bufferIndex_ >= bufferSize_) FillBuffer();
    *static_cast<uint8_t*>(buffer) = buffer_[bufferIndex_];
    ++bufferIndex_;
    ++position_;
    return 1;
  }
  if (count < 2) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  int32_t total = 0;
  for (;;) {
    const int32_t n = std::min(count, bufferSize_ - bufferIndex_);
    std::memcpy(out, buffer_.get() + bufferIndex_, static_cast<size_t>(n));
    bufferIndex_ += n;
    position_ += n;
    total += n;
    if (n == count) return total;
    count -= n;
    out += n;
    if (count >= bufferSize_) {
      // A read of at least a buffer goes straight to the caller's memory (one copy less); what
      // the wrapped stream cannot give reads as zeros, as from a short fill.
      stream_.Seek(position_, soBeginning);
      const int32_t got = std::clamp(stream_.Read(out, count), 0, count);
      if (got < count) std::memset(out + got, 0, static_cast<size_t>(count - got));
      position_ += count;
      total += count;
      FillBuffer();
      return total;
    }
    FillBuffer();
  }
}

int32_t TIEBufferedReadStream::Write(const void*, int32_t) {
  throw Exception("TIEBufferedReadStream cannot write!");
}

int64_t TIEBufferedReadStream::Seek(int64_t offset, TSeekOrigin origin) {
  endOfStream_ = false;
  int64_t target;
  switch (origin) {
    case soBeginning: target = base_ + offset; break;
    case soCurrent: target = position_ + offset; break;
    case soEnd: target = streamSize_ - offset; break;
    default: target = position_; break;
  }
  if (target < 0) target = 0;
  if (target >= streamSize_) {
    target = streamSize_;
    endOfStream_ = true;
  }
  const int64_t index = target - position_ + bufferIndex_;
  if (index >= 0 && index < bufferSize_) {
    bufferIndex_ = static_cast<int32_t>(index);
    position_ = target;
  } else {
    position_ = target;
    FillBuffer();
  }
  return position_ - base_;
}

// ---------------------------------------------------------------------------------- TIEWideFileStream

int IEFileCreateW(const std::string& fileName) { return FileCreate(fileName); }

int IEFileOpenW(const std::string& fileName, uint16_t mode) {
  if ((mode & 3) > 2 || (mode & 0xF0) > 0x40) {
    errno = EINVAL;
    return kIEInvalidHandle;
  }
  return FileOpen(fileName, mode);
}

TIEWideFileStream::TIEWideFileStream(const std::string& fileName, uint16_t mode) {
  if (mode == fmCreate) {
    const int fd = IEFileCreateW(fileName);
    if (fd < 0) {
      const int err = errno;
      throw EFCreateError(Format("Cannot create file \"%s\". %s", ExpandFileName(fileName).c_str(),
                                 SysErrorMessage(err).c_str()));
    }
    SetHandle(fd, true);
    return;
  }
  const int fd = IEFileOpenW(fileName, mode);
  if (fd < 0) {
    const int err = errno;
    throw EFOpenError(Format("Cannot open file \"%s\". %s", ExpandFileName(fileName).c_str(),
                             SysErrorMessage(err).c_str()));
  }
  SetHandle(fd, true);
}

// ------------------------------------------------------------------------------------ stream routines

void StreamWriteAnsiString(TStream& stream, const std::string& text) {
  if (text.size() > INT32_MAX) throw EWriteError("Stream write error");
  stream.WriteValue<int32_t>(static_cast<int32_t>(text.size()));
  stream.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

void StreamReadAnsiString(TStream& stream, std::string& text) {
  const int32_t length = stream.ReadValue<int32_t>();
  text.clear();
  if (length <= 0) return;
  // Read in growing pieces so that a damaged length cannot allocate more than about twice what the
  // stream really holds (the stream may be a decompression stream of unknown size).
  int32_t done = 0;
  int32_t chunk = 1 << 16;
  while (done < length) {
    const int32_t want = std::min(chunk, length - done);
    text.resize(static_cast<size_t>(done) + want);
    const int32_t got = std::max(stream.Read(text.data() + done, want), 0);
    done += got;
    if (got < want) break;
    if (chunk < (1 << 28)) chunk *= 2;
  }
  text.resize(static_cast<size_t>(done));
}

void StreamWriteLineLF(TStream& stream, const std::string& text) {
  StreamWriteStr(stream, text);
  stream.WriteValue<uint8_t>(10);
}

void StreamWriteLineCRLF(TStream& stream, const std::string& text) {
  StreamWriteStr(stream, text);
  stream.WriteBuffer("\r\n", 2);
}

void StreamWriteStr(TStream& stream, const std::string& text) {
  if (text.size() > INT32_MAX) throw EWriteError("Stream write error");
  stream.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

int64_t CopyStreamData(TStream& destination, TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (!dynamic_cast<TCustomZStream*>(&source)) count = std::min(count, source.Size() - source.Position());
  count = std::max<int64_t>(count, 0);
  if (count == 0) return 0;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 0x2FFFF)));
  int64_t left = count;
  while (left > 0) {
    const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
    source.ReadBuffer(buffer.data(), chunk);
    destination.WriteBuffer(buffer.data(), chunk);
    left -= chunk;
  }
  return count;
}
