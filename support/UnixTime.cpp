#include "support/UnixTime.h"

#include <chrono>
#include <cstdio>

namespace kivo {
namespace {

using std::chrono::days;
using std::chrono::floor;
using std::chrono::seconds;
using std::chrono::sys_days;
using std::chrono::sys_seconds;

constexpr int64_t kSecondsPerDay = 24 * 60 * 60;
// The seconds of the years 1 to 32767, the range both a SystemTime and the
// calendar of <chrono> hold.
constexpr int64_t kFirstSecond =
    sys_days(std::chrono::year(1) / 1 / 1).time_since_epoch().count() * kSecondsPerDay;
constexpr int64_t kLastSecond =
    (sys_days(std::chrono::year(32767) / 12 / 31).time_since_epoch().count() + 1) * kSecondsPerDay -
    1;

}  // namespace

std::optional<int64_t> UnixSecondsOf(const SystemTime& time) {
  const std::chrono::year_month_day date{
      std::chrono::year(time.Year), std::chrono::month(time.Month), std::chrono::day(time.Day)};
  if (time.Year == 0 || !date.ok() || time.Hour > 23 || time.Minute > 59 || time.Second > 60) {
    return std::nullopt;
  }
  const int64_t day = sys_days(date).time_since_epoch().count();
  return day * kSecondsPerDay + time.Hour * 3600 + time.Minute * 60 + time.Second;
}

std::optional<SystemTime> SystemTimeOfUnixSeconds(int64_t value) {
  if (value < kFirstSecond || value > kLastSecond) {
    return std::nullopt;
  }
  const sys_seconds instant{seconds(value)};
  const sys_days day = floor<days>(instant);
  const std::chrono::year_month_day date(day);
  const int64_t inDay = (instant - day).count();
  SystemTime time;
  time.Year = static_cast<uint16_t>(static_cast<int>(date.year()));
  time.Month = static_cast<uint16_t>(static_cast<unsigned>(date.month()));
  time.Day = static_cast<uint16_t>(static_cast<unsigned>(date.day()));
  time.DayOfWeek = static_cast<uint16_t>(std::chrono::weekday(day).c_encoding());
  time.Hour = static_cast<uint16_t>(inDay / 3600);
  time.Minute = static_cast<uint16_t>(inDay / 60 % 60);
  time.Second = static_cast<uint16_t>(inDay % 60);
  return time;
}

std::string CompactUtcText(int64_t milliseconds) {
  const std::optional<SystemTime> time =
      SystemTimeOfUnixSeconds(floor<seconds>(std::chrono::milliseconds(milliseconds)).count());
  if (!time) {
    return "0";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%04u%02u%02uT%02u%02u%02uZ", time->Year, time->Month, time->Day,
                time->Hour, time->Minute, time->Second);
  return text;
}

}  // namespace kivo
