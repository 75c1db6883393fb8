#include "html/StyleSheetEdits.h"

#include "html/ReferenceValues.h"

namespace kivo {

std::optional<LinkEdit> StyleSheetEditScanner::Next() {
  while (const std::optional<CssReference> found = css_.Next()) {
    const bool import = found->Kind == CssReferenceKind::Import;
    ValueSyntax syntax;
    syntax.InCss = true;
    syntax.CssQuote = found->Quote;
    std::optional<LinkEdit> edit =
        ReferenceEdit(sheet_.substr(found->Offset, found->Length), found->Offset, syntax,
                      import ? RewriteRule::Link : RewriteRule::Image, targets_.PageUrl, targets_);
    if (edit.has_value()) {
      return edit;
    }
  }
  return std::nullopt;
}

}  // namespace kivo
