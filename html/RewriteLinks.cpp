#include "html/RewriteLinks.h"

#include <string>
#include <vector>

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
  const std::vector<LinkEdit> edits = FindLinkEdits(bytes.Bytes, targets);
  if (edits.empty()) {
    return;  // the page would come out byte for byte the same
  }
  platform::ReplacementFile output(pagePath);
  if (!output.IsOpen()) {
    return;
  }
  ForEachEditedPiece(bytes.Bytes, edits,
                     [&output](std::string_view piece) { output.Write(piece); });
  if (pending != nullptr) {
    output.Stage(*pending);
  } else {
    output.Commit();
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
