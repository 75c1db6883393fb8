#pragma once

#include <cstdint>

namespace kivo {

// A calendar time in the 16-byte layout that the list file stores: eight
// unsigned 16-bit words. Last-Modified times are kept in GMT as the server
// sent them.
struct SystemTime {
  uint16_t Year = 0;
  uint16_t Month = 0;
  uint16_t DayOfWeek = 0;  // 0 is Sunday
  uint16_t Day = 0;
  uint16_t Hour = 0;
  uint16_t Minute = 0;
  uint16_t Second = 0;
  uint16_t Milliseconds = 0;

  friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// Returns true when a and b agree in year, month, day, hour, minute and
// second; the day of week and the milliseconds take no part.
constexpr bool SameSecond(const SystemTime& a, const SystemTime& b) {
  return a.Year == b.Year && a.Month == b.Month && a.Day == b.Day && a.Hour == b.Hour &&
         a.Minute == b.Minute && a.Second == b.Second;
}

}  // namespace kivo
