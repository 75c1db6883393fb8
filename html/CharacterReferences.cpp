#include "html/CharacterReferences.h"

#include <algorithm>
#include <string>

#include "html/CharacterReference.h"

namespace kivo {
namespace {

constexpr bool IsReferenceByte(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '#';
}

// Reads the character reference of an attribute value's bytes that may
// begin at the "&" at `amp`. A reference is ASCII, so only the bytes it can
// span are widened: the run of letters, digits and "#" after the "&", and
// the ";" or "=" that may follow it. Runs after different "&"s never
// overlap, so a value costs time in proportion to its size.
CharacterReference ReadByteReference(std::string_view raw, size_t amp) {
  size_t end = amp + 1;
  while (end < raw.size() && IsReferenceByte(raw[end])) {
    ++end;
  }
  end = std::min(raw.size(), end + 1);
  std::u16string wide(end - amp, u'\0');
  std::transform(raw.begin() + static_cast<std::ptrdiff_t>(amp),
                 raw.begin() + static_cast<std::ptrdiff_t>(end), wide.begin(),
                 [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  return ReadCharacterReference(wide, 0, ReferenceContext::Attribute);
}

void AppendDecimalReference(std::u16string& out, char16_t c) {
  out += u"&#";
  for (const char digit : std::to_string(c)) {
    out += static_cast<char16_t>(digit);
  }
  out += u';';
}

}  // namespace

DecodedAttribute::DecodedAttribute(std::string_view raw) : raw_(raw) {
  if (raw.find('&') == std::string_view::npos) {
    return;
  }
  decoded_ = true;
  text_.reserve(raw.size());
  size_t pos = 0;
  while (pos < raw.size()) {
    const CharacterReference match =
        raw[pos] == '&' ? ReadByteReference(raw, pos) : CharacterReference{};
    if (match.Length == 0) {
      text_ += raw[pos++];
      continue;
    }
    // A character beyond ASCII plays no part in the syntax; "_" stands in for it.
    text_ += match.CodePoint < 0x80 ? static_cast<char>(match.CodePoint) : '_';
    pos += match.Length;
    jumps_.emplace_back(text_.size(), pos);
  }
}

size_t DecodedAttribute::RawOffset(size_t offset) const {
  const auto after = std::upper_bound(
      jumps_.begin(), jumps_.end(), offset,
      [](size_t value, const std::pair<size_t, size_t>& jump) { return value < jump.first; });
  if (after == jumps_.begin()) {
    return offset;
  }
  const std::pair<size_t, size_t>& jump = *(after - 1);
  return jump.second + (offset - jump.first);
}

std::u16string DecodeCharacterReferences(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const CharacterReference match =
        text[pos] == u'&' ? ReadCharacterReference(text, pos, ReferenceContext::Attribute)
                          : CharacterReference{};
    if (match.Length == 0) {
      out += text[pos++];
      continue;
    }
    const char32_t code = match.CodePoint;
    if (code < 0x10000) {
      out += static_cast<char16_t>(code);
    } else {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
    pos += match.Length;
  }
  return out;
}

std::u16string EscapeAttributeValue(std::u16string_view text, char quote) {
  constexpr std::u16string_view kEndsUnquoted = u" \t\n\f\r\"'=<>`";
  std::u16string out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    if (c == u'&') {
      out += u"&amp;";
    } else if (quote != 0 && c == static_cast<char16_t>(quote)) {
      out += quote == '"' ? u"&quot;" : u"&#39;";
    } else if (quote == 0 && kEndsUnquoted.find(c) != std::u16string_view::npos) {
      AppendDecimalReference(out, c);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kivo
