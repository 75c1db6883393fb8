#pragma once

#include <string_view>

namespace kivo {

// How a patrol reads a file it stored from a frame, a style sheet, a script
// or a linked page.
enum class DocumentKind {
  Page,        // read as a page: ExtractLinks and RewriteLinks
  StyleSheet,  // read as CSS: ExtractStyleSheetLinks and RewriteStyleSheet
  Media,       // audio, video or PDF: stored as it came and never read
};

// Returns how to read the body that came from `url` with the Content-Type
// header `contentType` (empty when there was none). The server's type
// decides when it names CSS, HTML, audio, video or PDF; for any other type,
// or none, a file name that ends in ".css" (in any letter case) makes a style
// sheet and everything else a page, as before.
DocumentKind KindOfDocument(std::string_view contentType, std::u16string_view url);

}  // namespace kivo
