#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "html/LinkEdits.h"
#include "html/LinkTags.h"
#include "platform/CodePage.h"
#include "support/WideString.h"

namespace kivo {

// How the value of a reference is written where it stands: the layers that
// must be undone to read its URL and redone to write a new one.
struct ValueSyntax {
  bool InAttribute = false;  // an attribute value: character references
  char AttributeQuote = 0;   // the attribute's quote, or 0
  bool InSrcset = false;     // one URL of a srcset: it must hold no blank
  bool InCss = false;        // a CSS string or url(): CSS escapes
  char CssQuote = 0;         // the CSS string's quote, or 0 for a url() without quotes
};

// A reference's URL once resolved: the URL a patrol fetches and looks up,
// and the fragment that was cut from it.
struct ResolvedReference {
  WideString Url;
  std::u16string Fragment;  // from its "#", or empty
};

// Returns the text of the value `raw` (bytes as written in `ansi`) with the
// syntax it stands in undone.
std::u16string ReferenceText(std::string_view raw, const ValueSyntax& syntax,
                             const platform::CodePage& ansi);

// Returns the bytes that write `text` in the place of a value of `syntax`.
std::string WriteReferenceText(std::u16string_view text, const ValueSyntax& syntax,
                               const platform::CodePage& ansi);

// Resolves the text of a reference against `base` and cuts its fragment off.
// Nothing comes of an empty text, a "data:" URL, a CSS reference to a
// fragment of the page itself, or a URL too long to store.
std::optional<ResolvedReference> ResolveReference(std::u16string_view base,
                                                  std::u16string_view text,
                                                  const ValueSyntax& syntax);

// Returns the edit that points the value at [offset, offset + raw.size()) at
// its local copy, at the placeholder image (an image by `rule` that was not
// fetched) or at its absolute URL; nullopt when nothing comes of the value or
// the value would not change.
std::optional<LinkEdit> ReferenceEdit(std::string_view raw, size_t offset,
                                      const ValueSyntax& syntax, RewriteRule rule,
                                      std::u16string_view base, const RewriteTargets& targets);

}  // namespace kivo
