#pragma once

#include <string_view>

#include "support/WideString.h"

namespace kivo {

// The prefix that SplitUrl recognised; None means the host starts at the first character.
enum class UrlScheme { None, Http, Https };

struct SplitUrlResult {
  UrlScheme Scheme = UrlScheme::None;
  // True when the host was over kMaxHostLength or the path over kMaxPathLength characters and
  // was cut; such a URL must not be fetched.
  bool Truncated = false;
};

// Splits "http://host/path" (or "https://host/path") into host (<= 255 chars) and path
// (<= 1023 chars, "/" when absent), query and fragment included in the path. The host ends at
// the first "/", "?" or "#"; a path that starts with "?" or "#" gets a "/" in front.
SplitUrlResult SplitUrl(std::u16string_view url, WideString& host, WideString& path);

}  // namespace kivo
