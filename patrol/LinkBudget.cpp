#include "patrol/LinkBudget.h"

#include <algorithm>

namespace kivo {

uint64_t HeldBytes(const PageLinks& links) {
  uint64_t bytes = 0;
  for (const OwnedPtrArray<WideString>* list :
       {&links.ImageUrls, &links.LinkUrls, &links.FrameUrls}) {
    for (const WideString* url : *list) {
      bytes += kBytesPerLink + (url != nullptr ? uint64_t{2} * url->View().size() : 0);
    }
  }
  return bytes;
}

uint64_t GuessLinkBytes(std::string_view body, DocumentKind kind, size_t urlLength) {
  uint64_t starts = 0;
  if (kind != DocumentKind::StyleSheet) {
    starts = static_cast<uint64_t>(std::count(body.begin(), body.end(), '<'));
  } else {
    // Every @import begins with "@", and every other link of a sheet is a url() in any case.
    starts = static_cast<uint64_t>(std::count(body.begin(), body.end(), '@'));
    for (size_t at = body.find('('); at != std::string_view::npos; at = body.find('(', at + 1)) {
      if (at >= 3 && (body[at - 3] | 0x20) == 'u' && (body[at - 2] | 0x20) == 'r' &&
          (body[at - 1] | 0x20) == 'l') {
        ++starts;
      }
    }
  }
  return starts * (kBytesPerLink + uint64_t{2} * urlLength);
}

}  // namespace kivo
