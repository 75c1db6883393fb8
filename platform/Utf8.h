#pragma once

#include <string>
#include <string_view>

namespace kivo::platform {

// The two halves of a UTF-16 surrogate pair.
constexpr bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Code units U+DC80..U+DCFF stand for single bytes 0x80..0xFF that did not
// decode. Carrying them through UTF-16 makes every byte conversion lossless.
constexpr char16_t kEscapedByteBase = 0xDC00;
constexpr bool IsEscapedByte(char16_t unit) {
  return unit >= 0xDC80 && unit <= 0xDCFF;
}

// True when text[i] is an escaped byte. A unit in that range right after a
// high surrogate is the second half of a character beyond the first plane
// (U+1F480 is D83D DC80), never an escaped byte.
constexpr bool IsEscapedByteAt(std::u16string_view text, size_t i) {
  return IsEscapedByte(text[i]) && !(i > 0 && IsHighSurrogate(text[i - 1]));
}

// Encodes UTF-16 as UTF-8. Surrogate pairs become one character, escaped bytes
// their raw byte again, and any other lone surrogate becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view text);

// Decodes UTF-8 to UTF-16. Each byte that is not part of a well-formed
// sequence becomes an escaped byte, so Utf8FromUtf16 gives back the input.
std::u16string Utf16FromUtf8(std::string_view bytes);

// Appends the UTF-8 form of one code point to `out`.
void AppendUtf8(char32_t codePoint, std::string& out);

}  // namespace kivo::platform
