#include "platform/HttpDate.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kivo::platform {
namespace {

// Every spelling a server may use for Sunday, 6 November 1994, 08:49:37 GMT.
TEST(HttpDateTest, DatesAreReadLeniently) {
  const char* forms[] = {
      "Sun, 06 Nov 1994 08:49:37 GMT",    "Sunday, 06-Nov-94 08:49:37 GMT",
      "Sun Nov  6 08:49:37 1994",         "  Sun, 06 Nov 1994 08:49:37 GMT\r\n",
      "Fri, 06 Nov 1994 08:49:37 GMT",  // a wrong day name is not copied
      "Sun, 06 Nov 1994 08:49:37 UTC",    "Sun, 06 Nov 1994 08:49:37 +0000",
      "Sun, 06 Nov 1994 17:49:37 +0900",  "06 Nov 1994 08:49:37 GMT",
      "Sunday, 06-Nov-1994 08:49:37 GMT", "Sun, 06 Nov 1994 08:49:37",
  };
  for (const char* text : forms) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseHttpDate(text), (SystemTime{1994, 11, 0, 6, 8, 49, 37, 0}));
  }
}

// What is read is also written back, as an IMF-fixdate that reads the same.
TEST(HttpDateTest, YearsAndNonDates) {
  const std::pair<const char*, std::optional<SystemTime>> cases[] = {
      {"Monday, 01-Jan-01 00:00:00 GMT", SystemTime{2001, 1, 1, 1, 0, 0, 0, 0}},
      {"Friday, 31-Dec-99 00:00:00 GMT", SystemTime{1999, 12, 5, 31, 0, 0, 0, 0}},
      {"Thu, 01 Jan 1970 00:00:00 GMT", SystemTime{1970, 1, 4, 1, 0, 0, 0, 0}},
      {"Mon, 01 Jan 1601 00:00:00 GMT", SystemTime{1601, 1, 1, 1, 0, 0, 0, 0}},
      {"Tue, 29 Feb 2000 23:59:59 GMT", SystemTime{2000, 2, 2, 29, 23, 59, 59, 0}},
      {"", std::nullopt},
      {"yesterday", std::nullopt},
      {"1994-11-06T08:49:37Z", std::nullopt},
      {"Sun, 32 Nov 1994 08:49:37 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 25:00:00 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 08:49:37 XYZ", std::nullopt},
      {"Sun, 06 Nov 1500 08:49:37 GMT", std::nullopt},
  };
  for (const auto& [text, time] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseHttpDate(text), time);
    if (time) {
      EXPECT_EQ(ParseHttpDate(FormatHttpDate(*time).value_or("")), time);
    }
  }
}

// The weekday is computed and the milliseconds are left out; a time that names no real second,
// or a year of other than four digits, is not written.
TEST(HttpDateTest, DatesAreWrittenAsImfFixdates) {
  const std::pair<SystemTime, std::optional<std::string>> cases[] = {
      {{1994, 11, 3, 6, 8, 49, 37, 999}, "Sun, 06 Nov 1994 08:49:37 GMT"},
      {{9999, 12, 0, 31, 0, 0, 0, 0}, "Fri, 31 Dec 9999 00:00:00 GMT"},
      {{1900, 2, 0, 29, 0, 0, 0, 0}, std::nullopt},
      {{2024, 13, 0, 1, 0, 0, 0, 0}, std::nullopt},
      {{2024, 1, 0, 1, 24, 0, 0, 0}, std::nullopt},
      {{2024, 1, 0, 1, 0, 0, 60, 0}, std::nullopt},
      {{10000, 1, 0, 1, 0, 0, 0, 0}, std::nullopt},
  };
  for (const auto& [time, text] : cases) {
    SCOPED_TRACE(text.value_or("none"));
    EXPECT_EQ(FormatHttpDate(time), text);
  }
}

}  // namespace
}  // namespace kivo::platform
