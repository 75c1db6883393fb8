#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "support/SystemTime.h"

namespace kivo {

// Returns the seconds since 1970-01-01 00:00:00 UTC of a GMT calendar time,
// ignoring its day of week and milliseconds, or nothing when it names no
// valid date and time of day.
std::optional<int64_t> UnixSecondsOf(const SystemTime& time);

// Returns the GMT calendar time of `seconds` since 1970-01-01 00:00:00 UTC,
// with its day of week and milliseconds 0, or nothing outside the years 1 to
// 32767.
std::optional<SystemTime> SystemTimeOfUnixSeconds(int64_t seconds);

// Returns `milliseconds` since 1970 as a UTC time for file names, such as
// "20261207T101500Z".
std::string CompactUtcText(int64_t milliseconds);

}  // namespace kivo
