#pragma once

#include <cstdint>
#include <string_view>

#include "patrol/FetchProgress.h"
#include "platform/HttpSession.h"
#include "support/Limits.h"
#include "support/SystemTime.h"
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
// (<= 1023 chars, "/" when absent), query and fragment included in the path.
SplitUrlResult SplitUrl(std::u16string_view url, WideString& host, WideString& path);

// Downloads url into outputPath. hasTime/lastTime are given together (entries) or both null
// (images: unconditional). Returns 1 when a body was received and written whole, 0 otherwise
// (unchanged page, any failure, HTTP status >= 400). progress may be null.
int FetchUrl(HttpSession& session, std::u16string_view url, std::u16string_view outputPath,
             int32_t* hasTime, SystemTime* lastTime, FetchProgress* progress);

}  // namespace kivo
