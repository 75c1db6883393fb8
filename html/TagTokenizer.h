#pragma once

#include <string_view>

namespace kivo {

// The first pass of link extraction: cuts the tags that may carry a URL into
// tokens, without allocating.
//
// A tag is admitted when its name begins (ignoring ASCII case) with IMG, BODY,
// TABLE, INPUT, A, FRAME, IFRAME, LINK or SCRIPT; every other tag, end tags
// and comments are skipped up to their first ">". An admitted tag yields the
// token "<", then one token per word, quoted value or "=", then ">". Quoted
// values take everything up to the same quote character, or the rest of the
// page when it never comes. Token texts end at an embedded NUL byte, as the
// converted text would. Every token but the ">" of a tag that the page ends
// inside views the page's own bytes, so its position is known. The tokenizer
// never reads outside the page.
class TagTokenizer {
 public:
  explicit TagTokenizer(std::string_view page) : page_(page) {}

  // Stores the next token in `token`; false when the page has no more.
  bool Next(std::string_view& token);

 private:
  // Moves to the name of the next admitted tag; false when there is none.
  bool FindAdmittedTag();
  bool AtAdmittedTagName() const;

  std::string_view page_;
  size_t pos_ = 0;
  size_t tagOpen_ = 0;  // the "<" of the current tag
  bool inTag_ = false;
};

}  // namespace kivo
