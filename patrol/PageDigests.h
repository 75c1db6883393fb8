#pragma once

#include <optional>

#include "patrol/DownloadBody.h"
#include "patrol/HistoryRecords.h"
#include "platform/CodePage.h"
#include "platform/ContentDigest.h"
#include "urllist/Settings.h"

namespace kivo {

// A page this large or larger is compared by its bytes alone: its visible
// text would have to be read into memory whole.
inline constexpr uint64_t kMaxTextDigestBytes = uint64_t{64} << 20;

// What tells two downloads of a page apart: the digest of the bytes, and of
// the text a reader sees (html/PageText), in the page's code page.
struct PageDigests {
  std::optional<platform::Sha256Digest> Body;
  // Nothing for a binary body, a page without any visible text (whose text
  // could never tell a change), or one of kMaxTextDigestBytes or more.
  std::optional<platform::Sha256Digest> Text;
};

// Returns the digests of a body that has arrived whole. The byte digest was
// taken while it arrived; only the text is read, from memory or once from
// its temporary file.
PageDigests DigestPage(DownloadBody& body, const platform::CodePage& codePage);

// Returns true when `now` counts as the same content as the copy recorded in
// `copy` under `test`: never for LastModified; identical bytes for
// SameBytes; identical visible text, or identical bytes, for SameText. A
// digest missing on either side proves nothing.
bool SameContent(ChangeTest test, const PageDigests& now, const HistoryCheck& copy);

}  // namespace kivo
