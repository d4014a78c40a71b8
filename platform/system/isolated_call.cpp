#include "platform/system/isolated_call.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRIMVALE_ISOLATED_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define BRIMVALE_ISOLATED_ASAN 1
#endif
#ifdef BRIMVALE_ISOLATED_ASAN
#include <sanitizer/common_interface_defs.h>
#endif

TSharedBlock::~TSharedBlock() { Release(); }

TSharedBlock::TSharedBlock(TSharedBlock&& other) noexcept : data_(other.data_), size_(other.size_) {
  other.data_ = nullptr;
  other.size_ = 0;
}

TSharedBlock& TSharedBlock::operator=(TSharedBlock&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = other.data_;
    size_ = other.size_;
    other.data_ = nullptr;
    other.size_ = 0;
  }
  return *this;
}

bool TSharedBlock::Allocate(size_t Bytes) {
  Release();
  if (Bytes == 0) Bytes = 1;
  void* p = mmap(nullptr, Bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return false;
  data_ = static_cast<uint8_t*>(p);
  size_ = Bytes;
  return true;
}

void TSharedBlock::Release() {
  if (data_) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

namespace {

std::atomic<int32_t> g_fault{0};

// The child's exit statuses: anything else (or a signal) is a crash.
constexpr int kChildSucceeded = 0;
constexpr int kChildFailed = 3;

[[noreturn]] void RunChild(const std::function<bool()>& Work, int32_t fault) {
#ifdef BRIMVALE_ISOLATED_ASAN
  // A fault the sanitizer finds in the child ends the child, reported as a crash to the parent;
  // a fuzzer's death handler inherited from the parent must not act for it.
  __sanitizer_set_death_callback(nullptr);
#endif
  // A crash here is an answer, not an event: no core file for it, and no crash handler inherited
  // from the parent (a fuzzer's or a crash reporter's) acts for the child.
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  for (int sig : {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGTRAP}) signal(sig, SIG_DFL);
  if (fault == 1) {
    signal(SIGSEGV, SIG_DFL);
    raise(SIGSEGV);
  }
  if (fault == 2)
    for (;;) pause();
  bool ok = false;
  try {
    ok = Work();
  } catch (...) {
    ok = false;
  }
  _exit(ok ? kChildSucceeded : kChildFailed);
}

// Waits for the child to end, at most until Deadline; true when it has ended (not yet reaped).
bool WaitForExit(pid_t pid, std::chrono::steady_clock::time_point deadline) {
#ifdef SYS_pidfd_open
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd >= 0) {
    bool ended = false;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{fd, POLLIN, 0};
      const int r = poll(&p, 1, static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(left.count(), 1 << 30))));
      if (r > 0) {
        ended = true;
        break;
      }
      if (r == 0 || (r < 0 && errno != EINTR)) break;
    }
    close(fd);
    return ended;
  }
#endif
  // Without process descriptors: look now and then, more rarely as time goes on.
  long sleepNs = 100000;
  for (;;) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
      return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    timespec ts{0, sleepNs};
    nanosleep(&ts, nullptr);
    sleepNs = std::min(sleepNs * 2, 10000000L);
  }
}

}  // namespace

void SetIsolatedFaultForTesting(int32_t Fault) { g_fault = Fault; }

TIsolatedResult RunIsolated(const std::function<bool()>& Work, int64_t TimeoutMs) {
  const int32_t fault = g_fault.load();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<int64_t>(TimeoutMs, 0));
  const pid_t pid = fork();
  if (pid < 0) return TIsolatedResult::NotStarted;
  if (pid == 0) RunChild(Work, fault);
  const bool ended = WaitForExit(pid, deadline);
  if (!ended) kill(pid, SIGKILL);
  int status = 0;
  pid_t reaped = -1;
  do reaped = waitpid(pid, &status, 0);
  while (reaped < 0 && errno == EINTR);
  if (!ended) return TIsolatedResult::TimedOut;
  if (reaped != pid) return TIsolatedResult::Crashed;  // reaped elsewhere: how it ended is unknown
  if (WIFEXITED(status)) {
    if (WEXITSTATUS(status) == kChildSucceeded) return TIsolatedResult::Succeeded;
    if (WEXITSTATUS(status) == kChildFailed) return TIsolatedResult::Failed;
  }
  return TIsolatedResult::Crashed;
}
