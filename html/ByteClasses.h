#pragma once

#include <string_view>

namespace kivo {

// Space, tab, CR and LF: the bytes that separate words inside a tag.
constexpr bool IsBlankByte(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Folds one byte to upper case if it is an ASCII letter.
constexpr char AsciiUpperByte(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when `bytes` equals `upperName` (upper-case ASCII) ignoring ASCII letter case.
constexpr bool EqualsNoCase(std::string_view bytes, std::string_view upperName) {
  if (bytes.size() != upperName.size()) {
    return false;
  }
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (AsciiUpperByte(bytes[i]) != upperName[i]) {
      return false;
    }
  }
  return true;
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
