#pragma once

#include <memory>
#include <string_view>

#include "html/DocumentKind.h"
#include "html/PageLinks.h"
#include "patrol/DownloadBody.h"
#include "platform/CodePage.h"

namespace kivo {

// Reads the links of a downloaded body as its kind says, from memory or from
// its file: a style sheet's imports come as frames and its url() images as
// images, so they are followed like those of a page; a page is read by its
// tags. `url` is the URL the body came from.
void ReadDocumentLinks(const DownloadBody& body, std::u16string_view url, DocumentKind kind,
                       const platform::CodePage& ansi, PageLinks& links);

// Returns the links of a body that arrived ahead of its turn, read as the
// patrol will read them once its turn comes; null for a binary body and for
// media, which are never read.
std::unique_ptr<PageLinks> ReadLinksAhead(const DownloadBody& body, std::u16string_view url,
                                          const platform::CodePage& ansi);

}  // namespace kivo
