#include "patrol/AdmissionTest.h"

#include "urllist/UrlMapping.h"

namespace kivo {

bool PassesServerRule(const UrlEntry& entry, std::u16string_view entryServer,
                      std::u16string_view url) {
  if (entry.OnlyListedServers == 0) {
    return true;
  }
  if (ServerOfUrl(url).View() == entryServer) {
    return true;
  }
  for (const WideString* prefix : entry.Servers) {
    if (prefix != nullptr && url.starts_with(prefix->View())) {
      return true;
    }
  }
  return false;
}

bool AdmitsUrl(const UrlEntry& entry, std::u16string_view entryServer, std::u16string_view url,
               const PatrolList& patrolList, const FetchedUrlList& fetchedUrls) {
  if (!PassesServerRule(entry, entryServer, url)) {
    return false;
  }
  if (patrolList.ContainsUrl(url)) {
    return false;
  }
  return !fetchedUrls.Contains(url);
}

}  // namespace kivo
