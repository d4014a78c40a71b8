#pragma once
// The framework's stream classes: an abstract stream, a stream over a file descriptor, a file stream
// opened by UTF-8 name, memory streams, and a file stream that replaces its target only on Commit.
#include <cstdint>
#include <string>

#include "platform/system/exception.h"

class EStreamError : public Exception { using Exception::Exception; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };

// Seek origins; the values are the framework's (0 from the beginning, 1 from the current position,
// 2 from the end). Stream code also receives other values; each stream says what it does with them
// (most leave the position where it is).
enum TSeekOrigin : int { soBeginning = 0, soCurrent = 1, soEnd = 2 };
constexpr int soFromBeginning = 0;
constexpr int soFromCurrent = 1;
constexpr int soFromEnd = 2;

// File open modes of the framework: access in the low two bits, sharing in bits 4..6.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;
constexpr uint16_t fmCreate = 0xFFFF;

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to count bytes; returns how many arrived (fewer at the end of the stream).
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  // Writes up to count bytes; returns how many were written.
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  // Moves the position; returns the new position. From the end, the offset is added to the size
  // (so it is normally zero or negative).
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t newSize);

  // Read or write exactly count bytes, or raise EReadError "Stream read error" /
  // EWriteError "Stream write error".
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
  // Copies count bytes from source (count 0: the whole source from its beginning); returns the count.
  int64_t CopyFrom(TStream& source, int64_t count);

  // Little helpers for binary structures (host byte order is little-endian on every target).
  template <class T> T ReadValue() { T v{}; ReadBuffer(&v, sizeof v); return v; }
  template <class T> void WriteValue(const T& v) { WriteBuffer(&v, sizeof v); }
};

// A stream over an open file descriptor. It does not own the descriptor unless told to.
class THandleStream : public TStream {
 public:
  explicit THandleStream(int handle, bool ownsHandle = false) : handle_(handle), owns_(ownsHandle) {}
  ~THandleStream() override;
  int Handle() const { return handle_; }

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t newSize) override;

 protected:
  THandleStream() = default;
  void SetHandle(int handle, bool owns) { handle_ = handle; owns_ = owns; }
  int handle_ = -1;
  bool owns_ = false;
};

// A file stream by UTF-8 name. Mode fmCreate creates (or truncates) the file; any other mode opens
// an existing file with the access of its low bits. Failures raise EFCreateError
// "Cannot create file \"%s\". %s" or EFOpenError "Cannot open file \"%s\". %s" with the full path
// and the operating system's reason.
class TFileStream : public THandleStream {
 public:
  TFileStream(const std::string& fileName, uint16_t mode);
  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
};

// Stream over a block of memory. TCustomMemoryStream reads (and writes in place) a caller's block;
// TMemoryStream owns a growable block.
class TCustomMemoryStream : public TStream {
 public:
  TCustomMemoryStream() = default;
  TCustomMemoryStream(const void* data, int64_t size) { SetPointer(const_cast<void*>(data), size); }
  void* Memory() const { return memory_; }
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;  // in place, never beyond the block
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }
  void SaveToStream(TStream& stream);
  void SaveToFile(const std::string& fileName);

 protected:
  void SetPointer(void* memory, int64_t size) { memory_ = static_cast<uint8_t*>(memory); size_ = size; }
  uint8_t* memory_ = nullptr;
  int64_t size_ = 0;
  int64_t position_ = 0;
};

class TMemoryStream : public TCustomMemoryStream {
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  int32_t Write(const void* buffer, int32_t count) override;
  void SetSize(int64_t newSize) override;
  void Clear();
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  int64_t Capacity() const { return capacity_; }

 private:
  void SetCapacity(int64_t newCapacity);
  int64_t capacity_ = 0;
};

// Writes a file so that the target is replaced only when everything was written: the data goes to a
// new file beside the target and Commit() renames it over the target. Without Commit (a failure, an
// exception) the temporary file is removed and the target stays as it was.
//
// - A target that is a symbolic link is written through: the file the link leads to is replaced and
//   the link stays a link.
// - The temporary file has the target's permission bits (and, where it may, its owner and group) from
//   the moment it is created; a new target gets those of any new file.
// - The temporary name is hidden (a leading dot) and cut so that it fits the file system's name limit,
//   so any target name that fits saves.
// - With InPlaceFallback, a target that is writable in a folder where no file can be created (a
//   read-only folder) is written in place instead: the data is gathered in memory and written over the
//   target only at Commit, so a failure before Commit still leaves the target untouched. Commit
//   writes the bytes beyond the old end first, so a full disk is met before any old byte changes.
//   Without InPlaceFallback such a target fails like any other (files that must never be seen half
//   written, such as the settings store).
// Whether Commit syncs the new file to the disk before the rename (true), so that a saved file
// survives a power cut. Only the benchmarks turn it off, to show what that safety costs.
extern bool SafeFileStreamSync;

class TSafeFileStream : public THandleStream {
 public:
  explicit TSafeFileStream(const std::string& targetName, bool InPlaceFallback = true);
  ~TSafeFileStream() override;
  // Flushes to disk and renames over the target (or writes it in place); raises EFCreateError when
  // that fails, with the target as it was.
  void Commit();
  const std::string& TargetName() const { return target_; }
  // The file that is replaced: the target, or the file its symbolic links lead to.
  const std::string& FileName() const { return file_; }
  // The temporary file; empty when the data is gathered in memory for an in-place write.
  const std::string& TempName() const { return temp_; }
  bool InPlace() const { return inPlaceHandle_ >= 0; }

 private:
  void CommitInPlace();
  std::string target_;
  std::string file_;
  std::string temp_;
  int inPlaceHandle_ = -1;  // the target opened for writing, when the data is gathered in memory
  bool committed_ = false;
};

// The framework's file routines on descriptors. FileCreate creates (or truncates) a file for reading
// and writing; FileOpen opens an existing file (not a folder) with the access of the mode's low two
// bits. The sharing bits are accepted and not enforced: POSIX has no mandatory sharing. Both return -1
// with errno set on failure.
int FileCreate(const std::string& fileName);
int FileOpen(const std::string& fileName, uint16_t mode);
void FileClose(int handle);

// File-system helpers by UTF-8 name.
bool FileExists(const std::string& fileName);
bool DirectoryExists(const std::string& dirName);
bool DeleteFile(const std::string& fileName);
int64_t FileSizeByName(const std::string& fileName);  // -1 when there is no such file
std::string ExpandFileName(const std::string& fileName);
std::string ExtractFilePath(const std::string& fileName);  // with the trailing separator
std::string ExtractFileName(const std::string& fileName);
std::string ExtractFileExt(const std::string& fileName);   // with the dot, as written
std::string ChangeFileExt(const std::string& fileName, const std::string& ext);
std::string IncludeTrailingPathDelimiter(const std::string& path);
