#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/HttpTarget.h"
#include "support/SystemTime.h"

namespace kivo::platform {

// The longest wait that a Retry-After header can ask for; a server asking for more gets this.
inline constexpr std::chrono::seconds kMaxRetryAfter{120};

// The headers of one HTTP response as libcurl hands them over line by line; a new status line
// starts it afresh, so after a 1xx or a redirect it holds the next response. Each field keeps
// the first header of its name, as it came.
struct HttpResponseHead {
  int32_t Status = 0;
  std::optional<std::string> LastModified;
  std::optional<std::string> ContentLength;
  std::optional<std::string> Location;
  std::optional<std::string> ETag;
  std::optional<std::string> RetryAfter;
  std::optional<std::string> ContentType;
  bool Complete = false;

  // Takes one header line (its line end included, as libcurl gives it).
  void AddLine(std::string_view line);
  // True for a redirect status (301, 302, 303, 307, 308) with a non-empty Location.
  bool IsRedirect() const;
  // The first Last-Modified header, when it holds a valid HTTP date.
  std::optional<SystemTime> LastModifiedTime() const;
  // The first Content-Length header, when it is a plain decimal number.
  std::optional<uint64_t> ContentLengthValue() const;
  // The first ETag header, when it can be kept and sent back (IsAcceptableEtag).
  std::optional<std::string> ETagValue() const;
  // How long the first Retry-After header asks to wait, counted from `now` when it names a
  // date: 0 for a date gone by, at most kMaxRetryAfter; nothing when it is neither a number of
  // seconds nor an HTTP date.
  std::optional<std::chrono::seconds> RetryAfterDelay(
      std::chrono::system_clock::time_point now) const;
};

// Where a redirect leads: the absolute URL without its fragment, and its scheme.
struct HttpRedirectTarget {
  std::string Url;
  HttpScheme Scheme = HttpScheme::Http;
};

// Resolves `location` against `currentUrl`; nothing when it does not parse or leads to a scheme
// other than http and https.
std::optional<HttpRedirectTarget> ResolveRedirect(const std::string& currentUrl,
                                                  std::string_view location);

}  // namespace kivo::platform
