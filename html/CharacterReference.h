#pragma once

#include <cstddef>
#include <string_view>

namespace kivo {

// Where a character reference stands: attribute values keep a reference
// without ";" that runs into a letter, a digit or "=", as browsers do, so
// that query strings such as "?a=1&copy=2" read as written.
enum class ReferenceContext { Text, Attribute };

// One decoded character reference.
struct CharacterReference {
  size_t Length = 0;       // units taken, from the "&" on; 0 when there is no reference
  char32_t CodePoint = 0;  // the character it stands for
};

// Reads the character reference that begins with the "&" at `pos` of `text`:
// decimal ("&#38;") and hexadecimal ("&#x26;") references, and the named
// references of HTML 4 with "&apos;". A named reference needs its ";",
// except the Latin-1 names and amp, lt, gt and quot, which browsers also
// read without it. Numbers that name no character give U+FFFD, and those in
// 0x80..0x9F the windows-1252 character that pages mean by them. A number
// takes all its digits; a name is looked at for at most 32 units.
CharacterReference ReadCharacterReference(std::u16string_view text, size_t pos,
                                          ReferenceContext context);

}  // namespace kivo
