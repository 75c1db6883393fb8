#include "platform/HttpValidators.h"

#include <algorithm>

#include "platform/HttpDate.h"

namespace kivo::platform {

bool IsAcceptableEtag(std::string_view tag) {
  const auto isControl = [](char ch) {
    const auto byte = static_cast<unsigned char>(ch);
    return byte < 0x20 || byte == 0x7F;
  };
  return !tag.empty() && tag.size() <= kMaxEtagBytes &&
         std::none_of(tag.begin(), tag.end(), isControl);
}

std::vector<std::string> ConditionalHeaderLines(const HttpValidators& validators) {
  std::vector<std::string> lines;
  if (validators.IfModifiedSince) {
    if (const auto date = FormatHttpDate(*validators.IfModifiedSince)) {
      lines.push_back("If-Modified-Since: " + *date);
    }
  }
  if (validators.IfNoneMatch && IsAcceptableEtag(*validators.IfNoneMatch)) {
    lines.push_back("If-None-Match: " + *validators.IfNoneMatch);
  }
  return lines;
}

}  // namespace kivo::platform
