#pragma once

#include <optional>
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

}  // namespace kivo::platform
