// The address splitting and the download into a stream; the transfer itself is platform/net's.
#include "imaging/io/url_download.h"

#include <algorithm>
#include <atomic>

#include "imaging/core/ie_text_utils.h"
#include "platform/net/net_transfer.h"
#include "platform/system/streams.h"

namespace {

// The agent the requests name.
constexpr const char* kAgent = "Mozilla/4.*";

}  // namespace

bool SplitURL(const std::string& Address, TIEURLParts& Parts) {
  Parts = TIEURLParts();
  Parts.Kind = URLKindW(Address);
  static constexpr size_t kPrefix[] = {0, 7, 8, 6};
  if (Parts.Kind < 1 || Parts.Kind > 3) return false;
  const std::string rest = Address.substr(kPrefix[Parts.Kind]);
  const size_t slash = rest.find('/');
  if (slash == std::string::npos) return false;
  std::string hostPart = rest.substr(0, slash);
  Parts.Path = rest.substr(slash);
  const size_t at = hostPart.find('@');
  if (at != std::string::npos) {
    const size_t colon = hostPart.find(':');
    if (colon == std::string::npos) return false;
    // A ":" only after the "@" is the port's: the user name ends at the "@" and the password is
    // empty (taken up to the ":", the user name would carry the host along to the server).
    Parts.User = hostPart.substr(0, std::min(colon, at));
    if (colon < at) Parts.Password = hostPart.substr(colon + 1, at - colon - 1);
    hostPart = hostPart.substr(at + 1);
  }
  const size_t colon = hostPart.find(':');
  if (colon != std::string::npos) {
    Parts.Port = IEStrToIntDef(hostPart.substr(colon + 1), 80);
    Parts.Host = hostPart.substr(0, colon);
  } else {
    static constexpr int32_t kPort[] = {0, 80, 443, 21};
    Parts.Port = kPort[Parts.Kind];
    Parts.Host = hostPart;
  }
  return true;
}

bool DownloadURL(const std::string& Address, TStream& Destination, const std::string& Proxy,
                 std::string& ContentType, bool* Aborting, TObject* ProgressSender,
                 const TIEProgressEvent& ProgressMethod, const std::string& ProxyPassword,
                 const std::string& ProxyUser) {
  ContentType.clear();
  TIEURLParts parts;
  if (!SplitURL(Address, parts)) return false;
  TNetRequest request;
  request.Scheme = parts.Kind == 2 ? TNetScheme::Https : parts.Kind == 3 ? TNetScheme::Ftp : TNetScheme::Http;
  request.Host = parts.Host;
  request.Port = parts.Port;
  request.Path = parts.Path;
  request.User = parts.User;
  request.Password = parts.Password;
  request.Proxy = Proxy;
  request.ProxyUser = ProxyUser;
  request.ProxyPassword = ProxyPassword;
  request.Agent = kAgent;

  TNetCallbacks callbacks;
  callbacks.OnData = [&](const void* data, size_t size, int64_t received, int64_t expected) {
    Destination.WriteBuffer(data, static_cast<int32_t>(size));
    if (ProgressMethod && expected > 0)
      ProgressMethod(ProgressSender, static_cast<int32_t>(received * (100.0 / static_cast<double>(expected))));
  };
  if (Aborting) callbacks.ShouldAbort = [Aborting] { return std::atomic_ref<bool>(*Aborting).load(); };
  const TNetResult result = NetDownload(request, callbacks);
  if (result.Status == TNetStatus::Failed) return false;
  if (parts.Kind == 3) {
    ContentType = GetFileExtLower(parts.Path, false).substr(0, 10);
    // The extension as the path writes it, not lower-cased.
    const size_t dot = parts.Path.rfind('.');
    if (!ContentType.empty() && dot != std::string::npos) ContentType = parts.Path.substr(dot + 1, 10);
  } else {
    const size_t slash = result.ContentType.find('/');
    if (slash != std::string::npos) ContentType = result.ContentType.substr(slash + 1);
  }
  return true;
}
