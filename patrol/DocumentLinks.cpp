#include "patrol/DocumentLinks.h"

#include "html/ExtractLinks.h"
#include "html/StyleSheetLinks.h"

namespace kivo {

void ReadDocumentLinks(const DownloadBody& body, std::u16string_view url, DocumentKind kind,
                       const platform::CodePage& ansi, PageLinks& links) {
  const bool sheet = kind == DocumentKind::StyleSheet;
  if (sheet && body.InFile()) {
    ExtractStyleSheetLinks(links, url, body.FilePath(), ansi);
  } else if (sheet) {
    ExtractStyleSheetLinksFromBytes(links, url, body.Bytes(), ansi);
  } else if (body.InFile()) {
    ExtractLinks(links, url, body.FilePath(), ansi);
  } else {
    ExtractLinksFromBytes(links, url, body.Bytes(), ansi);
  }
}

std::unique_ptr<PageLinks> ReadLinksAhead(const DownloadBody& body, std::u16string_view url,
                                          const platform::CodePage& ansi) {
  const DocumentKind kind = KindOfDocument(body.ContentType(), url);
  if (body.IsBinary() || kind == DocumentKind::Media) {
    return nullptr;
  }
  auto links = std::make_unique<PageLinks>();
  ReadDocumentLinks(body, url, kind, ansi, *links);
  return links;
}

}  // namespace kivo
