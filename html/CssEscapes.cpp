#include "html/CssEscapes.h"

namespace kivo {
namespace {

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') {
    return c - u'0';
  }
  if (c >= u'a' && c <= u'f') {
    return c - u'a' + 10;
  }
  if (c >= u'A' && c <= u'F') {
    return c - u'A' + 10;
  }
  return -1;
}

bool IsLineEnd(char16_t c) {
  return c == u'\n' || c == u'\r' || c == u'\f';
}

// Appends the character of an escape; one that no character may have (NUL, a
// surrogate or beyond U+10FFFF) becomes U+FFFD, as in a browser.
void AppendCodePoint(std::u16string& out, char32_t code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    code = 0xFFFD;
  }
  if (code < 0x10000) {
    out += static_cast<char16_t>(code);
    return;
  }
  code -= 0x10000;
  out += static_cast<char16_t>(0xD800 + (code >> 10));
  out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
}

// Reads the hex escape whose first digit is at `first`; returns where the text goes on.
size_t ReadHexEscape(std::u16string_view text, size_t first, std::u16string& out) {
  char32_t code = 0;
  size_t pos = first;
  for (; pos < text.size() && pos < first + 6 && HexValue(text[pos]) >= 0; ++pos) {
    code = code * 16 + static_cast<char32_t>(HexValue(text[pos]));
  }
  AppendCodePoint(out, code);
  if (text.substr(pos, 2) == u"\r\n") {
    return pos + 2;
  }
  if (pos < text.size() && (text[pos] == u' ' || text[pos] == u'\t' || IsLineEnd(text[pos]))) {
    return pos + 1;
  }
  return pos;
}

void AppendHexEscape(std::u16string& out, char16_t c) {
  constexpr char16_t kDigits[] = u"0123456789abcdef";
  out += u'\\';
  if (c >= 16) {
    out += kDigits[(c >> 4) & 0xF];
  }
  out += kDigits[c & 0xF];
  out += u' ';
}

}  // namespace

std::u16string UnescapeCss(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != u'\\') {
      out += text[pos++];
      continue;
    }
    const size_t next = pos + 1;
    if (next >= text.size()) {
      break;  // a backslash at the very end stands for nothing
    }
    if (HexValue(text[next]) >= 0) {
      pos = ReadHexEscape(text, next, out);
    } else if (text.substr(next, 2) == u"\r\n") {
      pos = next + 2;
    } else if (IsLineEnd(text[next])) {
      pos = next + 1;
    } else {
      out += text[next];
      pos = next + 1;
    }
  }
  return out;
}

std::u16string EscapeCss(std::u16string_view text, char quote) {
  std::u16string out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    const bool unquoted = quote == 0;
    // Angle brackets are escaped too: a reference written into a <style>
    // element must never close it or open a tag, whatever its text held.
    if (c < 0x20 || c == 0x7F || c == u'<' || c == u'>' || (unquoted && c == u' ')) {
      AppendHexEscape(out, c);
      continue;
    }
    if (c == u'\\' || (!unquoted && c == static_cast<char16_t>(quote)) ||
        (unquoted && (c == u'"' || c == u'\'' || c == u'(' || c == u')'))) {
      out += u'\\';
    }
    out += c;
  }
  return out;
}

}  // namespace kivo
