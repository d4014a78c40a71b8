#include "platform/system/isolated_call.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

extern char** environ;

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

TSharedBlock::TSharedBlock(TSharedBlock&& other) noexcept : data_(other.data_), size_(other.size_), fd_(other.fd_) {
  other.data_ = nullptr;
  other.size_ = 0;
  other.fd_ = -1;
}

TSharedBlock& TSharedBlock::operator=(TSharedBlock&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = other.data_;
    size_ = other.size_;
    fd_ = other.fd_;
    other.data_ = nullptr;
    other.size_ = 0;
    other.fd_ = -1;
  }
  return *this;
}

bool TSharedBlock::Allocate(size_t Bytes) {
  Release();
  if (Bytes == 0) Bytes = 1;
  // A memory file, so that a helper can be handed the block; without one, shared anonymous memory
  // (children forked after this see it all the same).
  const int fd = static_cast<int>(syscall(SYS_memfd_create, "brimvale-shared", 1u /* MFD_CLOEXEC */));
  if (fd >= 0 && ftruncate(fd, static_cast<off_t>(Bytes)) != 0) {
    close(fd);
    return false;
  }
  void* p = mmap(nullptr, Bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE | (fd < 0 ? MAP_ANONYMOUS : 0),
                 fd, 0);
  if (p == MAP_FAILED) {
    if (fd >= 0) close(fd);
    return false;
  }
  data_ = static_cast<uint8_t*>(p);
  size_ = Bytes;
  fd_ = fd;
  return true;
}

void TSharedBlock::Release() {
  if (data_) munmap(data_, size_);
  if (fd_ >= 0) close(fd_);
  data_ = nullptr;
  size_ = 0;
  fd_ = -1;
}

namespace {

std::atomic<int32_t> g_fault{0};

// The child's exit statuses: anything else (or a signal) is a crash.
constexpr int kChildSucceeded = 0;
constexpr int kChildFailed = 3;

// A crash in a child or helper is an answer, not an event: no core file for it, and no crash handler
// inherited from the parent (a fuzzer's or a crash reporter's) acts for it.
void QuietCrashes() {
#ifdef BRIMVALE_ISOLATED_ASAN
  // A fault the sanitizer finds ends the process, reported as a crash to the parent; a fuzzer's
  // death handler inherited from the parent must not act for it.
  __sanitizer_set_death_callback(nullptr);
#endif
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  for (int sig : {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGTRAP}) signal(sig, SIG_DFL);
}

// The test seam's faults, in the process doing the work.
void ActOnFault(int32_t fault) {
  if (fault == 1) {
    signal(SIGSEGV, SIG_DFL);
    raise(SIGSEGV);
  }
  if (fault == 2)
    for (;;) pause();
}

[[noreturn]] void RunChild(const std::function<bool()>& Work, int32_t fault) {
  QuietCrashes();
  ActOnFault(fault);
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

// --- helpers -----------------------------------------------------------------------------------------

namespace {

// A helper is this program started with this variable naming the socket it serves on.
constexpr char kHelperVariable[] = "BRIMVALE_ISOLATED_HELPER";
constexpr int kHelperFd = 3;
constexpr char kHelperFdText[] = "3";
constexpr char kHelperSetting[] = "BRIMVALE_ISOLATED_HELPER=3";

// The handlers, in a table that is valid before any constructor has run.
struct THandlerEntry {
  char name[32];
  TIsolatedHandler handler;
};
constexpr int kMaxHandlers = 32;
THandlerEntry g_handlers[kMaxHandlers];
int g_handlerCount = 0;

TIsolatedHandler FindHandler(const char* name) {
  for (int i = 0; i < g_handlerCount; ++i)
    if (std::strncmp(g_handlers[i].name, name, sizeof g_handlers[i].name) == 0) return g_handlers[i].handler;
  return nullptr;
}

// One request and its answer on the helper's socket (a packet each; the blocks' memory files ride
// along with the request).
struct TRequest {
  char name[32];
  uint64_t argsSize;
  uint64_t inSize;
  uint64_t outSize;
  int32_t fault;
  uint8_t hasIn;
  uint8_t hasOut;
  uint8_t args[kIsolatedMaxArgs];
};
struct TReply {
  int32_t succeeded;
};

// Maps Bytes of a memory file handed over, or null; a file shorter than that is refused (its pages
// past the end would fault).
uint8_t* MapHandedBlock(int fd, uint64_t bytes, bool writable) {
  struct stat st {};
  if (fd < 0 || bytes == 0 || fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) < bytes) return nullptr;
  void* p = mmap(nullptr, static_cast<size_t>(bytes), writable ? PROT_READ | PROT_WRITE : PROT_READ,
                 MAP_SHARED | MAP_POPULATE, fd, 0);
  return p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
}

// The helper's life: one request after another until the program that started it closes the socket
// (or ends), then _exit. It never returns into the program's own start-up.
[[noreturn]] void Serve(int sock) {
  QuietCrashes();
  for (;;) {
    TRequest request;
    alignas(cmsghdr) char control[CMSG_SPACE(2 * sizeof(int))];
    iovec io{&request, sizeof request};
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(sock, &msg, MSG_CMSG_CLOEXEC);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) _exit(0);
    int fds[2] = {-1, -1};
    int handed = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
        const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
          int fd;
          std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
          if (handed < 2)
            fds[handed++] = fd;
          else
            close(fd);
        }
      }
    bool ok = false;
    if (static_cast<size_t>(n) == sizeof request && request.argsSize <= kIsolatedMaxArgs &&
        handed == request.hasIn + request.hasOut) {
      const int inFd = request.hasIn ? fds[0] : -1, outFd = request.hasOut ? fds[request.hasIn] : -1;
      uint8_t* in = request.hasIn ? MapHandedBlock(inFd, request.inSize, false) : nullptr;
      uint8_t* out = request.hasOut ? MapHandedBlock(outFd, request.outSize, true) : nullptr;
      request.name[sizeof request.name - 1] = 0;
      const TIsolatedHandler handler = FindHandler(request.name);
      if (handler && (in || !request.hasIn) && (out || !request.hasOut)) {
        ActOnFault(request.fault);
        const TIsolatedWork work{request.args, static_cast<size_t>(request.argsSize), in,
                                 in ? static_cast<size_t>(request.inSize) : 0, out,
                                 out ? static_cast<size_t>(request.outSize) : 0};
        try {
          ok = handler(work);
        } catch (...) {
          ok = false;
        }
      }
      if (in) munmap(in, static_cast<size_t>(request.inSize));
      if (out) munmap(out, static_cast<size_t>(request.outSize));
    }
    for (int i = 0; i < handed; ++i) close(fds[i]);
    const TReply reply{ok ? 1 : 0};
    if (send(sock, &reply, sizeof reply, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof reply)) _exit(0);
  }
}

