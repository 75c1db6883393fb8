#include "platform/HttpDate.h"

#include <array>
#include <cstdint>

#include "platform/HttpText.h"
#include "support/AsciiCase.h"

namespace kivo::platform {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kShortDays = {"Sun", "Mon", "Tue", "Wed",
                                                        "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 7> kLongDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};

// The range that a SYSTEMTIME can hold.
constexpr int kMinYear = 1601;
constexpr int kMaxYear = 30827;

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<size_t>(month - 1)];
}

// A small cursor over the date text; every reader fails without moving on mismatch.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ == text_.size(); }

  bool Literal(std::string_view expected) {
    if (text_.substr(pos_, expected.size()) != expected) {
      return false;
    }
    pos_ += expected.size();
    return true;
  }

  // Reads exactly `minDigits` to `maxDigits` decimal digits.
  std::optional<int> Number(size_t minDigits, size_t maxDigits) {
    size_t count = 0;
    int value = 0;
    while (pos_ + count < text_.size() && count < maxDigits) {
      const char ch = text_[pos_ + count];
      if (ch < '0' || ch > '9') {
        break;
      }
      value = value * 10 + (ch - '0');
      ++count;
    }
    if (count < minDigits) {
      return std::nullopt;
    }
    pos_ += count;
    return value;
  }

  // Reads a run of ASCII letters.
  std::string_view Word() {
    const size_t start = pos_;
    while (pos_ < text_.size() && ((text_[pos_] >= 'A' && text_[pos_] <= 'Z') ||
                                   (text_[pos_] >= 'a' && text_[pos_] <= 'z'))) {
      ++pos_;
    }
    return text_.substr(start, pos_ - start);
  }

  // Skips one or more spaces; false when there is none.
  bool Spaces() {
    const size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] == ' ') {
      ++pos_;
    }
    return pos_ > start;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

std::optional<int> MonthNumber(std::string_view name) {
  for (size_t i = 0; i < kMonths.size(); ++i) {
    if (EqualsNoCase(name, kMonths[i])) {
      return static_cast<int>(i) + 1;
    }
  }
  return std::nullopt;
}

bool IsDayName(std::string_view name, const std::array<std::string_view, 7>& names) {
  for (std::string_view candidate : names) {
    if (EqualsNoCase(name, candidate)) {
      return true;
    }
  }
  return false;
}

struct Fields {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

bool ReadClock(Scanner& in, Fields& fields) {
  const auto hour = in.Number(2, 2);
  if (!hour || !in.Literal(":")) {
    return false;
  }
  const auto minute = in.Number(2, 2);
  if (!minute || !in.Literal(":")) {
    return false;
  }
  const auto second = in.Number(2, 2);
  if (!second) {
    return false;
  }
  fields.hour = *hour;
  fields.minute = *minute;
  fields.second = *second;
  return true;
}

bool ReadZone(Scanner& in) {
  return in.Spaces() && EqualsNoCase(in.Word(), "GMT");
}

// "Sun, 06 Nov 1994 08:49:37 GMT"; `in` stands after the comma.
bool ReadFixdate(Scanner& in, Fields& fields) {
  if (!in.Spaces()) {
    return false;
  }
  const auto day = in.Number(1, 2);
  if (!day || !in.Spaces()) {
    return false;
  }
  const auto month = MonthNumber(in.Word());
  if (!month || !in.Spaces()) {
    return false;
  }
  const auto year = in.Number(4, 5);
  if (!year || !in.Spaces() || !ReadClock(in, fields) || !ReadZone(in)) {
    return false;
  }
  fields.day = *day;
  fields.month = *month;
  fields.year = *year;
  return true;
}

// "Sunday, 06-Nov-94 08:49:37 GMT"; `in` stands after the comma.
bool ReadRfc850(Scanner& in, Fields& fields) {
  if (!in.Spaces()) {
    return false;
  }
  const auto day = in.Number(1, 2);
  if (!day || !in.Literal("-")) {
    return false;
  }
  const auto month = MonthNumber(in.Word());
  if (!month || !in.Literal("-")) {
    return false;
  }
  const auto year = in.Number(2, 2);
  if (!year || !in.Spaces() || !ReadClock(in, fields) || !ReadZone(in)) {
    return false;
  }
  fields.day = *day;
  fields.month = *month;
  // Two-digit years are read in a sliding window: 70..99 are the last century.
  fields.year = *year >= 70 ? 1900 + *year : 2000 + *year;
  return true;
}

// "Sun Nov  6 08:49:37 1994"; `in` stands after the day name.
bool ReadAsctime(Scanner& in, Fields& fields) {
  if (!in.Spaces()) {
    return false;
  }
  const auto month = MonthNumber(in.Word());
  if (!month || !in.Spaces()) {
    return false;
  }
  const auto day = in.Number(1, 2);
  if (!day || !in.Spaces() || !ReadClock(in, fields) || !in.Spaces()) {
    return false;
  }
  const auto year = in.Number(4, 5);
  if (!year) {
    return false;
  }
  fields.day = *day;
  fields.month = *month;
  fields.year = *year;
  return true;
}

bool IsValid(const Fields& f) {
  return f.year >= kMinYear && f.year <= kMaxYear && f.month >= 1 && f.month <= 12 && f.day >= 1 &&
         f.day <= DaysInMonth(f.year, f.month) && f.hour <= 23 && f.minute <= 59 && f.second <= 59;
}

}  // namespace

int DayOfWeek(int year, int month, int day) {
  // Sakamoto's method.
  static constexpr std::array<int, 12> kOffsets = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) {
    year -= 1;
  }
  return (year + year / 4 - year / 100 + year / 400 + kOffsets[static_cast<size_t>(month - 1)] +
          day) %
         7;
}

std::optional<SystemTime> ParseHttpDate(std::string_view text) {
  Scanner in(TrimHeaderSpace(text));
  const std::string_view dayName = in.Word();
  Fields fields;
  bool parsed = false;
  if (in.Literal(",")) {
    if (IsDayName(dayName, kShortDays)) {
      parsed = ReadFixdate(in, fields);
    } else if (IsDayName(dayName, kLongDays)) {
      parsed = ReadRfc850(in, fields);
    }
  } else if (IsDayName(dayName, kShortDays)) {
    parsed = ReadAsctime(in, fields);
  }
  if (!parsed || !in.AtEnd() || !IsValid(fields)) {
    return std::nullopt;
  }
  SystemTime time;
  time.Year = static_cast<uint16_t>(fields.year);
  time.Month = static_cast<uint16_t>(fields.month);
  time.DayOfWeek = static_cast<uint16_t>(DayOfWeek(fields.year, fields.month, fields.day));
  time.Day = static_cast<uint16_t>(fields.day);
  time.Hour = static_cast<uint16_t>(fields.hour);
  time.Minute = static_cast<uint16_t>(fields.minute);
  time.Second = static_cast<uint16_t>(fields.second);
  time.Milliseconds = 0;
  return time;
}

}  // namespace kivo::platform
