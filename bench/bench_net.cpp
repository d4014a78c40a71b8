// Downloads from an in-process server on 127.0.0.1 sending 256 MiB from memory: DownloadURL into a
// memory stream against a bare libcurl loop into memory (the same library, same process), and
// DownloadURL into a stream that keeps nothing against the curl command writing to /dev/null from
// the same server. Each transfer's byte count and checksum are compared with what was sent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "imaging/io/url_download.h"
#include "platform/net/net_transfer.h"
#include "platform/system/streams.h"

namespace {

constexpr size_t kBodySize = size_t{256} << 20;

uint64_t Checksum(const uint8_t* p, size_t n) {
  uint64_t sum = 0;
  for (size_t i = 0; i < n; i += 4096) sum = sum * 31 + p[i];
  return sum + n;
}

// Answers every GET with the body, one connection at a time on a thread each.
class BodyServer {
 public:
  BodyServer() : body_(kBodySize) {
    for (size_t i = 0; i < body_.size(); ++i) body_[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd_, 8);
    socklen_t len = sizeof addr;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~BodyServer() {
    stop_ = true;
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/body.bin"; }
  uint64_t Sum() const { return Checksum(body_.data(), body_.size()); }

 private:
  void Run() {
    while (!stop_) {
      const int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) continue;
      std::thread([this, c] { Serve(c); }).detach();
    }
  }
  void Serve(int c) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t n = ::read(c, buf, sizeof buf);
      if (n <= 0) break;
      request.append(buf, static_cast<size_t>(n));
    }
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                             std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n";
    bool ok = ::write(c, head.data(), head.size()) == static_cast<ssize_t>(head.size());
    for (size_t done = 0; ok && done < body_.size();) {
      const ssize_t n = ::write(c, body_.data() + done, body_.size() - done);
      ok = n > 0;
      if (ok) done += static_cast<size_t>(n);
    }
    ::close(c);
  }
  std::vector<uint8_t> body_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

BodyServer& Server() {
  static BodyServer server;
  return server;
}

void BM_DownloadURL(benchmark::State& state) {
  BodyServer& server = Server();
  for (auto _ : state) {
    TMemoryStream s;
    std::string type;
    bool aborting = false;
    if (!DownloadURL(server.Url(), s, "", type, &aborting, nullptr, nullptr, "", "")) state.SkipWithError("failed");
    if (Checksum(static_cast<const uint8_t*>(s.Memory()), static_cast<size_t>(s.Size())) != server.Sum())
      state.SkipWithError("body differs");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_DownloadURL)->Unit(benchmark::kMillisecond)->UseRealTime();

// A stream that keeps nothing: the body's count and checksum only, as /dev/null for the command.
class TNullStream : public TStream {
 public:
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* buffer, int32_t count) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    // The same samples Checksum takes: every 4096th byte of the whole body.
    for (int64_t i = (4096 - size_ % 4096) % 4096; i < count; i += 4096) sum_ = sum_ * 31 + p[i];
    size_ += count;
    return count;
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return size_; }
  uint64_t Sum() const { return sum_ + static_cast<uint64_t>(size_); }

 private:
  int64_t size_ = 0;
  uint64_t sum_ = 0;
};

// DownloadURL into a stream that keeps nothing: the form of the curl command's /dev/null.
void BM_DownloadURLToNull(benchmark::State& state) {
  BodyServer& server = Server();
  for (auto _ : state) {
    TNullStream s;
    std::string type;
    bool aborting = false;
    if (!DownloadURL(server.Url(), s, "", type, &aborting, nullptr, nullptr, "", "")) state.SkipWithError("failed");
    if (s.Sum() != server.Sum()) state.SkipWithError("body differs");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_DownloadURLToNull)->Unit(benchmark::kMillisecond)->UseRealTime();

size_t Append(char* data, size_t size, size_t count, void* user) {
  auto& out = *static_cast<std::vector<uint8_t>*>(user);
  out.insert(out.end(), data, data + size * count);
  return size * count;
}

// The same transfer as a bare libcurl loop into a growing vector.
void BM_BareLibcurl(benchmark::State& state) {
  BodyServer& server = Server();
  NetInitialize();
  for (auto _ : state) {
    std::vector<uint8_t> out;
    CURL* h = curl_easy_init();
    const std::string url = server.Url();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &out);
    if (curl_easy_perform(h) != CURLE_OK) state.SkipWithError("failed");
    curl_easy_cleanup(h);
    if (Checksum(out.data(), out.size()) != server.Sum()) state.SkipWithError("body differs");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_BareLibcurl)->Unit(benchmark::kMillisecond)->UseRealTime();

// The curl command from the same server, its body to /dev/null (its size checked).
void BM_CurlCommand(benchmark::State& state) {
  BodyServer& server = Server();
  for (auto _ : state) {
    const std::string command = "curl -s --noproxy '*' -o /dev/null -w '%{size_download}' " + server.Url();
    FILE* p = ::popen(command.c_str(), "r");
    char out[64] = {};
    const size_t n = p ? std::fread(out, 1, sizeof out - 1, p) : 0;
    if (!p || ::pclose(p) != 0 || std::strtoull(std::string(out, n).c_str(), nullptr, 10) != kBodySize)
      state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBodySize));
}
BENCHMARK(BM_CurlCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
