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

uint64_t GuessLinkBytes(std::string_view body, size_t urlLength) {
  const auto tags = static_cast<uint64_t>(std::count(body.begin(), body.end(), '<'));
  return tags * (kBytesPerLink + uint64_t{2} * urlLength);
}

}  // namespace kivo
