#pragma once

#include <optional>
#include <string_view>

#include "html/CssScanner.h"
#include "html/LinkEdits.h"

namespace kivo {

// The edits that make a stored style sheet refer to the local copies, in
// sheet order: each @import target is looked up in the pages and each other
// url() in the images, resolved against the sheet's URL (targets.PageUrl),
// by the rules of the page rewriter. Everything else stays byte for byte.
class StyleSheetEditScanner {
 public:
  // Both `sheet` and `targets` must outlive the scanner.
  StyleSheetEditScanner(std::string_view sheet, const RewriteTargets& targets)
      : sheet_(sheet), targets_(targets), css_(sheet, targets.Ansi.LeadBytes()) {}
  StyleSheetEditScanner(const StyleSheetEditScanner&) = delete;
  StyleSheetEditScanner& operator=(const StyleSheetEditScanner&) = delete;

  // Returns the next edit, or nullopt when the sheet holds no more.
  std::optional<LinkEdit> Next();

 private:
  std::string_view sheet_;
  const RewriteTargets& targets_;
  CssScanner css_;
};

// Passes the edited sheet to `write` in pieces, as WriteEditedPage does for
// a page. Returns false, and never calls `write`, when nothing changes.
template <class Write>
bool WriteEditedStyleSheet(std::string_view sheet, const RewriteTargets& targets, Write&& write) {
  StyleSheetEditScanner edits(sheet, targets);
  return WriteEdits(sheet, edits, write);
}

}  // namespace kivo
