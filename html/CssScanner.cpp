#include "html/CssScanner.h"

#include <algorithm>
#include <string>

#include "html/ByteClasses.h"

namespace kivo {
namespace {

constexpr bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

constexpr bool IsLineEnd(char c) {
  return c == '\n' || c == '\r' || c == '\f';
}

// Letters, digits, "-", "_" and every non-ASCII byte continue a CSS name, so
// that "myurl(" is a function of its own and not url().
constexpr bool IsNameByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' ||
         b == '_' || b >= 0x80;
}

// The bytes that a browser does not accept inside a url() without quotes.
constexpr bool SpoilsUnquotedUrl(char c) {
  const auto b = static_cast<unsigned char>(c);
  return c == '"' || c == '\'' || c == '(' || b <= 0x08 || b == 0x0B || (b >= 0x0E && b <= 0x1F) ||
         b == 0x7F;
}

}  // namespace

std::optional<CssReference> CssScanner::Next() {
  while (pos_ < css_.size()) {
    const char c = css_[pos_];
    const bool afterName = afterNameByte_;
    afterNameByte_ = IsNameByte(c) || c == '\\';
    std::optional<CssReference> found;
    if (c == '/' && pos_ + 1 < css_.size() && css_[pos_ + 1] == '*') {
      pos_ = SkipBlanksAndComments(pos_);
      afterNameByte_ = false;
    } else if (c == '"' || c == '\'') {
      pos_ = SkipString(pos_).Next;
    } else if (c == '\\') {
      pos_ = SkipEscape(pos_);
    } else if (c == '@' && AtKeyword(pos_ + 1, "IMPORT")) {
      pos_ += 7;
      found = ReferenceAfterImport();
    } else if (c == '@' && AtKeyword(pos_ + 1, "NAMESPACE")) {
      pos_ += 10;
      inNamespace_ = true;
    } else if ((c == 'u' || c == 'U') && !afterName && StartsWithNoCase(css_, pos_, "URL(")) {
      pos_ += 4;
      found = UrlBody(CssReferenceKind::Image);
      afterNameByte_ = false;
    } else {
      if (c == ';' || c == '{' || c == '}') {
        inNamespace_ = false;
      }
      pos_ += CharacterLength(pos_);
    }
    if (found.has_value() && found->Length > 0 && !inNamespace_) {
      return found;
    }
  }
  return std::nullopt;
}

// Reads the string or url() after "@import", if one comes before anything
// else but blanks and comments.
std::optional<CssReference> CssScanner::ReferenceAfterImport() {
  pos_ = SkipBlanksAndComments(pos_);
  if (pos_ >= css_.size()) {
    return std::nullopt;
  }
  const char c = css_[pos_];
  if (c == '"' || c == '\'') {
    const size_t open = pos_;
    const StringEnd end = SkipString(open);
    pos_ = end.Next;
    if (!end.Closed) {
      return std::nullopt;
    }
    return CssReference{CssReferenceKind::Import, open + 1, end.ContentEnd - open - 1, c};
  }
  if (StartsWithNoCase(css_, pos_, "URL(")) {
    pos_ += 4;
    return UrlBody(CssReferenceKind::Import);
  }
  return std::nullopt;
}

// Reads what follows "url(" up to its ")". A value that a browser would drop
// gives nothing, and the scan goes on after its ")".
std::optional<CssReference> CssScanner::UrlBody(CssReferenceKind kind) {
  size_t pos = pos_;
  while (pos < css_.size() && IsAsciiWhitespace(css_[pos])) {
    ++pos;
  }
  if (pos < css_.size() && (css_[pos] == '"' || css_[pos] == '\'')) {
    pos_ = pos;
    return QuotedUrl(kind);
  }
  const size_t start = pos;
  while (pos < css_.size()) {
    const char c = css_[pos];
    if (c == ')' || IsAsciiWhitespace(c)) {
      const size_t end = pos;
      while (pos < css_.size() && IsAsciiWhitespace(css_[pos])) {
        ++pos;
      }
      if (pos < css_.size() && css_[pos] != ')') {
        pos_ = SkipBadUrl(pos);
        return std::nullopt;
      }
      pos_ = std::min(pos + 1, css_.size());
      return CssReference{kind, start, end - start, 0};
    }
    if (SpoilsUnquotedUrl(c) ||
        (c == '\\' && (pos + 1 >= css_.size() || IsLineEnd(css_[pos + 1])))) {
      pos_ = SkipBadUrl(pos);
      return std::nullopt;
    }
    pos = c == '\\' ? SkipEscape(pos) : pos + CharacterLength(pos);
  }
  // The sheet's end closes a url() as its ")" would.
  pos_ = css_.size();
  return CssReference{kind, start, css_.size() - start, 0};
}

