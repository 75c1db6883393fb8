#include "platform/HttpDate.h"

#include <gtest/gtest.h>

namespace kivo::platform {
namespace {

TEST(HttpDateTest, TheThreeFormsGiveTheSameTimeWithTheComputedDayOfWeek) {
  const char* forms[] = {
      "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
      "Sun Nov  6 08:49:37 1994",      "  Sun, 06 Nov 1994 08:49:37 GMT  ",
      "Fri, 06 Nov 1994 08:49:37 GMT",  // a wrong day name is not copied
  };
  for (const char* text : forms) {
    const auto time = ParseHttpDate(text);
    ASSERT_TRUE(time.has_value()) << text;
    EXPECT_EQ(time->Year, 1994) << text;
    EXPECT_EQ(time->Month, 11) << text;
    EXPECT_EQ(time->DayOfWeek, 0) << text;
    EXPECT_EQ(time->Day, 6) << text;
    EXPECT_EQ(time->Hour, 8) << text;
    EXPECT_EQ(time->Minute, 49) << text;
    EXPECT_EQ(time->Second, 37) << text;
    EXPECT_EQ(time->Milliseconds, 0) << text;
  }
}

TEST(HttpDateTest, TwoDigitYearsUseAWindowAndLeapDaysAreKept) {
  EXPECT_EQ(ParseHttpDate("Monday, 01-Jan-01 00:00:00 GMT")->Year, 2001);
  EXPECT_EQ(ParseHttpDate("Thursday, 01-Jan-70 00:00:00 GMT")->Year, 1970);
  EXPECT_EQ(ParseHttpDate("Friday, 31-Dec-99 00:00:00 GMT")->Year, 1999);
  EXPECT_EQ(ParseHttpDate("Tue, 29 Feb 2000 23:59:59 GMT")->Day, 29);
}

TEST(HttpDateTest, AnythingElseIsNoDate) {
  const char* bad[] = {
      "",
      "yesterday",
      "Sun, 06 Nov 1994 08:49:37",           // no zone
      "Sun, 06 Nov 1994 08:49:37 PST",       // not GMT
      "Sun, 31 Nov 1994 08:49:37 GMT",       // no 31 November
      "Sun, 29 Feb 1900 08:49:37 GMT",       // 1900 is no leap year
      "Sun, 06 Nov 1994 24:00:00 GMT",       // hour out of range
      "Sun, 06 Nov 1994 08:60:00 GMT",       // minute out of range
      "Sun, 06 Nov 1994 08:49:37 GMT junk",  // trailing text
      "Sun, 06 Nox 1994 08:49:37 GMT",       // unknown month
      "Sun, 06 Nov 1500 08:49:37 GMT",       // before SYSTEMTIME's range
      "Xyz, 06 Nov 1994 08:49:37 GMT",       // unknown day name
      "1994-11-06T08:49:37Z",
      "Sun Nov  6 08:49:37 1994 GMT",
  };
  for (const char* text : bad) {
    EXPECT_EQ(ParseHttpDate(text), std::nullopt) << text;
  }
}

TEST(HttpDateTest, DayOfWeekMatchesKnownDates) {
  struct Case {
    int year, month, day, dayOfWeek;
  };
  const Case cases[] = {
      {1994, 11, 6, 0}, {2000, 1, 1, 6}, {2000, 2, 29, 2}, {1601, 1, 1, 1}, {2026, 12, 6, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DayOfWeek(c.year, c.month, c.day), c.dayOfWeek) << c.year << "-" << c.month;
  }
}

}  // namespace
}  // namespace kivo::platform
