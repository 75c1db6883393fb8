#include "platform/HttpResponseHead.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/HttpValidators.h"

namespace kivo::platform {
namespace {

// A head with `lines` as its header lines (the fields are read whatever the status).
HttpResponseHead HeadWith(const std::vector<std::string>& lines) {
  HttpResponseHead head;
  for (const std::string& line : lines) {
    head.AddLine(line);
  }
  return head;
}

// The first ETag counts, kept as it came, unless it could not be sent back safely.
TEST(HttpResponseHeadTest, EntityTagsAreKeptOnlyWhenTheyCanBeSentBack) {
  const std::string longest = '"' + std::string(kMaxEtagBytes - 2, 'x') + '"';
  const std::pair<std::vector<std::string>, std::optional<std::string>> cases[] = {
      {{"etag:   W/\"abc\"  "}, "W/\"abc\""},
      {{"ETag: \"\xE6\x97\xA5\""}, "\"\xE6\x97\xA5\""},
      {{"ETag: " + longest}, longest},
      {{"ETag: " + longest + "x"}, std::nullopt},
      {{"ETag: \"a\x7F\""}, std::nullopt},
      {{"ETag:"}, std::nullopt},
      {{"ETag: \"a\x01\"", "ETag: \"b\""}, std::nullopt},
      {{"ETag: \"a\"", "ETag: \"b\""}, "\"a\""},
  };
  for (const auto& [lines, tag] : cases) {
    SCOPED_TRACE(lines.front());
    EXPECT_EQ(HeadWith(lines).ETagValue(), tag);
  }
}

// Seconds or a date, counted from now and bounded by kMaxRetryAfter.
TEST(HttpResponseHeadTest, RetryAfterIsABoundedWait) {
  using std::chrono::seconds;
  // Sun, 06 Nov 1994 08:49:37 GMT
  const std::chrono::system_clock::time_point now{seconds(784111777)};
  const std::pair<const char*, std::optional<seconds>> cases[] = {
      {"Retry-After:  30 ", seconds(30)},
      {"Retry-After: 99999999999999999999999", kMaxRetryAfter},
      {"Retry-After: Sun, 06 Nov 1994 08:50:07 GMT", seconds(30)},
      {"Retry-After: Sun, 06 Nov 1994 08:49:00 GMT", seconds(0)},
      {"Retry-After: Fri, 31 Dec 9999 23:59:59 GMT", kMaxRetryAfter},
      {"Retry-After: -5", std::nullopt},
      {"Retry-After: soon", std::nullopt},
      {"X-Other: 5", std::nullopt},
  };
  for (const auto& [line, wait] : cases) {
    SCOPED_TRACE(line);
    EXPECT_EQ(HeadWith({line}).RetryAfterDelay(now), wait);
  }
}

}  // namespace
}  // namespace kivo::platform
