#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace kivo {

// Reads text that is nothing but decimal digits (no sign, no spaces) as an
// unsigned number, saturating at `max` instead of overflowing; nothing when
// the text is empty or holds any other character. Narrow and UTF-16 text are
// read alike, so that every number field, argument and header is read by
// this one rule and each caller only decides the range it keeps.
template <typename Char>
constexpr std::optional<uint64_t> ParseDecimalDigits(
    std::basic_string_view<Char> text, uint64_t max = std::numeric_limits<uint64_t>::max()) {
  if (text.empty()) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (Char unit : text) {
    if (unit < Char('0') || unit > Char('9')) {
      return std::nullopt;
    }
    const auto digit = static_cast<uint64_t>(unit - Char('0'));
    value = value > max / 10 || max - value * 10 < digit ? max : value * 10 + digit;
  }
  return value;
}

}  // namespace kivo
