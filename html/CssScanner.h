#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/CodePage.h"

namespace kivo {

// What a URL of a style sheet stands for.
enum class CssReferenceKind {
  Import,  // the style sheet of an @import rule
  Image,   // any other url(): an image, a font or a cursor the sheet uses
};

// One URL of a style sheet: the bytes of its value as written, between the
// quotes of a string or inside url() without the blanks around it.
struct CssReference {
  CssReferenceKind Kind = CssReferenceKind::Image;
  size_t Offset = 0;
  size_t Length = 0;
  char Quote = 0;  // the quote around the value, or 0 for a url() without quotes
};

// Finds the URLs of a style sheet, one at a time and in sheet order: the
// target of each @import (string or url() form) and every other non-empty
// url(). It knows comments, strings with escapes, url() with and without
// quotes, and a url() that a browser would drop (a quote, a parenthesis or a
// control byte inside an unquoted one); the URL of an @namespace rule is not
// a reference. Each byte is looked at a bounded number of times, so a sheet
// costs time in proportion to its size, however it is broken.
class CssScanner {
 public:
  // Both `css` and `leadBytes` (those of the code page the sheet is written
  // in) must outlive the scanner.
  CssScanner(std::string_view css, const platform::LeadByteTable& leadBytes)
      : css_(css), leadBytes_(leadBytes) {}

  // Returns the next URL, or nullopt when the sheet holds no more.
  std::optional<CssReference> Next();

 private:
  struct StringEnd {
    size_t ContentEnd = 0;  // where the string's text ends
    size_t Next = 0;        // where scanning goes on
    bool Closed = false;    // ended by its quote, not by a line end or the sheet's end
  };

  std::optional<CssReference> ReferenceAfterImport();
  std::optional<CssReference> UrlBody(CssReferenceKind kind);
  std::optional<CssReference> QuotedUrl(CssReferenceKind kind);
  StringEnd SkipString(size_t open) const;
  size_t SkipBadUrl(size_t pos) const;
  size_t SkipEscape(size_t backslash) const;
  size_t SkipBlanksAndComments(size_t pos) const;
  size_t CharacterLength(size_t pos) const;
  bool AtKeyword(size_t pos, std::string_view upperKeyword) const;

  std::string_view css_;
  const platform::LeadByteTable& leadBytes_;
  size_t pos_ = 0;
  bool afterNameByte_ = false;  // the byte before pos_ continues a name, so url( there is no url()
  bool inNamespace_ = false;    // inside an @namespace rule, whose URL is a name, not a reference
};

}  // namespace kivo
