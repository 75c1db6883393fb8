#include "platform/HttpDate.h"

#include <curl/curl.h>

#include <cstdio>
#include <ctime>

#include "platform/HttpText.h"

namespace kivo::platform {
namespace {

// The range that a SYSTEMTIME can hold.
constexpr int kMinYear = 1601;
constexpr int kMaxYear = 30827;

// The year that an IMF-fixdate can write: four digits.
constexpr int kMaxFixdateYear = 9999;

constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::optional<std::chrono::sys_seconds> ParseHttpDateInstant(std::string_view text) {
  // libcurl's parser reads dates the way RFC 9110 asks recipients to: the three HTTP forms, and
  // also "UTC" or a numeric offset for "GMT", a missing weekday, a four-digit year in the
  // RFC 850 form and a missing time of day. Two-digit years 00..70 are read as 2000..2070.
  const std::string copy(TrimHeaderSpace(text));
  if (copy.empty() || copy.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  const time_t seconds = curl_getdate(copy.c_str(), nullptr);
  if (seconds == -1) {
    return std::nullopt;
  }
  return std::chrono::sys_seconds(std::chrono::seconds(seconds));
}

std::optional<SystemTime> ParseHttpDate(std::string_view text) {
  const auto instant = ParseHttpDateInstant(text);
  if (!instant) {
    return std::nullopt;
  }
  const time_t seconds = instant->time_since_epoch().count();
  std::tm fields{};
  if (::gmtime_r(&seconds, &fields) == nullptr) {
    return std::nullopt;
  }
  const int year = fields.tm_year + 1900;
  if (year < kMinYear || year > kMaxYear) {
    return std::nullopt;
  }
  SystemTime time;
  time.Year = static_cast<uint16_t>(year);
  time.Month = static_cast<uint16_t>(fields.tm_mon + 1);
  time.DayOfWeek = static_cast<uint16_t>(fields.tm_wday);
  time.Day = static_cast<uint16_t>(fields.tm_mday);
  time.Hour = static_cast<uint16_t>(fields.tm_hour);
  time.Minute = static_cast<uint16_t>(fields.tm_min);
  time.Second = static_cast<uint16_t>(fields.tm_sec);
  time.Milliseconds = 0;
  return time;
}

std::optional<std::string> FormatHttpDate(const SystemTime& time) {
  using namespace std::chrono;
  // The stored day of week may be anything a list file held, so it is computed, not copied.
  const year_month_day date{year(time.Year), month(time.Month), day(time.Day)};
  if (!date.ok() || time.Year < kMinYear || time.Year > kMaxFixdateYear || time.Hour > 23 ||
      time.Minute > 59 || time.Second > 59) {
    return std::nullopt;
  }
  const weekday dayOfWeek{sys_days(date)};
  char text[64];  // room for the widest that the format can write, though the checks keep it to 29
  std::snprintf(text, sizeof text, "%s, %02u %s %04u %02u:%02u:%02u GMT",
                kDayNames[dayOfWeek.c_encoding()], unsigned{time.Day}, kMonthNames[time.Month - 1],
                unsigned{time.Year}, unsigned{time.Hour}, unsigned{time.Minute},
                unsigned{time.Second});
  return std::string(text);
}

}  // namespace kivo::platform
