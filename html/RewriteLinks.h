#pragma once

#include <string>
#include <string_view>

#include "html/FetchedFile.h"
#include "html/FetchedFileList.h"
#include "platform/CodePage.h"
#include "platform/PendingReplacements.h"

namespace kivo {

// What every page of one patrol is rewritten with. The patrol resolves it once
// when it starts, so that no page looks up the environment or the disk.
struct RewriteSetup {
  const platform::CodePage& Ansi;  // the code page the pages are written in
  std::string PlaceholderPath;     // narrow path of the placeholder image, in that code page
};

// Rewrites the page file at `pagePath` so that its links refer to the local
// copies in `imageFiles` and `pageFiles`, its missing images to the
// placeholder image and its other links to absolute URLs; values are
// resolved against `page.Url`. The new page replaces the old one only once it
// is complete: on any failure, and for pages larger than
// kMaxAnalysedPageBytes, the file stays as it was.
void RewriteLinks(std::u16string_view pagePath, const FetchedFile& page,
                  const FetchedFileList& imageFiles, const FetchedFileList& pageFiles,
                  const RewriteSetup& setup);

// The same, but the new page is handed to `pending` instead of being synced
// and put in place at once, so that a pass over many pages syncs only once.
// The page is replaced when `pending` is committed.
void RewriteLinks(std::u16string_view pagePath, const FetchedFile& page,
                  const FetchedFileList& imageFiles, const FetchedFileList& pageFiles,
                  const RewriteSetup& setup, platform::PendingReplacements& pending);

// Rewrites the style sheet file at `sheetPath` as RewriteLinks rewrites a
// page: its @import targets and url() images refer to the local copies in
// `pageFiles` and `imageFiles`, an image that was not fetched to the
// placeholder image, anything else to its absolute URL, resolved against
// `sheet.Url`; every other byte stays. The new sheet goes to `pending`.
void RewriteStyleSheet(std::u16string_view sheetPath, const FetchedFile& sheet,
                       const FetchedFileList& imageFiles, const FetchedFileList& pageFiles,
                       const RewriteSetup& setup, platform::PendingReplacements& pending);

}  // namespace kivo
