#pragma once
// Downloads by http, https and ftp into the caller's hands, on libcurl: a proxy with its own
// credentials, progress, abort, and bounds that hold against hostile servers (connect and stall
// time-outs, a redirect count, a size limit).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The limits every transfer runs under. Read at the start of each transfer.
struct TNetSettings {
  // Certificates https trusts: empty means the system's store; else a PEM file (the tests' own CA).
  std::string CAFile;
  // A body above this many bytes fails: announced by its Content-Length at once, else when it grows
  // past.
  int64_t MaxDownloadSize = int64_t{1} << 30;
  // Time to connect, and time without a byte arriving, before the transfer fails (the stall is
  // looked at about once a second).
  int32_t ConnectTimeoutSeconds = 30;
  int32_t StallTimeoutMs = 30000;
  // Redirects followed (to http or https only).
  int32_t MaxRedirects = 10;
};
TNetSettings GetNetSettings();
void SetNetSettings(const TNetSettings& Settings);

// Starts the transfer library. Runs it once per process however often it is called; it is never
// torn down while the program runs, so no transfer can find it gone.
void NetInitialize();

enum class TNetScheme { Http, Https, Ftp };

struct TNetRequest {
  TNetScheme Scheme = TNetScheme::Http;
  std::string Host;
  int32_t Port = 80;
  // From the "/" after the host on, sent as it stands (bytes outside printable ASCII escaped).
  std::string Path;
  // The server's credentials; empty: none (ftp logs in anonymously).
  std::string User;
  std::string Password;
  // "host:port" of an http proxy; empty: a direct connection, whatever the environment names.
  std::string Proxy;
  std::string ProxyUser;
  std::string ProxyPassword;
  std::string Agent;
};

enum class TNetStatus {
  Done,     // the body arrived whole, or the server ended it early (what arrived is kept)
  Aborted,  // the caller asked to stop; what arrived is kept
  Failed    // no usable answer: see Error
};

struct TNetResult {
  TNetStatus Status = TNetStatus::Failed;
  // The Content-Type header of the final answer as it stands; empty when there was none.
  std::string ContentType;
  int64_t Received = 0;
  // The reason of a failure, in the transfer library's words.
  std::string Error;
};

struct TNetCallbacks {
  // Each piece of the body as it arrives; Expected is the announced length (0 when unknown).
  std::function<void(const void* Data, size_t Size, int64_t Received, int64_t Expected)> OnData;
  // Asked between pieces and at least once a second while nothing arrives: true stops the transfer.
  std::function<bool()> ShouldAbort;
};

// Runs the transfer on the caller's thread until it ends. Never raises for network faults; an
// exception thrown by OnData stops the transfer and passes on to the caller.
TNetResult NetDownload(const TNetRequest& Request, const TNetCallbacks& Callbacks);
