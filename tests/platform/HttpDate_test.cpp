#include "platform/HttpDate.h"

#include <gtest/gtest.h>

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
    const auto time = ParseHttpDate(text);
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(*time, (SystemTime{1994, 11, 0, 6, 8, 49, 37, 0}));
  }
}

TEST(HttpDateTest, YearsAndNonDates) {
  EXPECT_EQ(ParseHttpDate("Monday, 01-Jan-01 00:00:00 GMT")->Year, 2001);
  EXPECT_EQ(ParseHttpDate("Friday, 31-Dec-99 00:00:00 GMT")->Year, 1999);
  EXPECT_EQ(ParseHttpDate("Thu, 01 Jan 1970 00:00:00 GMT")->Year, 1970);
  EXPECT_EQ(ParseHttpDate("Mon, 01 Jan 1601 00:00:00 GMT")->DayOfWeek, 1);
  EXPECT_EQ(ParseHttpDate("Tue, 29 Feb 2000 23:59:59 GMT")->Day, 29);
  for (const char* text : {"", "yesterday", "1994-11-06T08:49:37Z", "Sun, 32 Nov 1994 08:49:37 GMT",
                           "Sun, 06 Nov 1994 25:00:00 GMT", "Sun, 06 Nov 1994 08:49:37 XYZ",
                           "Sun, 06 Nov 1500 08:49:37 GMT"}) {
    EXPECT_EQ(ParseHttpDate(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace kivo::platform
