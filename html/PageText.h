#pragma once

#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace kivo {

// The text that a reader of the page sees, in document order, for comparing
// two versions of a page: the text outside tags, the TITLE and the ALT of
// images, with character references decoded. Left out is what is never
// shown: comments, declarations, scripts, style sheets, NOSCRIPT, NOEMBED,
// NOFRAMES and IFRAME fallbacks, and TEMPLATE contents. Every other
// attribute is left out too, so a nonce, a form token or a cache-busting
// query changes nothing. Block elements, BR and HR end a line and table
// cells are set apart by a space; the lines come out as VisibleText makes
// them ("\n" between lines, white space folded). The page is decoded from
// the code page `codePage`, which must be ASCII-compatible for the markup to
// be found, as for link extraction. Markup that never ends (a comment, a
// script, a tag or a quoted value) hides the rest of the page, as in a
// browser. The work is linear in the size of the page.
std::u16string ExtractPageText(std::string_view page, const platform::CodePage& codePage);

}  // namespace kivo
