#pragma once

#include "support/OwnedPtrArray.h"
#include "support/WideString.h"

namespace kivo {

// The absolute URLs that one stored page refers to, in three lists.
//
// Within a list no two URLs are equal (exact comparison), and each list keeps
// the order in which its URLs first occur in the page. A URL may stand in
// more than one list.
struct PageLinks {
  OwnedPtrArray<WideString> ImageUrls;  // IMG SRC, BODY and TABLE BACKGROUND, INPUT SRC
  OwnedPtrArray<WideString> LinkUrls;   // A HREF, AREA HREF: pages to follow one level deeper
  OwnedPtrArray<WideString> FrameUrls;  // FRAME, IFRAME, SCRIPT SRC and LINK HREF
};

}  // namespace kivo
