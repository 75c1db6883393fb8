#pragma once

#include <string_view>

#include "html/FetchedFile.h"
#include "html/FetchedFileList.h"

namespace kivo {

// Rewrites the page file at `pagePath` so that its links refer to the local
// copies in `imageFiles` and `pageFiles`, its missing images to the
// placeholder image and its other links to absolute URLs; values are
// resolved against `page.Url`. The new page replaces the old one only once it
// is complete: on any failure, and for pages larger than
// kMaxAnalysedPageBytes, the file stays as it was.
void RewriteLinks(std::u16string_view pagePath, const FetchedFile& page,
                  const FetchedFileList& imageFiles, const FetchedFileList& pageFiles);

}  // namespace kivo
