#include "patrol/ChildLinks.h"

#include "patrol/AdmissionTest.h"
#include "patrol/PatrolLimits.h"
#include "urllist/UrlMapping.h"

namespace kivo {

PageRules RulesOf(const PatrolList& list, const UrlEntry& entry) {
  return PageRules{&entry, entry.LinkLevel, list.FrameHops(&entry)};
}

void VisitChildLinks(const PageLinks& links, std::u16string_view pageUrl, const PageRules& rules,
                     const PatrolList& list, const FetchedUrlList& fetched,
                     const ChildVisitor& visit) {
  const WideString server = ServerOfUrl(pageUrl);
  // Visits the admitted URLs of one list; false once the visitor stops.
  const auto visitAll = [&](const OwnedPtrArray<WideString>& urls, const PageRules& child) {
    for (const WideString* url : urls) {
      if (url == nullptr || !AdmitsUrl(*rules.Rules, server.View(), url->View(), list, fetched)) {
        continue;
      }
      if (visit(url->View(), child) == ChildVisit::Stop) {
        return false;
      }
    }
    return true;
  };
  if (rules.FrameHops < kMaxFrameHops &&
      !visitAll(links.FrameUrls, PageRules{rules.Rules, rules.LinkLevel, rules.FrameHops + 1})) {
    return;
  }
  if (rules.LinkLevel > 0) {
    visitAll(links.LinkUrls, PageRules{rules.Rules, rules.LinkLevel - 1, 0});
  }
}

std::unique_ptr<UrlEntry> MakeChildEntry(const UrlEntry& parent, std::u16string_view url,
                                         int32_t linkLevel) {
  auto entry = std::make_unique<UrlEntry>();
  entry->ListIndex = -1;
  entry->Name.Assign(parent.Name);
  entry->Url.Assign(url);
  entry->LinkLevel = linkLevel;
  entry->GetImages = parent.GetImages;
  entry->OnlyListedServers = parent.OnlyListedServers;
  for (const WideString* server : parent.Servers) {
    if (server != nullptr) {
      entry->Servers.Add(std::make_unique<WideString>(*server));
    }
  }
  entry->UseOwnFolder = parent.UseOwnFolder;
  entry->OwnFolder.Assign(parent.OwnFolder);
  return entry;
}

bool SkipsQueuedEntry(const PatrolList& list, const UrlEntry& entry,
                      const FetchedFileList& pageFiles) {
  return list.IsTemporary(&entry) && pageFiles.Contains(entry.Url.View());
}

}  // namespace kivo
