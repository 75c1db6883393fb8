#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace kivo {

// The most attribute names one HtmlTagScanner looks out for.
inline constexpr size_t kMaxWantedAttributes = 8;

// The first occurrence of one attribute in a tag.
struct HtmlAttribute {
  bool Present = false;
  size_t Offset = 0;  // the value's first byte, inside its quotes if it has any
  size_t Length = 0;  // 0 for an empty value and for an attribute without one
  char Quote = 0;     // the quote around the value, or 0
};

// One start tag of a page.
struct HtmlTag {
  std::string_view Name;  // as written
  size_t Start = 0;       // the "<"
  size_t End = 0;         // just past the ">"
  // The attributes asked for, in the order they were asked for.
  std::array<HtmlAttribute, kMaxWantedAttributes> Attributes;
  // The text of an element whose content is not markup (SCRIPT, STYLE,
  // TEXTAREA, TITLE …) up to its end tag; empty for other elements.
  size_t TextStart = 0;
  size_t TextEnd = 0;
};

// Reads the start tags of a page as a browser does: quoted values may hold
// ">", comments run to "-->", end tags and declarations are skipped, and the
// text of SCRIPT, STYLE and the like holds no tags. A tag that the page ends
// inside is not a tag. The scan moves forward only, so a page costs time in
// proportion to its size, and it keeps nothing but the current tag.
class HtmlTagScanner {
 public:
  // `page` and `wantedAttributes` (upper-case names, at most
  // kMaxWantedAttributes) must outlive the scanner.
  HtmlTagScanner(std::string_view page, std::span<const std::string_view> wantedAttributes);

  // Fills `tag` with the next start tag; false when the page holds no more.
  bool Next(HtmlTag& tag);

 private:
  bool ReadTag(size_t open, HtmlTag& tag);
  bool ReadAttribute(size_t& pos, HtmlTag& tag) const;
  void Remember(std::string_view name, const HtmlAttribute& value, HtmlTag& tag) const;
  size_t SkipPast(char c, size_t pos) const;
  size_t SkipComment(size_t open) const;
  size_t FindEndTag(std::string_view upperName, size_t from) const;

  std::string_view page_;
  std::span<const std::string_view> wanted_;
  size_t shortestWanted_ = 0;
  size_t longestWanted_ = 0;
  size_t pos_ = 0;
};

}  // namespace kivo
