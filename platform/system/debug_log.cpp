#include "platform/system/debug_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <mutex>

#include "platform/system/exception.h"

namespace {

std::mutex g_logLock;
std::string g_logFileName;

std::string LogLine(const std::string& message) {
  const std::time_t now = std::time(nullptr);
  struct tm local;
  ::localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  return std::string(stamp) + " : " + message + "\n";
}

// One write() with O_APPEND keeps lines of several threads and processes whole.
bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

void SetDebugLogFileName(const std::string& fileName) {
  std::lock_guard<std::mutex> lock(g_logLock);
  g_logFileName = fileName;
}

std::string DebugLogFileName() {
  std::lock_guard<std::mutex> lock(g_logLock);
  return g_logFileName;
}

void AppendLogLine(const std::string& fileName, const std::string& message) {
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int err = errno;
    throw EInOutError(Format("Cannot open file \"%s\". %s", fileName.c_str(), SysErrorMessage(err).c_str()), err);
  }
  const bool ok = WriteAll(fd, LogLine(message));
  const int err = errno;
  ::close(fd);
  if (!ok) throw EInOutError(Format("I/O error %d", err), err);
}

void OutputDebugString(const std::string& message) {
  std::lock_guard<std::mutex> lock(g_logLock);
  if (g_logFileName.empty()) {
    WriteAll(STDERR_FILENO, LogLine(message));
    return;
  }
  try {
    AppendLogLine(g_logFileName, message);
  } catch (const Exception&) {
  }
}
