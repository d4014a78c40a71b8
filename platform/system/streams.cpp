#include "platform/system/streams.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/system/memory.h"
#include "platform/system/temp_files.h"

// ---------------------------------------------------------------------------------------------- TStream

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const int64_t result = count;
  const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(count, 0xF000));
  std::vector<uint8_t> buffer(static_cast<size_t>(std::max(chunk, 1)));
  while (count > 0) {
    int32_t n = static_cast<int32_t>(std::min<int64_t>(count, chunk));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    count -= n;
  }
  return result;
}

// ---------------------------------------------------------------------------------------- THandleStream

THandleStream::~THandleStream() {
  if (owns_ && handle_ >= 0) ::close(handle_);
}

int32_t THandleStream::Read(void* buffer, int32_t count) {
  if (count <= 0 || handle_ < 0) return 0;
  int32_t done = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::read(handle_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t THandleStream::Write(const void* buffer, int32_t count) {
  if (count <= 0 || handle_ < 0) return 0;
  int32_t done = 0;
  auto* p = static_cast<const uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::write(handle_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == soCurrent ? SEEK_CUR : origin == soEnd ? SEEK_END : SEEK_SET;
  off_t r = ::lseek(handle_, static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

void THandleStream::SetSize(int64_t newSize) {
  int64_t pos = Position();
  if (::ftruncate(handle_, static_cast<off_t>(newSize)) != 0)
    throw EStreamError("Stream write error");
  if (pos > newSize) Seek(newSize, soBeginning);
}

// ------------------------------------------------------------------------------------------ TFileStream

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : fileName_(fileName) {
  if (mode == fmCreate) {
    int fd = FileCreate(fileName);
    if (fd < 0) {
      int err = errno;
      throw EFCreateError(Format("Cannot create file \"%s\". %s", ExpandFileName(fileName).c_str(),
                                 SysErrorMessage(err).c_str()));
    }
    SetHandle(fd, true);
    return;
  }
  int fd = FileOpen(fileName, mode);
  if (fd < 0) {
    int err = errno;
    throw EFOpenError(Format("Cannot open file \"%s\". %s", ExpandFileName(fileName).c_str(),
                             SysErrorMessage(err).c_str()));
  }
  SetHandle(fd, true);
}

// ---------------------------------------------------------------------------------- TCustomMemoryStream

int32_t TCustomMemoryStream::Read(void* buffer, int32_t count) {
  if (count <= 0 || position_ < 0 || position_ >= size_) return 0;
  int64_t n = std::min<int64_t>(count, size_ - position_);
  std::memcpy(buffer, memory_ + position_, static_cast<size_t>(n));
  position_ += n;
  return static_cast<int32_t>(n);
}

int32_t TCustomMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0 || position_ < 0 || position_ >= size_) return 0;
  int64_t n = std::min<int64_t>(count, size_ - position_);
  std::memcpy(memory_ + position_, buffer, static_cast<size_t>(n));
  position_ += n;
  return static_cast<int32_t>(n);
}

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning: position_ = offset; break;
    case soCurrent: position_ += offset; break;
    case soEnd: position_ = size_ + offset; break;
    default: break;
  }
  if (position_ < 0) position_ = 0;
  return position_;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) {
  int64_t left = size_;
  const uint8_t* p = memory_;
  while (left > 0) {
    int32_t n = static_cast<int32_t>(std::min<int64_t>(left, INT32_MAX));
    stream.WriteBuffer(p, n);
    p += n;
    left -= n;
  }
}

void TCustomMemoryStream::SaveToFile(const std::string& fileName) {
  TSafeFileStream file(fileName);
  SaveToStream(file);
  file.Commit();
}

// ---------------------------------------------------------------------------------------- TMemoryStream

TMemoryStream::~TMemoryStream() { std::free(memory_); }

namespace {
// From this size on a memory stream's block is made of huge pages.
constexpr int64_t kLargeMemoryStream = int64_t{8} << 20;
}  // namespace

void TMemoryStream::SetCapacity(int64_t newCapacity) {
  if (newCapacity == capacity_) return;
  if (newCapacity == 0) {
    std::free(memory_);
    memory_ = nullptr;
    capacity_ = 0;
    return;
  }
  constexpr int64_t kHugePage = int64_t{2} << 20;
  if (newCapacity >= kLargeMemoryStream) {
    // A large stream (a saved picture) is filled page by page: in whole 2 MiB pages it takes far
    // fewer page faults, which on a virtual machine cost more than the copying. The block is new
    // and aligned each time (moving a block of huge pages elsewhere would split them).
    const int64_t rounded = (newCapacity + kHugePage - 1) & ~(kHugePage - 1);
    void* p = std::aligned_alloc(static_cast<size_t>(kHugePage), static_cast<size_t>(rounded));
    if (!p) throw EStreamError("Out of memory while expanding memory stream");
    AdviseHugePages(p, static_cast<size_t>(rounded));
    if (memory_ && size_ > 0) std::memcpy(p, memory_, static_cast<size_t>(std::min(size_, rounded)));
    std::free(memory_);
    memory_ = static_cast<uint8_t*>(p);
    capacity_ = rounded;
    return;
  }
  void* p = std::realloc(memory_, static_cast<size_t>(newCapacity));
  if (!p) throw EStreamError("Out of memory while expanding memory stream");
  memory_ = static_cast<uint8_t*>(p);
  capacity_ = newCapacity;
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) newSize = 0;
  int64_t oldPosition = position_;
  if (newSize > capacity_) {
    // Grow in 8 KiB steps, and at least by a quarter (large streams by double, each step being a
    // copy), so repeated small writes stay linear.
    int64_t grown = std::max<int64_t>(newSize, capacity_ >= kLargeMemoryStream ? 2 * capacity_ : capacity_ + capacity_ / 4);
    SetCapacity((grown + 0x1FFF) & ~int64_t(0x1FFF));
  }
  size_ = newSize;
  if (oldPosition > newSize) position_ = newSize;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0 || position_ < 0) return 0;
  int64_t end = position_ + count;
  if (end > size_) {
    int64_t pos = position_;
    SetSize(end);
    position_ = pos;
  }
  std::memcpy(memory_ + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  size_ = 0;
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  int64_t count = stream.Size();
  SetSize(count);
  int64_t done = 0;
  while (done < count) {
    int32_t n = static_cast<int32_t>(std::min<int64_t>(count - done, INT32_MAX));
    stream.ReadBuffer(memory_ + done, n);
    done += n;
  }
  position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

// -------------------------------------------------------------------------------------- TSafeFileStream

namespace {

// The file a name leads to: symbolic links of the last component followed (relative ones from the
// link's own folder). A link to nothing leads to the name it holds. Empty, with errno set, for a loop.
std::string FollowLinks(const std::string& name) {
  std::string path = name;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::vector<char> buffer(static_cast<size_t>(std::max<off_t>(st.st_size, 255)) + 1);
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<size_t>(n) >= buffer.size()) return path;  // changed meanwhile: as it is
    const std::string link(buffer.data(), static_cast<size_t>(n));
    path = link.front() == '/' ? link : ExtractFilePath(path) + link;
  }
  errno = ELOOP;
  return std::string();
}

