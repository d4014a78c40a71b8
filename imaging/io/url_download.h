#pragma once
// Pictures at internet addresses: the address split into its parts and the data downloaded into a
// stream (http, https, ftp).
#include <cstdint>
#include <string>

#include "imaging/core/ie_defs.h"

class TObject;
class TStream;

// An address taken apart: Kind 1 http, 2 https, 3 ftp (URLKindW).
struct TIEURLParts {
  int32_t Kind = 0;
  std::string User;
  std::string Password;
  std::string Host;
  int32_t Port = 0;
  // From the first "/" after the host on, that "/" included.
  std::string Path;
};

// Splits Address: the scheme's prefix goes; the rest needs a "/" (host part before it, path from
// it on); a host part with "@" needs a ":" and gives user (before the first ":", or before the "@"
// when that ":" comes after it) and password (between that ":" and the "@"); a ":" in what is left
// gives the port (80 when it is not a number, https too), else 80, 443 or 21 by scheme. False for
// another scheme, no "/", "@" without ":".
bool SplitURL(const std::string& Address, TIEURLParts& Parts);

// Downloads Address into Destination (written at its position). With Proxy ("host:port", empty for
// a direct connection) ProxyUser and ProxyPassword go to the proxy and the address's own credentials
// to the server. ContentType: for http and https the Content-Type header after its "/", for ftp the
// file's extension without the dot (at most 10 characters). ProgressMethod, when given, hears the
// percentage after each piece of a body of known length. *Aborting (may be nil) stops the transfer;
// what arrived stays in Destination and the result is True, as it is for a body the server cuts
// short. False for an address SplitURL refuses, a server that cannot be reached or not trusted, an
// answer with status 400 or more, too many redirects, a body past the size limit, a stall.
bool DownloadURL(const std::string& Address, TStream& Destination, const std::string& Proxy,
                 std::string& ContentType, bool* Aborting, TObject* ProgressSender,
                 const TIEProgressEvent& ProgressMethod, const std::string& ProxyPassword,
                 const std::string& ProxyUser);
