#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/SystemTime.h"

namespace kivo::platform {

// An entity tag longer than this is neither kept from a response nor sent back.
inline constexpr size_t kMaxEtagBytes = 1024;

// What a conditional GET tells the server about the copy it already has; a server that honours
// them answers 304 when that copy is still current.
struct HttpValidators {
  std::optional<SystemTime> IfModifiedSince;  // the Last-Modified time of the copy (GMT)
  std::optional<std::string> IfNoneMatch;     // its entity tag as it came, a weak W/"…" included

  // True when the request carries any validator at all.
  bool Any() const { return IfModifiedSince.has_value() || IfNoneMatch.has_value(); }
  friend bool operator==(const HttpValidators&, const HttpValidators&) = default;
};

// True when `tag` can be kept and sent back as it came: not empty, at most kMaxEtagBytes, and
// free of control characters (CR and LF among them), so it can never split a request.
bool IsAcceptableEtag(std::string_view tag);

// The request header lines ("If-Modified-Since: …", "If-None-Match: …") for the validators
// that can be sent; one that cannot (a time with no IMF-fixdate, an unacceptable tag) is left
// out, so that the request asks for the whole page instead.
std::vector<std::string> ConditionalHeaderLines(const HttpValidators& validators);

}  // namespace kivo::platform
