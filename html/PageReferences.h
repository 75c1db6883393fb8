#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "html/CharacterReferences.h"
#include "html/CssScanner.h"
#include "html/HtmlTagScanner.h"
#include "html/LinkTags.h"
#include "html/ReferenceValues.h"
#include "platform/CodePage.h"
#include "support/WideString.h"

namespace kivo {

enum class PageItemKind {
  // A tag that the newer rows read as a whole: the classic scanners must
  // leave it to them. Its Offset and Length cover the tag.
  Claim,
  // One URL value; Offset and Length cover its bytes as written.
  Reference,
  // The HREF value of a BASE element, which Offset and Length cover. A
  // stored copy of a page with the newer constructs drops it: the local names
  // written into the page resolve beside the page only while no base sends
  // them elsewhere.
  BaseHref,
};

// One item that PageReferenceScanner finds.
struct PageReference {
  PageItemKind Kind = PageItemKind::Reference;
  size_t Offset = 0;
  size_t Length = 0;
  LinkList List = LinkList::Images;
  RewriteRule Rewrite = RewriteRule::Image;
  ValueSyntax Syntax;
  bool UsesBase = true;  // resolved against the page's BASE HREF; else against the page URL
};

// Finds, in page order, the references that the newer rows of the tag table
// and the page's CSS make: srcset candidates, media and objects, LINK icons,
// url() and @import in STYLE elements and style attributes; and the HREF of
// each BASE element.
//
// A tag that one of the newer rows applies to is claimed: it is announced
// before its references, and its classic rows (IMG SRC beside SRCSET) are
// read here as well, except where a newer row reads the same attribute (the
// LINK HREF of an icon). Tags are read as a browser reads them, so nothing is
// found in comments or script text. A page without the newer constructs
// yields nothing.
class PageReferenceScanner {
 public:
  // `page`, `pageUrl` and `ansi` must outlive the scanner.
  PageReferenceScanner(std::string_view page, std::u16string_view pageUrl,
                       const platform::CodePage& ansi);
  PageReferenceScanner(const PageReferenceScanner&) = delete;
  PageReferenceScanner& operator=(const PageReferenceScanner&) = delete;

  // Returns the next claim or reference, or nullopt when the page holds no more.
  std::optional<PageReference> Next();

  // Returns the URL that `reference` resolves against: the first BASE HREF
  // of the page, resolved against the page URL, or else the page URL.
  std::u16string_view BaseFor(const PageReference& reference);

 private:
  // One attribute value or element text of the current tag that holds references.
  struct Value {
    size_t Offset = 0;
    size_t Length = 0;
    char Quote = 0;
    const LinkTag* Row = nullptr;  // nullptr: CSS
    bool InAttribute = true;
    bool UsesBase = true;
  };

  bool LoadTag();
  void AddRowValues(const HtmlTag& tag);
  void StartValue();
  std::optional<PageReference> NextInValue();
  std::optional<PageReference> NextCss();

  std::string_view page_;
  std::u16string_view pageUrl_;
  const platform::CodePage& ansi_;
  HtmlTagScanner tags_;
  std::optional<WideString> base_;

  std::optional<PageReference> claim_;     // the claim of the current tag, not yet handed out
  std::optional<PageReference> baseHref_;  // the current BASE tag's HREF, not yet handed out
  std::vector<Value> values_;              // of the current tag, in page order
  size_t valueIndex_ = 0;
  bool valueStarted_ = false;
  std::optional<DecodedAttribute> decoded_;  // the current value, when it holds a srcset or CSS
  std::optional<CssScanner> css_;
  size_t srcsetPos_ = 0;
};

}  // namespace kivo
