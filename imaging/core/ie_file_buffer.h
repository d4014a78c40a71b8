#pragma once
// The backing store of file-held pixels: a delete-on-close temporary file (or a memory stream) of
// which callers map blocks into private buffers, read in and written back by their row access.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_defs.h"
#include "platform/system/streams.h"

// A temporary file that is deleted when it is closed. The file is created exclusively: a file that
// already has the name is never opened or replaced. Creation failures raise EInOutError
// "Unable to create " + FileName (ErrorCode is the operating system's error number).
class TIETemporaryFileStream : public THandleStream {
 public:
  explicit TIETemporaryFileStream(const std::string& FileName);
  ~TIETemporaryFileStream() override;
  TIETemporaryFileStream(const TIETemporaryFileStream&) = delete;
  TIETemporaryFileStream& operator=(const TIETemporaryFileStream&) = delete;

  // Growing the file also reserves its disk space, so a full disk is refused here.
  void SetSize(int64_t newSize) override;
};

class TIEFileBuffer {
 public:
  TIEFileBuffer() = default;
  ~TIEFileBuffer();
  TIEFileBuffer(const TIEFileBuffer&) = delete;
  TIEFileBuffer& operator=(const TIEFileBuffer&) = delete;

  // True while a stream is open.
  bool IsAllocated() const { return stream_ != nullptr; }
  // Full name of the temporary file (also drawn for a memory stream). The file itself has no name
  // on disk once it is open: it cannot be opened by others and vanishes when closed.
  const std::string& FileName() const { return fileName_; }
  TStream* Stream() const { return stream_.get(); }
  // Number of blocks currently mapped.
  int32_t MappedCount() const { return static_cast<int32_t>(mapped_.size()); }

  // Closes an open store, then opens a new one of Size bytes: a temporary file named
  // folder + Prefix + "-XXXXXXXX.tmp" in TempDirectory (or the operating system's temporary folder) when
  // UseFile, else a memory stream. Returns false, with the store closed and nothing left on disk,
  // when the store cannot be had. Never raises.
  bool AllocateFile(const std::string& Prefix, bool UseFile, int64_t Size);
  void SetSize(int64_t Size);

  // A private buffer of Size bytes for the block at Position: filled from the store when Access
  // holds iraRead (else its contents are not set). Raises the stream's read error.
  void* Map(TIERowAccess Access, int64_t Size, int64_t Position);
  // Releases a mapped buffer, writing it back when its access holds iraWrite. A pointer that is
  // not mapped is ignored. Raises the stream's write error (the buffer is released all the same).
  void Unmap(void* Data);
  // Unmaps the most recent mapping until none is left.
  void UnmapAll();
  // Drops every mapping (nothing is written back: the data goes with the store) and closes the
  // stream; the temporary file is deleted.
  void Close();
  // Writes back everything mapped in both stores, then copies Size bytes at Position from this
  // store to the same position of Dest. Nothing happens unless both are open.
  void CopyTo(TIEFileBuffer& Dest, int64_t Size, int64_t Position);

 private:
  struct TIEMapping {
    int64_t Position;
    int64_t Size;
    void* Data;
    TIERowAccess Access;
  };
  void ReadAt(void* Buffer, int64_t Size, int64_t Position);
  void WriteAt(const void* Buffer, int64_t Size, int64_t Position);

  std::string fileName_;
  std::vector<TIEMapping> mapped_;
  std::unique_ptr<TStream> stream_;
  int handle_ = -1;  // the temporary file's handle while stream_ is one (positional I/O)
};
