#pragma once

#include <string>
#include <string_view>

namespace kivo {

// Returns the text of a CSS string or url() value with its escapes replaced
// by what they stand for: a backslash and up to six hex digits (and one blank
// after them) by that character, a backslash before a line end by nothing,
// and a backslash before any other character by that character.
std::u16string UnescapeCss(std::u16string_view text);

// Returns `text` written so that it reads back whole as the value of a CSS
// string in `quote` ('"' or '\''), or of a url() without quotes when `quote`
// is 0: backslashes, the quote, parentheses and blanks (for a url() without
// quotes), control characters and angle brackets are escaped.
std::u16string EscapeCss(std::u16string_view text, char quote);

}  // namespace kivo
