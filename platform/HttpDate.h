#pragma once

#include <optional>
#include <string_view>

#include "support/SystemTime.h"

namespace kivo::platform {

// Parses an HTTP date in any of its three forms (IMF-fixdate "Sun, 06 Nov 1994 08:49:37 GMT",
// the obsolete RFC 850 form "Sunday, 06-Nov-94 08:49:37 GMT" and the asctime form
// "Sun Nov  6 08:49:37 1994") into a SystemTime with the day of week computed from the date and
// milliseconds 0. Returns nothing for any other text or an impossible date.
std::optional<SystemTime> ParseHttpDate(std::string_view text);

// Returns the day of week (0 is Sunday) of a date in the proleptic Gregorian calendar.
int DayOfWeek(int year, int month, int day);

}  // namespace kivo::platform