// Runs first among the program's own constructors that come after the registrations: in a helper,
// it serves and never lets the program start.
__attribute__((constructor(202), used)) void ServeWhenStartedAsHelper() {
  const char* v = std::getenv(kHelperVariable);
  if (!v || std::strcmp(v, kHelperFdText) != 0) return;
  int type = 0;
  socklen_t length = sizeof type;
  if (getsockopt(kHelperFd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_SEQPACKET) return;
  unsetenv(kHelperVariable);
  Serve(kHelperFd);
}

struct THelper {
  pid_t pid = -1;
  int sock = -1;
};

std::mutex g_idleMutex;
std::vector<THelper> g_idle;  // helpers waiting for work
constexpr size_t kIdleKept = 4;
std::atomic<int64_t> g_helpersStarted{0};

void Reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Ends a helper that is not working (or that must stop): it is killed, so that a helper stuck in a
// request is not waited for.
void EndHelper(THelper& h) {
  if (h.sock >= 0) close(h.sock);
  if (h.pid > 0) {
    kill(h.pid, SIGKILL);
    Reap(h.pid);
  }
  h = THelper();
}

bool StartHelper(THelper& h) {
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) != 0) return false;
  // The helper's end becomes its descriptor kHelperFd (kept across the exec); it must not already
  // be that number, or the duplication would keep its close-on-exec flag.
  if (sv[1] == kHelperFd) {
    const int moved = fcntl(sv[1], F_DUPFD_CLOEXEC, kHelperFd + 1);
    close(sv[1]);
    if (moved < 0) {
      close(sv[0]);
      return false;
    }
    sv[1] = moved;
  }
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e)
    if (std::strncmp(*e, kHelperVariable, sizeof kHelperVariable - 1) != 0) env.emplace_back(*e);
  env.emplace_back(kHelperSetting);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char name[] = "brimvale-helper";
  char* argv[] = {name, nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_adddup2(&actions, sv[1], kHelperFd);
  // No signal blocked or ignored by the caller's threads carries over.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  sigdelset(&all, SIGKILL);
  sigdelset(&all, SIGSTOP);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int r = posix_spawn(&pid, "/proc/self/exe", &actions, &attr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(sv[1]);
  if (r != 0) {
    close(sv[0]);
    return false;
  }
  ++g_helpersStarted;
  h.pid = pid;
  h.sock = sv[0];
  return true;
}

bool TakeHelper(THelper& h) {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(g_idleMutex);
      if (g_idle.empty()) break;
      h = g_idle.back();
      g_idle.pop_back();
    }
    // One that ended while idle (killed from outside) is reaped and replaced.
    int status = 0;
    if (waitpid(h.pid, &status, WNOHANG) == 0) return true;
    close(h.sock);
    h = THelper();
  }
  return StartHelper(h);
}

