#include "platform/system/temp_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/system/exception.h"
#include "platform/system/streams.h"

std::string GetTempPath() {
  const char* dir = std::getenv("TMPDIR");
  if (dir && *dir && DirectoryExists(dir)) return IncludeTrailingPathDelimiter(dir);
  return "/tmp/";
}

std::string RandomTempFileName(const std::string& folder, const std::string& prefix) {
  // One generator per thread, seeded from the operating system's entropy: names drawn by two threads or two
  // processes in the same instant still differ.
  thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<uint32_t> below(0, 0x7FFFFFFE);
  const std::string dir = folder.empty() ? folder : IncludeTrailingPathDelimiter(folder);
  return Format("%s%s-%08X.tmp", dir.c_str(), prefix.c_str(), below(generator));
}

int CreateTemporaryFile(const std::string& fileName, bool deleteOnClose, int mode) {
  int fd;
  do {
    fd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  if (deleteOnClose && ::unlink(fileName.c_str()) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

int CreateUniqueTemporaryFile(const std::string& folder, const std::string& prefix, bool deleteOnClose,
                              std::string* fileName, int mode) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = RandomTempFileName(folder, prefix);
    const int fd = CreateTemporaryFile(name, deleteOnClose, mode);
    if (fd >= 0) {
      if (fileName) *fileName = name;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

int64_t FileReadAt(int handle, void* buffer, int64_t count, int64_t position) {
  if (count < 0 || position < 0) {
    errno = EINVAL;
    return -1;
  }
  auto* p = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const size_t chunk = static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30));
    const ssize_t n = ::pread(handle, p + done, chunk, static_cast<off_t>(position + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t FileWriteAt(int handle, const void* buffer, int64_t count, int64_t position) {
  if (count < 0 || position < 0) {
    errno = EINVAL;
    return -1;
  }
  const auto* p = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const size_t chunk = static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30));
    const ssize_t n = ::pwrite(handle, p + done, chunk, static_cast<off_t>(position + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {
      errno = ENOSPC;
      return -1;
    }
    done += n;
  }
  return done;
}

namespace {

std::atomic<bool> g_fallocateAvailable{true};

int Truncate(int handle, int64_t size) {
  int r;
  do {
    r = ::ftruncate(handle, static_cast<off_t>(size));
  } while (r != 0 && errno == EINTR);
  return r;
}

// Writes zeros over [from, to): the blocks are then really taken, as fallocate would take them.
bool WriteZeros(int handle, int64_t from, int64_t to) {
  const std::vector<uint8_t> zeros(static_cast<size_t>(std::min<int64_t>(to - from, 1 << 20)));
  for (int64_t at = from; at < to;) {
    const int64_t n = std::min<int64_t>(to - at, static_cast<int64_t>(zeros.size()));
    if (FileWriteAt(handle, zeros.data(), n, at) != n) return false;
    at += n;
  }
  return true;
}

}  // namespace

void SetFallocateAvailableForTesting(bool available) { g_fallocateAvailable = available; }

bool FileSetSize(int handle, int64_t size) {
  if (size < 0) {
    errno = EINVAL;
    return false;
  }
  struct stat st;
  if (::fstat(handle, &st) != 0) return false;
  const int64_t old = static_cast<int64_t>(st.st_size);
  if (size > old) {
    int r = -1;
    errno = EOPNOTSUPP;
    if (g_fallocateAvailable) {
      do {
        r = ::fallocate(handle, 0, static_cast<off_t>(old), static_cast<off_t>(size - old));
      } while (r != 0 && errno == EINTR);
    }
    // A file system without the call would grow the file sparsely, and a full disk would show only
    // at some later write: the zeros are written now instead.
    if (r != 0 && (errno == EOPNOTSUPP || errno == ENOSYS) && WriteZeros(handle, old, size)) r = 0;
    if (r != 0) {
      // Whatever was taken before the failure is given back.
      const int err = errno;
      Truncate(handle, old);
      errno = err;
      return false;
    }
  }
  return Truncate(handle, size) == 0;
}

bool FileCopyRange(int source, int64_t sourcePosition, int dest, int64_t destPosition, int64_t count) {
  if (count < 0 || sourcePosition < 0 || destPosition < 0) {
    errno = EINVAL;
    return false;
  }
  off_t in = static_cast<off_t>(sourcePosition);
  off_t out = static_cast<off_t>(destPosition);
  int64_t left = count;
  // In the kernel first (no copy through user memory; a reflink on file systems that share blocks).
  while (left > 0) {
    const ssize_t n = ::copy_file_range(source, &in, dest, &out, static_cast<size_t>(std::min<int64_t>(left, 1 << 30)), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    left -= n;
  }
  if (left == 0) return true;
  // Then through a buffer of 1 MiB: for file systems or kernels that refuse, and for whatever is left.
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(left, 1 << 20)));
  while (left > 0) {
    const int64_t chunk = std::min<int64_t>(left, static_cast<int64_t>(buffer.size()));
    const int64_t got = FileReadAt(source, buffer.data(), chunk, in);
    if (got < 0) return false;
    if (got < chunk) {
      errno = EIO;
      return false;
    }
    if (FileWriteAt(dest, buffer.data(), chunk, out) < 0) return false;
    in += chunk;
    out += chunk;
    left -= chunk;
  }
  return true;
}
