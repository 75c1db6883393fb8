#pragma once

#include <string_view>

#include "html/PageLinks.h"
#include "platform/CodePage.h"

namespace kivo {

// Empties `links` and fills it with the absolute URLs that the page stored at
// `filePath` refers to, resolved against `pageUrl`, reading attribute values in
// the code page `ansi`. Each list keeps the first kMaxUrlsPerList distinct
// URLs of the page. Returns false when the file cannot be opened; a page
// larger than kMaxAnalysedPageBytes is not analysed and gives true with
// empty lists.
bool ExtractLinks(PageLinks& links, std::u16string_view pageUrl, std::u16string_view filePath,
                  const platform::CodePage& ansi);

// Empties `links` and fills it from the page bytes `page`, as ExtractLinks
// does for a file.
void ExtractLinksFromBytes(PageLinks& links, std::u16string_view pageUrl, std::string_view page,
                           const platform::CodePage& ansi);

// Destroys every URL of the three lists and leaves them empty.
void ClearPageLinks(PageLinks& links);

}  // namespace kivo
