#include "html/CharacterReferences.h"

#include <algorithm>
#include <array>
#include <string>

namespace kivo {
namespace {

struct NamedReference {
  std::string_view Name;  // with its ";"
  char32_t Code;
};
constexpr std::array<NamedReference, 6> kNamedReferences = {{
    {"amp;", u'&'},
    {"lt;", u'<'},
    {"gt;", u'>'},
    {"quot;", u'"'},
    {"apos;", u'\''},
    {"nbsp;", 0xA0},
}};

struct ReferenceMatch {
  size_t Length = 0;  // 0: no reference stands there
  char32_t Code = 0;
};

int DigitValue(char32_t c, bool hex) {
  if (c >= '0' && c <= '9') {
    return static_cast<int>(c - '0');
  }
  if (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
    return static_cast<int>((c | 0x20) - 'a' + 10);
  }
  return -1;
}

// Reads the character reference that may begin at the "&" at `amp`. A code
// that no character may have becomes U+FFFD.
template <class Char>
ReferenceMatch ReadReference(std::basic_string_view<Char> text, size_t amp) {
  size_t pos = amp + 1;
  if (pos < text.size() && text[pos] == '#') {
    ++pos;
    const bool hex = pos < text.size() && (text[pos] == 'x' || text[pos] == 'X');
    pos += hex ? 1 : 0;
    const size_t digits = pos;
    char32_t code = 0;
    for (; pos < text.size() && DigitValue(text[pos], hex) >= 0; ++pos) {
      code = std::min<char32_t>(code * (hex ? 16 : 10) + DigitValue(text[pos], hex), 0x110000);
    }
    if (pos == digits) {
      return {};
    }
    pos += (pos < text.size() && text[pos] == ';') ? 1 : 0;
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      code = 0xFFFD;
    }
    return {pos - amp, code};
  }
  for (const NamedReference& named : kNamedReferences) {
    if (text.size() - pos >= named.Name.size() &&
        std::equal(named.Name.begin(), named.Name.end(), text.begin() + pos)) {
      return {named.Name.size() + 1, named.Code};
    }
  }
  return {};
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
    const ReferenceMatch match = raw[pos] == '&' ? ReadReference(raw, pos) : ReferenceMatch{};
    if (match.Length == 0) {
      text_ += raw[pos++];
      continue;
    }
    // A character beyond ASCII plays no part in the syntax; "_" stands in for it.
    text_ += match.Code < 0x80 ? static_cast<char>(match.Code) : '_';
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
    const ReferenceMatch match = text[pos] == u'&' ? ReadReference(text, pos) : ReferenceMatch{};
    if (match.Length == 0) {
      out += text[pos++];
      continue;
    }
    if (match.Code < 0x10000) {
      out += static_cast<char16_t>(match.Code);
    } else {
      out += static_cast<char16_t>(0xD800 + ((match.Code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((match.Code - 0x10000) & 0x3FF));
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
