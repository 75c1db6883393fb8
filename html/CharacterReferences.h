#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivo {

// The value of an attribute as its syntax reads it: the character references
// ("&amp;", "&#44;", "&#x28;" …, read as ReadCharacterReference reads them in
// an attribute) that stand for ASCII characters are decoded, so that the
// commas of a srcset or the quotes of a style are seen, and every other
// reference becomes one byte that means nothing to either. Positions in this
// text map back to the bytes as written.
class DecodedAttribute {
 public:
  // `raw` must outlive the object, which must not move while its Text is in use.
  explicit DecodedAttribute(std::string_view raw);

  std::string_view Text() const { return decoded_ ? std::string_view(text_) : raw_; }
  // Returns the position in the bytes as written that `offset` of Text stands for.
  size_t RawOffset(size_t offset) const;

 private:
  std::string_view raw_;
  std::string text_;
  bool decoded_ = false;
  std::vector<std::pair<size_t, size_t>> jumps_;  // (text, raw) positions after each reference
};

// Returns the attribute value `text` with its character references replaced
// by their characters, as ReadCharacterReference reads them in an
// attribute; other "&" text stays.
std::u16string DecodeCharacterReferences(std::u16string_view text);

// Returns `text` written so that it reads back whole as an attribute value in
// `quote` ('"' or '\''), or without quotes when `quote` is 0: "&", the quote,
// and for a value without quotes blanks and the bytes that would end it, are
// written as character references.
std::u16string EscapeAttributeValue(std::u16string_view text, char quote);

}  // namespace kivo
