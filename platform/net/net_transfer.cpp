// Downloads on libcurl. One easy handle per transfer, so transfers on several threads share nothing
// but the library's global state, started once.
#include "platform/net/net_transfer.h"

#include <curl/curl.h>

#include <chrono>
#include <exception>
#include <memory>
#include <mutex>

#include "platform/system/debug_log.h"

namespace {

std::mutex g_settingsLock;
TNetSettings g_settings;

struct TEasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct TListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

// What the callbacks share with the transfer.
struct TTransferState {
  CURL* Handle = nullptr;
  const TNetCallbacks* Callbacks = nullptr;
  int64_t MaxSize = 0;
  int64_t Received = 0;
  bool Aborted = false;
  bool TooLarge = false;
  bool Stalled = false;
  std::chrono::milliseconds StallTimeout{0};
  std::chrono::steady_clock::time_point LastByte;
  std::exception_ptr Error;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto& state = *static_cast<TTransferState*>(user);
  const size_t bytes = size * count;
  if (state.Callbacks->ShouldAbort && state.Callbacks->ShouldAbort()) {
    state.Aborted = true;
    return CURL_WRITEFUNC_ERROR;
  }
  if (static_cast<int64_t>(bytes) > state.MaxSize - state.Received) {
    state.TooLarge = true;
    return CURL_WRITEFUNC_ERROR;
  }
  state.Received += static_cast<int64_t>(bytes);
  state.LastByte = std::chrono::steady_clock::now();
  if (state.Callbacks->OnData) {
    curl_off_t expected = -1;
    curl_easy_getinfo(state.Handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
    try {
      state.Callbacks->OnData(data, bytes, state.Received, expected > 0 ? static_cast<int64_t>(expected) : 0);
    } catch (...) {
      // Exceptions never cross the C library: kept and raised again once it has returned.
      state.Error = std::current_exception();
      return CURL_WRITEFUNC_ERROR;
    }
  }
  return bytes;
}

// Called by the library at least once a second, also while nothing arrives: a stalled transfer can
// be stopped too.
int TransferInfo(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto& state = *static_cast<TTransferState*>(user);
  if (state.Callbacks->ShouldAbort && state.Callbacks->ShouldAbort()) {
    state.Aborted = true;
    return 1;
  }
  if (std::chrono::steady_clock::now() - state.LastByte > state.StallTimeout) {
    state.Stalled = true;
    return 1;
  }
  return 0;
}

// The path as the URL carries it: bytes a URL cannot hold as they are (controls, spaces, non-ASCII)
// percent-escaped; everything else, escapes the caller wrote included, kept.
std::string EscapePath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
        c == '{' || c == '|' || c == '}') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Host names, IPv4 addresses and bracketed IPv6 addresses; anything else (a second "@", a "/", a
// "#", a space) would let the URL mean another host than the one split off.
bool IsPlainHost(const std::string& host) {
  if (host.empty() || host.size() > 253) return false;
  for (unsigned char c : host) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '-' || c == '_' || c == '[' || c == ']' || c == ':';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

TNetSettings GetNetSettings() {
  std::lock_guard lock(g_settingsLock);
  return g_settings;
}

void SetNetSettings(const TNetSettings& Settings) {
  std::lock_guard lock(g_settingsLock);
  g_settings = Settings;
}

void NetInitialize() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

TNetResult NetDownload(const TNetRequest& Request, const TNetCallbacks& Callbacks) {
  NetInitialize();
  TNetResult result;
  const TNetSettings settings = GetNetSettings();
  if (!IsPlainHost(Request.Host) || Request.Port < 1 || Request.Port > 65535) {
    result.Error = "invalid host or port";
    OutputDebugString("Download of \"" + Request.Host + "\" refused: " + result.Error);
    return result;
  }
  const char* scheme = Request.Scheme == TNetScheme::Https ? "https" : Request.Scheme == TNetScheme::Ftp ? "ftp" : "http";
  const std::string url =
      std::string(scheme) + "://" + Request.Host + ":" + std::to_string(Request.Port) + EscapePath(Request.Path);

  std::unique_ptr<CURL, TEasyDeleter> easy(curl_easy_init());
  if (!easy) {
    result.Error = "the transfer library cannot start a transfer";
    OutputDebugString("Download of " + url + " failed: " + result.Error);
    return result;
  }
  CURL* h = easy.get();
  TTransferState state;
  state.Handle = h;
  state.Callbacks = &Callbacks;
  state.MaxSize = settings.MaxDownloadSize;
  state.StallTimeout = std::chrono::milliseconds(settings.StallTimeoutMs);
  state.LastByte = std::chrono::steady_clock::now();
  char errorText[CURL_ERROR_SIZE] = {};

  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(settings.MaxRedirects));
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(settings.ConnectTimeoutSeconds));
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(settings.MaxDownloadSize));
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!settings.CAFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, settings.CAFile.c_str());
  // An empty proxy is a direct connection: the environment's http_proxy does not apply.
  curl_easy_setopt(h, CURLOPT_PROXY, Request.Proxy.c_str());
  if (!Request.Proxy.empty()) {
    curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, Request.ProxyUser.c_str());
    curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, Request.ProxyPassword.c_str());
  }
  if (!Request.User.empty() || !Request.Password.empty()) {
    curl_easy_setopt(h, CURLOPT_USERNAME, Request.User.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, Request.Password.c_str());
  }
  curl_easy_setopt(h, CURLOPT_USERAGENT, Request.Agent.c_str());
  std::unique_ptr<curl_slist, TListDeleter> headers;
  if (Request.Scheme != TNetScheme::Ftp) {
    // A fresh copy from the server, never a cache's.
    headers.reset(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  } else {
    curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
  }
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &state);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &TransferInfo);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &state);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

  const CURLcode code = curl_easy_perform(h);
  if (state.Error) std::rethrow_exception(state.Error);
  result.Received = state.Received;
  const char* contentType = nullptr;
  if (curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
    result.ContentType = contentType;

  if (code == CURLE_OK) {
    result.Status = TNetStatus::Done;
  } else if (state.Aborted) {
    result.Status = TNetStatus::Aborted;
  } else if (code == CURLE_PARTIAL_FILE) {
    // The server closed before the announced end: what arrived is kept.
    result.Status = TNetStatus::Done;
    OutputDebugString("Download of " + url + " ended early after " + std::to_string(state.Received) + " bytes");
  } else {
    result.Status = TNetStatus::Failed;
    if (state.Stalled)
      result.Error = "nothing arrived for " + std::to_string(settings.StallTimeoutMs) + " ms";
    else if (state.TooLarge || code == CURLE_FILESIZE_EXCEEDED)
      result.Error = "the body exceeds " + std::to_string(settings.MaxDownloadSize) + " bytes";
    else
      result.Error = errorText[0] ? errorText : curl_easy_strerror(code);
    OutputDebugString("Download of " + url + " failed: " + result.Error);
  }
  return result;
}