// Reads url("…") from its opening quote: the string must be followed, after
// blanks, by ")" or by the end of the sheet.
std::optional<CssReference> CssScanner::QuotedUrl(CssReferenceKind kind) {
  const size_t open = pos_;
  const StringEnd end = SkipString(open);
  pos_ = end.Next;
  if (!end.Closed) {
    return std::nullopt;
  }
  size_t after = pos_;
  while (after < css_.size() && IsAsciiWhitespace(css_[after])) {
    ++after;
  }
  if (after < css_.size() && css_[after] != ')') {
    return std::nullopt;
  }
  pos_ = std::min(after + 1, css_.size());
  return CssReference{kind, open + 1, end.ContentEnd - open - 1, css_[open]};
}

// A string ends at its quote, or unclosed at a line end; the sheet's end
// closes it as the quote would.
CssScanner::StringEnd CssScanner::SkipString(size_t open) const {
  const char quote = css_[open];
  size_t pos = open + 1;
  while (pos < css_.size()) {
    const char c = css_[pos];
    if (c == quote) {
      return StringEnd{pos, pos + 1, true};
    }
    if (IsLineEnd(c)) {
      return StringEnd{pos, pos, false};
    }
    pos = c == '\\' ? SkipEscape(pos) : pos + CharacterLength(pos);
  }
  return StringEnd{css_.size(), css_.size(), true};
}

// Skips the rest of a url() that a browser drops, up to and past its ")".
size_t CssScanner::SkipBadUrl(size_t pos) const {
  while (pos < css_.size()) {
    const char c = css_[pos];
    if (c == ')') {
      return pos + 1;
    }
    pos = c == '\\' ? SkipEscape(pos) : pos + CharacterLength(pos);
  }
  return css_.size();
}

// Skips a backslash and what it escapes: up to six hex digits and one blank
// after them, or else one character.
size_t CssScanner::SkipEscape(size_t backslash) const {
  size_t pos = backslash + 1;
  if (pos >= css_.size()) {
    return css_.size();
  }
  if (css_.substr(pos, 2) == "\r\n") {
    return pos + 2;  // an escaped line break, CR LF being one
  }
  if (!IsHexDigit(css_[pos])) {
    return pos + CharacterLength(pos);
  }
  const size_t digitsEnd = std::min(css_.size(), pos + 6);
  while (pos < digitsEnd && IsHexDigit(css_[pos])) {
    ++pos;
  }
  if (css_.substr(pos, 2) == "\r\n") {
    return pos + 2;
  }
  return pos < css_.size() && IsAsciiWhitespace(css_[pos]) ? pos + 1 : pos;
}

size_t CssScanner::SkipBlanksAndComments(size_t pos) const {
  while (pos < css_.size()) {
    if (IsAsciiWhitespace(css_[pos])) {
      ++pos;
    } else if (css_[pos] == '/' && pos + 1 < css_.size() && css_[pos + 1] == '*') {
      const size_t close = css_.find("*/", pos + 2);
      pos = close == std::string_view::npos ? css_.size() : close + 2;
    } else {
      break;
    }
  }
  return pos;
}

// The bytes of the character at pos: two for a lead and a trail byte, else
// one; never past the sheet's end.
size_t CssScanner::CharacterLength(size_t pos) const {
  const bool pair = leadBytes_.Lead[static_cast<unsigned char>(css_[pos])] &&
                    pos + 1 < css_.size() &&
                    leadBytes_.Trail[static_cast<unsigned char>(css_[pos + 1])];
  return pair ? 2 : 1;
}

// True when an at-rule's name, given in upper case, stands at pos as a whole name.
bool CssScanner::AtKeyword(size_t pos, std::string_view upperKeyword) const {
  const size_t end = pos + upperKeyword.size();
  return StartsWithNoCase(css_, pos, upperKeyword) &&
         (end >= css_.size() || !IsNameByte(css_[end]));
}

}  // namespace kivo
