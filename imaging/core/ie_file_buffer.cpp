#include "imaging/core/ie_file_buffer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "imaging/core/ie_settings.h"
#include "platform/system/exception.h"
#include "platform/system/temp_files.h"

// ------------------------------------------------------------------------------ TIETemporaryFileStream

TIETemporaryFileStream::TIETemporaryFileStream(const std::string& FileName) {
  const int fd = CreateTemporaryFile(FileName, true);
  if (fd < 0) throw EInOutError("Unable to create " + FileName, errno);
  SetHandle(fd, true);
}

TIETemporaryFileStream::~TIETemporaryFileStream() {
  if (handle_ >= 0) ::close(handle_);
  handle_ = -1;
}

void TIETemporaryFileStream::SetSize(int64_t newSize) {
  const int64_t pos = Position();
  if (!FileSetSize(handle_, newSize)) throw EStreamError("Stream write error");
  if (pos > newSize) Seek(newSize, soBeginning);
}

// -------------------------------------------------------------------------------------- TIEFileBuffer

TIEFileBuffer::~TIEFileBuffer() { Close(); }

bool TIEFileBuffer::AllocateFile(const std::string& Prefix, bool UseFile, int64_t Size) {
  Close();
  if (Size < 0) return false;
  try {
    const std::string folder = TempDirectory.empty() ? GetTempPath() : TempDirectory;
    // A name is drawn again while a file of that name exists; creation itself is exclusive, so a
    // file that appears between the test and the creation is never touched either.
    for (int attempt = 0; attempt < 100 && !stream_; ++attempt) {
      const std::string name = RandomTempFileName(folder, Prefix);
      if (FileExists(name) || DirectoryExists(name)) continue;
      if (UseFile) {
        try {
          auto file = std::make_unique<TIETemporaryFileStream>(name);
          handle_ = file->Handle();
          stream_ = std::move(file);
        } catch (const EInOutError& e) {
          if (e.ErrorCode == EEXIST) continue;
          throw;
        }
      } else {
        stream_ = std::make_unique<TMemoryStream>();
      }
      fileName_ = name;
    }
    if (!stream_) return false;
    stream_->SetSize(Size);
    return true;
  } catch (...) {
    // A store that cannot take its size is not kept open: its file goes with it.
    Close();
    return false;
  }
}

void TIEFileBuffer::SetSize(int64_t Size) {
  if (stream_) stream_->SetSize(Size);
}

void TIEFileBuffer::ReadAt(void* Buffer, int64_t Size, int64_t Position) {
  if (handle_ >= 0) {
    if (FileReadAt(handle_, Buffer, Size, Position) != Size) throw EReadError("Stream read error");
    return;
  }
  stream_->Seek(Position, soBeginning);
  auto* p = static_cast<uint8_t*>(Buffer);
  for (int64_t done = 0; done < Size;) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(Size - done, INT32_MAX));
    stream_->ReadBuffer(p + done, n);
    done += n;
  }
}

void TIEFileBuffer::WriteAt(const void* Buffer, int64_t Size, int64_t Position) {
  if (handle_ >= 0) {
    if (FileWriteAt(handle_, Buffer, Size, Position) != Size) throw EWriteError("Stream write error");
    return;
  }
  stream_->Seek(Position, soBeginning);
  const auto* p = static_cast<const uint8_t*>(Buffer);
  for (int64_t done = 0; done < Size;) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(Size - done, INT32_MAX));
    stream_->WriteBuffer(p + done, n);
    done += n;
  }
}

void* TIEFileBuffer::Map(TIERowAccess Access, int64_t Size, int64_t Position) {
  if (Size < 0 || Position < 0) throw EInvalidOperation("Invalid block mapping");
  void* data = std::malloc(static_cast<size_t>(std::max<int64_t>(Size, 1)));
  if (!data) throw EOutOfMemory("Out of memory");
  try {
    if (stream_ && (Access & iraRead)) ReadAt(data, Size, Position);
    mapped_.push_back(TIEMapping{Position, Size, data, Access});
  } catch (...) {
    std::free(data);
    throw;
  }
  return data;
}

void TIEFileBuffer::Unmap(void* Data) {
  // Callers release what they mapped last, so the search starts at the end.
  auto it = std::find_if(mapped_.rbegin(), mapped_.rend(), [Data](const TIEMapping& m) { return m.Data == Data; });
  if (it == mapped_.rend()) return;
  const TIEMapping m = *it;
  mapped_.erase(std::next(it).base());
  struct FreeData {
    void* p;
    ~FreeData() { std::free(p); }
  } release{m.Data};
  if (stream_ && (m.Access & iraWrite)) WriteAt(m.Data, m.Size, m.Position);
}

void TIEFileBuffer::UnmapAll() {
  while (!mapped_.empty()) Unmap(mapped_.back().Data);
}

void TIEFileBuffer::Close() {
  // What is still mapped is not written back: the store and its data go away now. The file has
  // had no name since it was created, so closing the handle deletes it and nothing is deleted by
  // name (a file of that name could belong to someone else by now).
  for (const TIEMapping& m : mapped_) std::free(m.Data);
  mapped_.clear();
  stream_.reset();
  handle_ = -1;
}

void TIEFileBuffer::CopyTo(TIEFileBuffer& Dest, int64_t Size, int64_t Position) {
  if (!stream_ || !Dest.stream_) return;
  UnmapAll();
  Dest.UnmapAll();
  if (Size <= 0 || Position < 0 || &Dest == this) return;
  if (handle_ >= 0 && Dest.handle_ >= 0) {
    if (!FileCopyRange(handle_, Position, Dest.handle_, Position, Size)) {
      if (errno == EIO) throw EReadError("Stream read error");
      throw EWriteError("Stream write error");
    }
    return;
  }
  // Generic road: 1 MiB chunks through one buffer, from the streams' positions.
  stream_->Seek(Position, soBeginning);
  Dest.stream_->Seek(Position, soBeginning);
  constexpr int32_t kChunk = 1048576;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(Size, kChunk)));
  for (int64_t left = Size; left > 0;) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(left, kChunk));
    stream_->ReadBuffer(buffer.data(), n);
    Dest.stream_->WriteBuffer(buffer.data(), n);
    left -= n;
  }
}