// The prefix of a hidden temporary name for fileName in folder: "." + the name, cut (at a character
// boundary) so that the whole temporary name, prefix + "-XXXXXXXX.tmp", fits the folder's name limit.
std::string HiddenTempPrefix(const std::string& folder, const std::string& fileName) {
  constexpr size_t kSuffix = 13;  // "-" + 8 hexadecimal digits + ".tmp"
  long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  if (limit <= 0) limit = 255;
  std::string prefix = "." + fileName;
  const size_t room = static_cast<size_t>(limit) > kSuffix + 1 ? static_cast<size_t>(limit) - kSuffix : 1;
  if (prefix.size() > room) {
    size_t cut = room;
    while (cut > 1 && (static_cast<uint8_t>(prefix[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    prefix.resize(cut);
  }
  return prefix;
}

// A file in memory for data that is to be written in place later; an unnamed temporary file where
// the system has no memory files.
int OpenMemoryFile() {
  int fd = ::memfd_create("brimvale-save", MFD_CLOEXEC);
  if (fd < 0) fd = CreateUniqueTemporaryFile(GetTempPath(), "save", true, nullptr);
  return fd;
}

}  // namespace

TSafeFileStream::TSafeFileStream(const std::string& targetName, bool InPlaceFallback) : target_(targetName) {
  const auto fail = [this](int err) {
    throw EFCreateError(Format("Cannot create file \"%s\". %s", ExpandFileName(target_).c_str(),
                               SysErrorMessage(err).c_str()));
  };
  file_ = FollowLinks(targetName);
  if (file_.empty()) fail(errno);
  // A file being replaced passes its permissions (and where it may, its owner and group) on from the
  // start: the data is never readable by more people than the target's is. A new file gets those of
  // any new file.
  struct stat st;
  const bool exists = ::stat(file_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) fail(EISDIR);
  const int mode = exists ? static_cast<int>(st.st_mode & 0777) : 0666;
  const std::string folder = ExtractFilePath(file_);
  const int fd = CreateUniqueTemporaryFile(folder, HiddenTempPrefix(folder, ExtractFileName(file_)), false, &temp_,
                                           mode);
  if (fd >= 0) {
    SetHandle(fd, true);
    if (exists) {
      // Best effort: another user's file keeps its owner only for root; its group for any member.
      if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd, st.st_uid, st.st_gid) != 0 &&
          ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
      }
      ::fchmod(fd, static_cast<mode_t>(mode));  // the umask may have taken bits away
    }
    return;
  }
  const int err = errno;
  temp_.clear();
  // No file can be made beside the target: write the target itself in place, when that is allowed and
  // the target can be written.
  if (InPlaceFallback && exists && S_ISREG(st.st_mode) && (err == EACCES || err == EPERM)) {
    int target;
    do {
      target = ::open(file_.c_str(), O_WRONLY | O_CLOEXEC);
    } while (target < 0 && errno == EINTR);
    if (target >= 0) {
      const int memory = OpenMemoryFile();
      if (memory >= 0) {
        inPlaceHandle_ = target;
        SetHandle(memory, true);
        return;
      }
      ::close(target);
    }
  }
  fail(err);
}

TSafeFileStream::~TSafeFileStream() {
  if (handle_ >= 0) {
    ::close(handle_);
    handle_ = -1;
  }
  if (inPlaceHandle_ >= 0) ::close(inPlaceHandle_);
  if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

bool SafeFileStreamSync = true;

void TSafeFileStream::Commit() {
  if (committed_) return;
  if (InPlace()) {
    CommitInPlace();
    return;
  }
  bool ok = !SafeFileStreamSync || ::fsync(handle_) == 0;
  ok = (::close(handle_) == 0) && ok;
  handle_ = -1;
  int err = errno;
  if (ok && ::rename(temp_.c_str(), file_.c_str()) == 0) {
    committed_ = true;
    return;
  }
  if (ok) err = errno;
  ::unlink(temp_.c_str());
  temp_.clear();
  throw EFCreateError(Format("Cannot create file \"%s\". %s", ExpandFileName(target_).c_str(),
                             SysErrorMessage(err).c_str()));
}

void TSafeFileStream::CommitInPlace() {
  int err = 0;
  struct stat st;
  const int64_t size = Seek(0, soEnd);
  bool ok = size >= 0 && ::fstat(inPlaceHandle_, &st) == 0;
  if (!ok) err = errno;
  const int64_t old = ok ? static_cast<int64_t>(st.st_size) : 0;
  // The bytes beyond the old end first: when the disk is full this fails while every old byte is
  // still in place, and the file is cut back to its old size.
  if (ok && size > old && !FileCopyRange(handle_, old, inPlaceHandle_, old, size - old)) {
    err = errno;
    ok = false;
    int r;
    do {
      r = ::ftruncate(inPlaceHandle_, static_cast<off_t>(old));
    } while (r != 0 && errno == EINTR);
  }
  if (ok && !FileCopyRange(handle_, 0, inPlaceHandle_, 0, std::min(size, old))) err = errno, ok = false;
  if (ok && size < old && ::ftruncate(inPlaceHandle_, static_cast<off_t>(size)) != 0) err = errno, ok = false;
  if (ok && ::fsync(inPlaceHandle_) != 0) err = errno, ok = false;
  ok = (::close(inPlaceHandle_) == 0) && ok;
  if (!ok && err == 0) err = errno;
  inPlaceHandle_ = -1;
  ::close(handle_);
  handle_ = -1;
  if (!ok)
    throw EFCreateError(Format("Cannot create file \"%s\". %s", ExpandFileName(target_).c_str(),
                               SysErrorMessage(err).c_str()));
  committed_ = true;
}

// ----------------------------------------------------------------------------------- file-system helpers

int FileCreate(const std::string& fileName) {
  return ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

int FileOpen(const std::string& fileName, uint16_t mode) {
  const int access = mode & 3;
  if (access > 2) {
    errno = EINVAL;
    return -1;
  }
  const int flags = access == 0 ? O_RDONLY : access == 1 ? O_WRONLY : O_RDWR;
  int fd = ::open(fileName.c_str(), flags | O_CLOEXEC);
  if (fd >= 0) {
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      errno = EISDIR;
      return -1;
    }
  }
  return fd;
}

void FileClose(int handle) {
  if (handle >= 0) ::close(handle);
}

bool FileExists(const std::string& fileName) {
  struct stat st;
  return ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& dirName) {
  struct stat st;
  return ::stat(dirName.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& fileName) { return ::unlink(fileName.c_str()) == 0; }

int64_t FileSizeByName(const std::string& fileName) {
  struct stat st;
  if (::stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::string ExpandFileName(const std::string& fileName) {
  std::error_code ec;
  auto p = std::filesystem::absolute(std::filesystem::path(fileName), ec);
  if (ec) return fileName;
  return p.lexically_normal().string();
}

std::string ExtractFilePath(const std::string& fileName) {
  size_t slash = fileName.find_last_of('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& fileName) {
  size_t slash = fileName.find_last_of('/');
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

std::string ExtractFileExt(const std::string& fileName) {
  size_t dot = fileName.find_last_of("./");
  if (dot == std::string::npos || fileName[dot] != '.') return std::string();
  return fileName.substr(dot);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& ext) {
  size_t dot = fileName.find_last_of("./");
  if (dot == std::string::npos || fileName[dot] != '.') return fileName + ext;
  return fileName.substr(0, dot) + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (!path.empty() && path.back() == '/') return path;
  return path + "/";
}
