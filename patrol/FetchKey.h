#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/HttpValidators.h"
#include "support/SystemTime.h"
#include "urllist/UrlEntry.h"

namespace kivo {

enum class FetchKind {
  Page,   // tested against the entry's Last-Modified time; its links are read
  Image,  // downloaded whatever its time
};

// One request the patrol makes or expects to make: the page of an entry or
// an image.
struct FetchKey {
  std::u16string Url;
  FetchKind Kind = FetchKind::Image;
  int32_t HasTime = 0;
  SystemTime LastTime;
  // The entry whose page this is. It is null for an image, and for a page
  // that a page fetched ahead is expected to queue: a queued entry has no
  // time yet, so its request is known before the entry exists.
  const UrlEntry* Entry = nullptr;
  // The validators of an earlier copy that the request carries; a 304 then
  // means that the copy is current.
  platform::HttpValidators Validators{};
  // The list entry whose turn leads to the request: the entry whose page it
  // is, or the entry whose page's links, read ahead, foretell it. It takes no
  // part in Serves.
  const UrlEntry* Root = nullptr;
};

// True when two URLs are equal. It compares from the end: the URLs of one site share long
// prefixes and differ near the end, so most comparisons end at once.
bool SameUrl(std::u16string_view a, std::u16string_view b);

// True when a download made for `have` answers the request `want`: the same
// kind, URL, time and validators, and the same entry when both name one.
bool Serves(const FetchKey& have, const FetchKey& want);

}  // namespace kivo
