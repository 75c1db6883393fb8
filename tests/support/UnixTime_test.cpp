#include "support/UnixTime.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

struct TimeCase {
  SystemTime Time;  // with the day of week the conversion gives
  std::optional<int64_t> Seconds;
};

TEST(UnixTime, ConvertsValidTimesBothWaysAndRefusesOthers) {
  for (const TimeCase& c : {
           TimeCase{{1970, 1, 4, 1, 0, 0, 0, 0}, 0},
           TimeCase{{1969, 12, 3, 31, 23, 59, 59, 0}, -1},
           TimeCase{{2000, 2, 2, 29, 12, 0, 0, 0}, 951825600},
           TimeCase{{2026, 12, 1, 7, 10, 15, 0, 0}, 1796638500},
           TimeCase{{1, 1, 1, 1, 0, 0, 0, 0}, -62135596800},
           TimeCase{{2026, 13, 0, 1, 0, 0, 0, 0}, std::nullopt},
           TimeCase{{2026, 2, 0, 30, 0, 0, 0, 0}, std::nullopt},
           TimeCase{{2026, 1, 0, 1, 24, 0, 0, 0}, std::nullopt},
           TimeCase{{0, 1, 0, 1, 0, 0, 0, 0}, std::nullopt},
       }) {
    EXPECT_EQ(UnixSecondsOf(c.Time), c.Seconds) << c.Time.Year << "-" << c.Time.Month;
    if (c.Seconds) {
      EXPECT_EQ(SystemTimeOfUnixSeconds(*c.Seconds), c.Time);
    }
  }
  EXPECT_FALSE(SystemTimeOfUnixSeconds(INT64_MIN));
  EXPECT_FALSE(SystemTimeOfUnixSeconds(INT64_MAX));
  EXPECT_EQ(CompactUtcText(1796638500999), "20261207T101500Z");
}

}  // namespace
}  // namespace kivo
