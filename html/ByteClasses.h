#pragma once

#include <string_view>

#include "support/AsciiCase.h"

namespace kivo {

// Space, tab, CR and LF: the bytes that separate words inside a tag.
constexpr bool IsBlankByte(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Space, tab, LF, FF and CR: the blanks of the newer readings (a browser's
// HTML tags, CSS and srcset), which count the form feed too.
constexpr bool IsAsciiWhitespace(char c) {
  return IsBlankByte(c) || c == '\f';
}

// True when the bytes of `text` at `pos` begin with `upperName`, ignoring ASCII
// letter case. Never looks past the end of `text`.
constexpr bool StartsWithNoCase(std::string_view text, size_t pos, std::string_view upperName) {
  return pos <= text.size() && text.size() - pos >= upperName.size() &&
         EqualsNoCase(text.substr(pos, upperName.size()), upperName);
}

// Returns the first position at or after `pos` that holds no blank byte.
constexpr size_t SkipBlankBytes(std::string_view text, size_t pos) {
  while (pos < text.size() && IsBlankByte(text[pos])) {
    ++pos;
  }
  return pos;
}

}  // namespace kivo
