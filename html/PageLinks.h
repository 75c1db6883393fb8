#pragma once

#include <cstdint>

#include "support/OwnedPtrArray.h"
#include "support/WideString.h"

namespace kivo {

// The most URLs one page contributes to each list of its PageLinks; the
// page's later URLs of that kind are left out. Real pages stay far below it.
// Without it, the resolved URLs of a dense page (each stored as UTF-16 with
// its scheme, server and path) take many times the page's own size, and a
// page of a million links would also queue a million pages to fetch.
inline constexpr int32_t kMaxUrlsPerList = 10000;

// The absolute URLs that one stored page refers to, in three lists.
//
// Within a list no two URLs are equal (exact comparison), and each list keeps
// the order in which its URLs first occur in the page. A URL may stand in
// more than one list.
struct PageLinks {
  // IMG SRC, BODY and TABLE BACKGROUND, INPUT SRC; srcset candidates, SOURCE
  // SRC, VIDEO POSTER, LINK icons and the url() images of CSS.
  OwnedPtrArray<WideString> ImageUrls;
  OwnedPtrArray<WideString> LinkUrls;  // A HREF, AREA HREF: pages to follow one level deeper
  // FRAME, IFRAME, SCRIPT SRC and LINK HREF; VIDEO, AUDIO and EMBED SRC,
  // OBJECT DATA and the @import targets of CSS: fetched at the same level.
  OwnedPtrArray<WideString> FrameUrls;
};

}  // namespace kivo
