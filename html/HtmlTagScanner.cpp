#include "html/HtmlTagScanner.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "html/ByteClasses.h"

namespace kivo {
namespace {

// The elements whose content a browser reads as text up to their end tag.
constexpr std::array<std::string_view, 8> kTextElements = {
    "SCRIPT", "STYLE", "TEXTAREA", "TITLE", "XMP", "IFRAME", "NOEMBED", "NOFRAMES"};

constexpr bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool EndsName(char c) {
  return IsAsciiWhitespace(c) || c == '/' || c == '>';
}

}  // namespace

HtmlTagScanner::HtmlTagScanner(std::string_view page,
                               std::span<const std::string_view> wantedAttributes)
    : page_(page),
      wanted_(wantedAttributes.first(std::min(wantedAttributes.size(), kMaxWantedAttributes))) {
  shortestWanted_ = wanted_.empty() ? 0 : wanted_[0].size();
  for (const std::string_view name : wanted_) {
    shortestWanted_ = std::min(shortestWanted_, name.size());
    longestWanted_ = std::max(longestWanted_, name.size());
  }
}

bool HtmlTagScanner::Next(HtmlTag& tag) {
  while (pos_ < page_.size()) {
    const void* found = std::memchr(page_.data() + pos_, '<', page_.size() - pos_);
    if (found == nullptr) {
      break;
    }
    const size_t open = static_cast<size_t>(static_cast<const char*>(found) - page_.data());
    const size_t next = open + 1;
    if (next >= page_.size()) {
      break;
    }
    const char c = page_[next];
    if (IsAsciiLetter(c)) {
      if (ReadTag(open, tag)) {
        return true;
      }
      break;  // the page ends inside the tag
    }
    if (page_.substr(next, 3) == "!--") {
      pos_ = SkipComment(open);
    } else if (c == '!' || c == '/' || c == '?') {
      pos_ = SkipPast('>', next);
    } else {
      pos_ = next;
    }
  }
  pos_ = page_.size();
  return false;
}

// Reads the tag whose "<" is at `open`; false when the page ends inside it.
bool HtmlTagScanner::ReadTag(size_t open, HtmlTag& tag) {
  size_t pos = open + 1;
  while (pos < page_.size() && !EndsName(page_[pos])) {
    ++pos;
  }
  tag = HtmlTag{};
  tag.Name = page_.substr(open + 1, pos - open - 1);
  tag.Start = open;
  while (true) {
    while (pos < page_.size() && (IsAsciiWhitespace(page_[pos]) || page_[pos] == '/')) {
      ++pos;
    }
    if (pos >= page_.size()) {
      return false;
    }
    if (page_[pos] == '>') {
      break;
    }
    if (!ReadAttribute(pos, tag)) {
      return false;
    }
  }
  tag.End = pos + 1;
  pos_ = tag.End;
  for (const std::string_view textElement : kTextElements) {
    if (EqualsNoCase(tag.Name, textElement)) {
      tag.TextStart = tag.End;
      tag.TextEnd = FindEndTag(textElement, tag.End);
      pos_ = tag.TextEnd;
      break;
    }
  }
  return true;
}

// Reads one attribute from `pos`, which it moves past it; false when the
// page ends inside a quoted value.
bool HtmlTagScanner::ReadAttribute(size_t& pos, HtmlTag& tag) const {
  const size_t nameStart = pos;
  ++pos;  // the first byte belongs to the name, even a "="
  while (pos < page_.size() && !EndsName(page_[pos]) && page_[pos] != '=') {
    ++pos;
  }
  const std::string_view name = page_.substr(nameStart, pos - nameStart);
  while (pos < page_.size() && IsAsciiWhitespace(page_[pos])) {
    ++pos;
  }
  HtmlAttribute value{true, pos, 0, 0};
  if (pos >= page_.size() || page_[pos] != '=') {
    Remember(name, value, tag);
    return true;
  }
  ++pos;
  while (pos < page_.size() && IsAsciiWhitespace(page_[pos])) {
    ++pos;
  }
  if (pos < page_.size() && (page_[pos] == '"' || page_[pos] == '\'')) {
    const size_t close = page_.find(page_[pos], pos + 1);
    if (close == std::string_view::npos) {
      return false;
    }
    value = HtmlAttribute{true, pos + 1, close - pos - 1, page_[pos]};
    pos = close + 1;
  } else {
    value.Offset = pos;
    while (pos < page_.size() && !IsAsciiWhitespace(page_[pos]) && page_[pos] != '>') {
      ++pos;
    }
    value.Length = pos - value.Offset;
  }
  Remember(name, value, tag);
  return true;
}

// Keeps `value` when `name` is wanted and the tag has not had it yet.
void HtmlTagScanner::Remember(std::string_view name, const HtmlAttribute& value,
                              HtmlTag& tag) const {
  if (name.size() < shortestWanted_ || name.size() > longestWanted_) {
    return;  // most attributes are told apart by their length alone
  }
  for (size_t i = 0; i < wanted_.size(); ++i) {
    if (!tag.Attributes[i].Present && EqualsNoCase(name, wanted_[i])) {
      tag.Attributes[i] = value;
      return;
    }
  }
}

size_t HtmlTagScanner::SkipPast(char c, size_t pos) const {
  const size_t found = page_.find(c, pos);
  return found == std::string_view::npos ? page_.size() : found + 1;
}

// A comment ends at "-->"; "<!-->" and "<!--->" are whole empty comments.
size_t HtmlTagScanner::SkipComment(size_t open) const {
  const size_t body = open + 4;
  if (page_.substr(body, 1) == ">") {
    return body + 1;
  }
  if (page_.substr(body, 2) == "->") {
    return body + 2;
  }
  const size_t close = page_.find("-->", body);
  return close == std::string_view::npos ? page_.size() : close + 3;
}

// Returns where the end tag of the element `upperName` begins, or the page's end.
size_t HtmlTagScanner::FindEndTag(std::string_view upperName, size_t from) const {
  for (size_t at = page_.find("</", from); at != std::string_view::npos;
       at = page_.find("</", at + 2)) {
    const size_t after = at + 2 + upperName.size();
    if (StartsWithNoCase(page_, at + 2, upperName) &&
        (after >= page_.size() || EndsName(page_[after]))) {
      return at;
    }
  }
  return page_.size();
}

}  // namespace kivo
