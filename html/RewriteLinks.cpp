#include "html/RewriteLinks.h"

#include <optional>
#include <string>

#include "html/LinkEdits.h"
#include "html/PageBytes.h"
#include "platform/ReplacementFile.h"
#include "urllist/UrlMapping.h"

namespace kivo {

namespace {

// Writes the rewritten page to a replacement file, which it then either puts
// in place at once or hands to `pending`.
void Rewrite(std::u16string_view pagePath, const FetchedFile& page,
             const FetchedFileList& imageFiles, const FetchedFileList& pageFiles,
             const RewriteSetup& setup, platform::PendingReplacements* pending) {
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
  const bool changed =
      WriteEditedPage(bytes.Bytes, targets, [&output, pagePath](std::string_view piece) {
        if (!output.has_value()) {
          output.emplace(pagePath);
        }
        output->Write(piece);
      });
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
  Rewrite(pagePath, page, imageFiles, pageFiles, setup, nullptr);
}

void RewriteLinks(std::u16string_view pagePath, const FetchedFile& page,
                  const FetchedFileList& imageFiles, const FetchedFileList& pageFiles,
                  const RewriteSetup& setup, platform::PendingReplacements& pending) {
  Rewrite(pagePath, page, imageFiles, pageFiles, setup, &pending);
}

}  // namespace kivo
