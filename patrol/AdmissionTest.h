#pragma once

#include <string_view>

#include "patrol/FetchedUrlList.h"
#include "patrol/PatrolList.h"
#include "urllist/UrlEntry.h"

namespace kivo {

// Applies the entry's server rule to a frame or link url found on its page.
// entryServer is ServerOfUrl(entry.Url), computed once per page by the caller.
// With OnlyListedServers 0 every url passes; otherwise a url on the entry's
// own server passes, and any other only when it begins with one of Servers
// (case-sensitive, over that string's whole length).
bool PassesServerRule(const UrlEntry& entry, std::u16string_view entryServer,
                      std::u16string_view url);

// Decides whether a frame or link url found on the page of `entry` becomes a
// temporary entry: it must pass the server rule, and be neither the Url of an
// element of the patrol list nor a URL fetched in this patrol, tested in that
// order.
bool AdmitsUrl(const UrlEntry& entry, std::u16string_view entryServer, std::u16string_view url,
               const PatrolList& patrolList, const FetchedUrlList& fetchedUrls);

}  // namespace kivo