void GiveBack(THelper& h) {
  {
    std::lock_guard<std::mutex> lock(g_idleMutex);
    if (g_idle.size() < kIdleKept) {
      g_idle.push_back(h);
      h = THelper();
      return;
    }
  }
  EndHelper(h);
}

bool SendRequest(const THelper& h, const TRequest& request, const int* fds, int count) {
  iovec io{const_cast<TRequest*>(&request), sizeof request};
  msghdr msg{};
  msg.msg_iov = &io;
  msg.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(2 * sizeof(int))] = {};
  if (count > 0) {
    msg.msg_control = control;
    msg.msg_controllen = CMSG_SPACE(count * sizeof(int));
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(count * sizeof(int));
    std::memcpy(CMSG_DATA(c), fds, count * sizeof(int));
  }
  ssize_t n;
  do n = sendmsg(h.sock, &msg, MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(sizeof request);
}

}  // namespace

bool RegisterIsolatedHandler(const char* Name, TIsolatedHandler Handler) {
  if (!Name || !Handler || g_handlerCount >= kMaxHandlers) return false;
  const size_t length = std::strlen(Name);
  if (length == 0 || length >= sizeof g_handlers[0].name || FindHandler(Name)) return false;
  THandlerEntry& e = g_handlers[g_handlerCount];
  std::memcpy(e.name, Name, length + 1);
  e.handler = Handler;
  ++g_handlerCount;
  return true;
}

int64_t IsolatedHelpersStarted() { return g_helpersStarted.load(); }

TIsolatedResult RunInHelper(const char* Name, const void* Args, size_t ArgsSize, const TSharedBlock* In,
                            size_t InSize, TSharedBlock* Out, size_t OutSize, int64_t TimeoutMs) {
  TRequest request{};
  const size_t length = Name ? std::strlen(Name) : 0;
  if (length == 0 || length >= sizeof request.name || ArgsSize > kIsolatedMaxArgs || (ArgsSize > 0 && !Args) ||
      (InSize > 0 && (!In || In->fd() < 0 || InSize > In->size())) ||
      (OutSize > 0 && (!Out || Out->fd() < 0 || OutSize > Out->size())))
    return TIsolatedResult::NotStarted;
  std::memcpy(request.name, Name, length + 1);
  request.argsSize = ArgsSize;
  if (ArgsSize > 0) std::memcpy(request.args, Args, ArgsSize);
  request.inSize = InSize;
  request.outSize = OutSize;
  request.fault = g_fault.load();
  request.hasIn = InSize > 0;
  request.hasOut = OutSize > 0;
  int fds[2];
  int count = 0;
  if (InSize > 0) fds[count++] = In->fd();
  if (OutSize > 0) fds[count++] = Out->fd();

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<int64_t>(TimeoutMs, 0));
  THelper h;
  // An idle helper may have ended since its last request (killed from outside): then a fresh one.
  bool sent = false;
  for (int attempt = 0; attempt < 2 && !sent; ++attempt) {
    if (!TakeHelper(h)) return TIsolatedResult::NotStarted;
    sent = SendRequest(h, request, fds, count);
    if (!sent) EndHelper(h);
  }
  if (!sent) return TIsolatedResult::NotStarted;

  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    pollfd p{h.sock, POLLIN, 0};
    const int r = left <= 0 ? 0 : poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 1 << 30)));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      EndHelper(h);
      return r == 0 ? TIsolatedResult::TimedOut : TIsolatedResult::Crashed;
    }
    TReply reply{};
    ssize_t n;
    do n = recv(h.sock, &reply, sizeof reply, 0);
    while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(sizeof reply)) {
      // The helper ended without answering: it crashed (or was killed) in the work.
      EndHelper(h);
      return TIsolatedResult::Crashed;
    }
    const bool succeeded = reply.succeeded == 1;
    GiveBack(h);
    return succeeded ? TIsolatedResult::Succeeded : TIsolatedResult::Failed;
  }
}
