#pragma once

#include <string_view>

#include "html/PageLinks.h"
#include "platform/CodePage.h"

namespace kivo {

// Empties `links` and fills it with the absolute URLs that the style sheet
// stored at `filePath` refers to, resolved against `sheetUrl`: the targets of
// its @import rules in FrameUrls (style sheets, followed like frames) and
// every other url() in ImageUrls; LinkUrls stays empty. Empty values, "data:"
// URLs and references to a fragment alone are left out, and fragments are
// cut. Each list keeps the first kMaxUrlsPerList distinct URLs. Returns false
// when the file cannot be opened; a sheet larger than kMaxAnalysedPageBytes
// is not read and gives true with empty lists.
bool ExtractStyleSheetLinks(PageLinks& links, std::u16string_view sheetUrl,
                            std::u16string_view filePath, const platform::CodePage& ansi);

// Empties `links` and fills it from the sheet's bytes `sheet`, as
// ExtractStyleSheetLinks does for a file.
void ExtractStyleSheetLinksFromBytes(PageLinks& links, std::u16string_view sheetUrl,
                                     std::string_view sheet, const platform::CodePage& ansi);

}  // namespace kivo
