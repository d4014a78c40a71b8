#include "tests/support/net_test_server.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

#include <fstream>
#include <random>
#include <sstream>

extern char** environ;

namespace testsupport {

NetTestServer& NetTestServer::Shared() {
  static NetTestServer server;
  EXPECT_TRUE(server.Running()) << "the test servers (tests/support/net_test_server.py) did not start: "
                                   "python3, openssl and python3-pyftpdlib are needed";
  return server;
}

NetTestServer::NetTestServer() {
  std::random_device rd;
  root_ = std::filesystem::temp_directory_path() / ("brimvale-net-" + std::to_string(rd()) + std::to_string(::getpid()));
  std::filesystem::create_directories(root_ / "www");
  const std::string script = (DataDir().parent_path() / "support" / "net_test_server.py").string();
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  const std::string root = root_.string();
  const char* argv[] = {"/usr/bin/python3", script.c_str(), root.c_str(), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  stdinFd_ = in[1];
  if (rc != 0) {
    ::close(out[0]);
    return;
  }
  pid_ = pid;
  // The ports line, or nothing within 20 seconds (a server that cannot start exits at once).
  std::string line;
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 20000) <= 0) break;
    char c;
    if (::read(out[0], &c, 1) != 1 || c == '\n') break;
    line += c;
  }
  ::close(out[0]);
  std::istringstream ports(line);
  ports >> httpPort_ >> httpsPort_ >> proxyPort_ >> ftpPort_;
  if (!ports) httpPort_ = httpsPort_ = proxyPort_ = ftpPort_ = 0;
}

NetTestServer::~NetTestServer() {
  if (stdinFd_ >= 0) ::close(stdinFd_);
  if (pid_ > 0) {
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

std::string NetTestServer::Http(const std::string& Path) const {
  return "http://127.0.0.1:" + std::to_string(httpPort_) + Path;
}
std::string NetTestServer::Https(const std::string& Path) const {
  return "https://127.0.0.1:" + std::to_string(httpsPort_) + Path;
}
std::string NetTestServer::Ftp(const std::string& Path) const {
  return "ftp://127.0.0.1:" + std::to_string(ftpPort_) + Path;
}

void NetTestServer::Put(const std::string& Name, const std::string& Data) const {
  std::ofstream f(Www() / Name, std::ios::binary);
  f.write(Data.data(), static_cast<std::streamsize>(Data.size()));
}

}  // namespace testsupport
