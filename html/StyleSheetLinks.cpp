#include "html/StyleSheetLinks.h"

#include "html/CssScanner.h"
#include "html/ExtractLinks.h"
#include "html/PageBytes.h"
#include "html/ReferenceValues.h"
#include "html/UniqueUrlList.h"

namespace kivo {

void ExtractStyleSheetLinksFromBytes(PageLinks& links, std::u16string_view sheetUrl,
                                     std::string_view sheet, const platform::CodePage& ansi) {
  ClearPageLinks(links);
  CssScanner css(sheet, ansi.LeadBytes());
  // The lists receive their URLs when these go out of scope.
  UniqueUrlList images(links.ImageUrls);
  UniqueUrlList imports(links.FrameUrls);
  while (const std::optional<CssReference> found = css.Next()) {
    UniqueUrlList& list = found->Kind == CssReferenceKind::Import ? imports : images;
    if (list.IsFull()) {
      continue;
    }
    ValueSyntax syntax;
    syntax.InCss = true;
    syntax.CssQuote = found->Quote;
    const std::string_view raw = sheet.substr(found->Offset, found->Length);
    std::optional<ResolvedReference> resolved =
        ResolveReference(sheetUrl, ReferenceText(raw, syntax, ansi), syntax);
    if (resolved.has_value()) {
      list.Add(std::move(resolved->Url));
    }
  }
}

bool ExtractStyleSheetLinks(PageLinks& links, std::u16string_view sheetUrl,
                            std::u16string_view filePath, const platform::CodePage& ansi) {
  ClearPageLinks(links);
  return AnalyseStoredFile(filePath, [&](std::string_view sheet) {
    ExtractStyleSheetLinksFromBytes(links, sheetUrl, sheet, ansi);
  });
}

}  // namespace kivo
