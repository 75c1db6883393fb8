#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivo::test {

// One request that the test server received, as it came.
struct RecordedRequest {
  std::string RequestLine;  // e.g. "GET /a?b#c HTTP/1.1"
  std::string Target;
  std::vector<std::pair<std::string, std::string>> Headers;  // in the order sent
  int ConnectionId = 0;  // requests on one connection share the id

  // The first header of that name (case-insensitive), if any.
  std::optional<std::string> Header(std::string_view name) const;
};

// Parses a request head (without its final blank line) into its line, target and headers.
RecordedRequest ParseRequestHead(const std::string& head);

}  // namespace kivo::test
