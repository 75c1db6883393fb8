#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "support/SystemTime.h"

namespace kivo::platform {

// Parses an HTTP date leniently, as recipients should: the IMF-fixdate "Sun, 06 Nov 1994
// 08:49:37 GMT", the RFC 850 form "Sunday, 06-Nov-94 08:49:37 GMT" and the asctime form
// "Sun Nov  6 08:49:37 1994", also with another zone or none (GMT), without the weekday or
// with a four-digit RFC 850 year. Gives the time in GMT with the day of week computed from the
// date and milliseconds 0, or nothing for text that names no date or one a SystemTime cannot
// hold.
std::optional<SystemTime> ParseHttpDate(std::string_view text);

// Parses an HTTP date as ParseHttpDate does, into the instant it names.
std::optional<std::chrono::sys_seconds> ParseHttpDateInstant(std::string_view text);

// Writes `time` (GMT) as an IMF-fixdate, "Sun, 06 Nov 1994 08:49:37 GMT", with the weekday
// computed from the date and the milliseconds left out; nothing for a time that names no real
// second or whose year has other than four digits.
std::optional<std::string> FormatHttpDate(const SystemTime& time);

}  // namespace kivo::platform
