#include "html/RewriteLinks.h"

#include <optional>
#include <string>

#include "html/DocumentKind.h"
#include "html/PageBytes.h"
#include "html/PageEdits.h"
#include "html/StyleSheetEdits.h"
#include "platform/ReplacementFile.h"
#include "urllist/UrlMapping.h"

namespace kivo {

namespace {

// Writes the rewritten page or style sheet to a replacement file, which it
// then either puts in place at once or hands to `pending`.
void Rewrite(std::u16string_view pagePath, const FetchedFile& page,
             const FetchedFileList& imageFiles, const FetchedFileList& pageFiles,
             const RewriteSetup& setup, platform::PendingReplacements* pending, DocumentKind kind) {
  const PageBytes bytes = ReadPageBytes(pagePath);
  if (bytes.Status != PageReadStatus::Complete) {
    return;  // unreadable, too large, or changing under us: leave it alone
  }
  const RewriteTargets targets{page.Url.View(), FolderOfPath(pagePath), imageFiles,
                               pageFiles,       setup.PlaceholderPath,  setup.Ansi};
  // The new page is written while the old one is scanned, and its file is
  // only created once the first value changes: a page that would come out
  // byte for byte the same is left alone.
  std::optional<platform::ReplacementFile> output;
  const auto write = [&output, pagePath](std::string_view piece) {
    if (!output.has_value()) {
      output.emplace(pagePath);
    }
    output->Write(piece);
  };
  const bool changed = kind == DocumentKind::StyleSheet
                           ? WriteEditedStyleSheet(bytes.Bytes, targets, write)
                           : WriteEditedPage(bytes.Bytes, targets, write);
  if (!changed || !output->IsOpen()) {
    return;
  }
  if (pending != nullptr) {
    output->Stage(*pending);
  } else {
    output->Commit();
  }
}

}  // namespace

void RewriteLinks(std::u16string_view pagePath, const FetchedFile& page,
                  const FetchedFileList& imageFiles, const FetchedFileList& pageFiles,
                  const RewriteSetup& setup) {
  Rewrite(pagePath, page, imageFiles, pageFiles, setup, nullptr, DocumentKind::Page);
}

void RewriteLinks(std::u16string_view pagePath, const FetchedFile& page,
                  const FetchedFileList& imageFiles, const FetchedFileList& pageFiles,
                  const RewriteSetup& setup, platform::PendingReplacements& pending) {
  Rewrite(pagePath, page, imageFiles, pageFiles, setup, &pending, DocumentKind::Page);
}

void RewriteStyleSheet(std::u16string_view sheetPath, const FetchedFile& sheet,
                       const FetchedFileList& imageFiles, const FetchedFileList& pageFiles,
                       const RewriteSetup& setup, platform::PendingReplacements& pending) {
  Rewrite(sheetPath, sheet, imageFiles, pageFiles, setup, &pending, DocumentKind::StyleSheet);
}

}  // namespace kivo
