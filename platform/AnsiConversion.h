#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/WideString.h"

namespace kivo {

// Converts narrow page bytes in the ANSI code page to UTF-16. With count -1
// the input is NUL-terminated. The conversion is lossless: a byte that does
// not decode becomes U+DC80 + byte. The result is cut at an embedded NUL, as
// every WideString is.
WideString AnsiToWide(const char* bytes, int64_t count);

// Converts UTF-16 text to the ANSI code page. Escaped bytes become their byte
// again; a character the code page lacks is written as percent-encoded UTF-8.
std::string WideToAnsi(std::u16string_view text);

// The same conversion without the cut at NUL, for callers that need every unit.
std::u16string DecodeAnsi(std::string_view bytes);

}  // namespace kivo
