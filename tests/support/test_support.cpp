#include "tests/support/test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <random>
#include <regex>
#include <system_error>

namespace testsupport {

bool RegexMatch(const std::string& Text, const std::string& Pattern, std::vector<std::string>* Groups) {
  std::smatch m;
  if (!std::regex_match(Text, m, std::regex(Pattern))) return false;
  if (Groups) Groups->assign(m.begin(), m.end());
  return true;
}

std::vector<std::vector<std::string>> RegexFindAll(const std::string& Text, const std::string& Pattern) {
  const std::regex re(Pattern);
  std::vector<std::vector<std::string>> all;
  for (auto it = std::sregex_iterator(Text.begin(), Text.end(), re); it != std::sregex_iterator(); ++it) {
    all.emplace_back(it->begin(), it->end());
  }
  return all;
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::string FindProgram(const std::vector<std::string>& names) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (const std::string& name : names) {
    size_t start = 0;
    while (start <= dirs.size()) {
      const size_t end = dirs.find(':', start);
      const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
      const std::filesystem::path candidate = std::filesystem::path(dir.empty() ? "." : dir) / name;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  return std::string();
}

int RunProgram(const std::string& command, std::string* output) {
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
    if (output) output->append(buf, n);
  const int status = ::pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::filesystem::path DataDir() {
  if (const char* dir = std::getenv("BRIMVALE_TEST_DATA")) return dir;
  return BRIMVALE_TEST_DATA_DIR;
}

ScratchDir::ScratchDir() : ScratchDir(std::filesystem::temp_directory_path()) {}

ScratchDir::ScratchDir(const std::filesystem::path& Base) {
  std::random_device rd;
  std::mt19937_64 gen(rd());
  for (int attempt = 0;; ++attempt) {
    path_ = Base / ("brimvale-test-" + std::to_string(gen()));
    std::error_code ec;
    if (std::filesystem::create_directory(path_, ec)) break;
    if (attempt == 100) throw std::filesystem::filesystem_error("cannot make a scratch folder", Base, ec);
  }
}

ScratchDir ScratchDir::InMemory() {
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK | X_OK) == 0)
    return ScratchDir("/dev/shm");
  return ScratchDir();
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

namespace {

void WriteAll(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// The child's side: takes the limits, runs Body, reports through fd. Never returns.
[[noreturn]] void RunChild(int fd, const ChildLimits& Limits, const std::function<std::string()>& Body) {
  constexpr uid_t kNobody = 65534;
  if (Limits.Unprivileged && ::geteuid() == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 || ::geteuid() == 0) {
      WriteAll(fd, "cannot drop to an unprivileged user");
      ::_exit(2);
    }
  }
  if (Limits.FileSizeLimit >= 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(Limits.FileSizeLimit), static_cast<rlim_t>(Limits.FileSizeLimit)};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
      WriteAll(fd, "cannot set the file-size limit");
      ::_exit(2);
    }
  }
  try {
    WriteAll(fd, Body());
  } catch (const std::exception& e) {
    WriteAll(fd, std::string("raised: ") + e.what());
    ::_exit(3);
  } catch (...) {
    WriteAll(fd, "raised");
    ::_exit(3);
  }
  // No exit handlers: they belong to the parent (the test framework, sanitizers' leak reports).
  ::_exit(0);
}

}  // namespace

std::string RunInChild(const ChildLimits& Limits, const std::function<std::string()>& Body) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return {};
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork: " << std::strerror(errno);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return {};
  }
  if (pid == 0) {
    ::close(pipeFds[0]);
    RunChild(pipeFds[1], Limits, Body);
  }
  ::close(pipeFds[1]);
  std::string report;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    report.append(buffer, static_cast<size_t>(n));
  }
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    ADD_FAILURE() << "child process failed (status " << status << "): " << report;
  return report;
}

}  // namespace testsupport
