#include "platform/HttpDate.h"

#include <curl/curl.h>

#include <ctime>
#include <string>

#include "platform/HttpText.h"

namespace kivo::platform {
namespace {

// The range that a SYSTEMTIME can hold.
constexpr int kMinYear = 1601;
constexpr int kMaxYear = 30827;

}  // namespace

std::optional<SystemTime> ParseHttpDate(std::string_view text) {
  // libcurl's parser reads dates the way RFC 9110 asks recipients to: the three HTTP forms, and
  // also "UTC" or a numeric offset for "GMT", a missing weekday, a four-digit year in the
  // RFC 850 form and a missing time of day. Two-digit years 00..70 are read as 2000..2070.
  const std::string copy(TrimHeaderSpace(text));
  if (copy.empty() || copy.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  const time_t seconds = curl_getdate(copy.c_str(), nullptr);
  std::tm fields{};
  if (seconds == -1 || ::gmtime_r(&seconds, &fields) == nullptr) {
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

}  // namespace kivo::platform
