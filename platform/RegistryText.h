#pragma once

#include <string>
#include <string_view>

#include "platform/RegistryDocument.h"

namespace kivo::platform {

// The first line of every settings file.
inline constexpr std::string_view kRegistryTextHeader = "Windows Registry Editor Version 5.00";

// What a settings file held: every key and value that could be read, and
// whether the whole text was understood.
struct RegistryParseResult {
  RegistryDocument Document;
  // False when any line was skipped because it could not be read, so that a
  // rewrite would drop something.
  bool Clean = true;
};

// Reads the registry export format: key lines "[path]" followed by value
// lines "name"="text", "name"=dword:0000001e, "name"=hex:.. and
// "name"=hex(N):.. (with "\" line continuations), and @ for the default
// value. The text is UTF-8, or UTF-16LE when it starts with that byte-order
// mark. A line that cannot be read is skipped; the rest is still read.
RegistryParseResult ParseRegistryText(std::string_view text);

// Writes `document` in the same format, UTF-8 with "\n" line ends. Strings
// that a quoted value could not carry unchanged (control characters, a
// missing or an inner NUL, unpaired surrogates) are written as hex(1), so
// parsing the result gives back exactly `document`.
std::string FormatRegistryText(const RegistryDocument& document);

// Returns true when `name` can stand as a key path or value name in the file:
// it holds no control characters and no unpaired surrogates.
bool IsStorableRegistryName(std::u16string_view name);

}  // namespace kivo::platform
