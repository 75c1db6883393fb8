#pragma once

#include <string_view>

namespace kivo {

// Case folding for tag names, attribute names, file-name extensions and
// header names. Only ASCII letters fold, whatever the locale says, because
// these names are ASCII by definition and must compare the same everywhere.

// Folds one code unit to upper case if it is an ASCII letter.
constexpr char16_t AsciiUpper(char16_t ch) {
  return (ch >= u'a' && ch <= u'z') ? static_cast<char16_t>(ch - u'a' + u'A') : ch;
}

// Folds one byte to upper case if it is an ASCII letter.
constexpr char AsciiUpper(char ch) {
  return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
}

namespace detail {

template <class View>
constexpr bool EqualsNoCase(View a, View b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace detail

// True when a and b are equal once ASCII letters are folded.
constexpr bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return detail::EqualsNoCase(a, b);
}

// True when a and b are equal once ASCII letters are folded.
constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  return detail::EqualsNoCase(a, b);
}

}  // namespace kivo
