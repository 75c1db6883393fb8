#include "httpserver/RecordedRequest.h"

#include <strings.h>

#include <algorithm>

namespace kivo::test {

std::optional<std::string> RecordedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : Headers) {
    if (key.size() == name.size() && ::strncasecmp(key.data(), name.data(), name.size()) == 0) {
      return value;
    }
  }
  return std::nullopt;
}

RecordedRequest ParseRequestHead(const std::string& head) {
  RecordedRequest request;
  size_t lineEnd = head.find("\r\n");
  request.RequestLine = head.substr(0, lineEnd);
  const size_t firstSpace = request.RequestLine.find(' ');
  const size_t lastSpace = request.RequestLine.rfind(' ');
  if (firstSpace != std::string::npos && lastSpace > firstSpace) {
    request.Target = request.RequestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
  }
  while (lineEnd != std::string::npos) {
    const size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string_view line = std::string_view(head).substr(start, lineEnd - start);
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
      const size_t value = line.find_first_not_of(' ', colon + 1);
      request.Headers.emplace_back(line.substr(0, colon),
                                   line.substr(std::min(value, line.size())));
    }
  }
  return request;
}

}  // namespace kivo::test
