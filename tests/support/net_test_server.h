#pragma once
// The download tests' servers (net_test_server.py): http, https with a CA of their own, a forward
// proxy wanting credentials, and ftp, all on 127.0.0.1, started once per test program and stopped
// when it ends (the script stops by itself when its standard input closes).
#include <filesystem>
#include <string>

namespace testsupport {

class NetTestServer {
 public:
  // The servers of this test program, started on first use. Fails the calling test (and answers a
  // server without ports) when Python, openssl or pyftpdlib is missing: tests never skip for that.
  static NetTestServer& Shared();
  ~NetTestServer();
  NetTestServer(const NetTestServer&) = delete;
  NetTestServer& operator=(const NetTestServer&) = delete;

  bool Running() const { return httpPort_ != 0; }
  // Files here are served by every server.
  std::filesystem::path Www() const { return root_ / "www"; }
  std::string CAFile() const { return (root_ / "ca.pem").string(); }
  int HttpPort() const { return httpPort_; }
  int HttpsPort() const { return httpsPort_; }
  int ProxyPort() const { return proxyPort_; }
  int FtpPort() const { return ftpPort_; }
  // "http://127.0.0.1:port" + Path (Path starting with "/").
  std::string Http(const std::string& Path) const;
  std::string Https(const std::string& Path) const;
  std::string Ftp(const std::string& Path) const;
  // Writes Data as Www()/Name.
  void Put(const std::string& Name, const std::string& Data) const;

 private:
  NetTestServer();
  std::filesystem::path root_;
  int pid_ = -1;
  int stdinFd_ = -1;
  int httpPort_ = 0, httpsPort_ = 0, proxyPort_ = 0, ftpPort_ = 0;
};

}  // namespace testsupport
