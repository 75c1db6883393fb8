#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "html/FetchedFileList.h"
#include "html/PageLinks.h"
#include "patrol/FetchedUrlList.h"
#include "patrol/PatrolList.h"
#include "urllist/UrlEntry.h"

namespace kivo {

// What a page passes on to the frames and links it queues: the entry whose
// server rule and images option apply, the page's link level, and the frame
// hops that lead to it since the last hyperlink or the user entry.
struct PageRules {
  const UrlEntry* Rules = nullptr;
  int32_t LinkLevel = 0;
  int32_t FrameHops = 0;
};

// Returns the rules that the page of `entry`, an element of `list`, passes
// on: its own server rule and images option, its level and its frame hops.
PageRules RulesOf(const PatrolList& list, const UrlEntry& entry);

// Whether a visit of child links goes on.
enum class ChildVisit { Next, Stop };

// Receives one admitted frame or link and the rules it is queued with.
using ChildVisitor = std::function<ChildVisit(std::u16string_view url, const PageRules& child)>;

// Visits the frames, then the links, of a page at pageUrl that the patrol
// follows, each group in document order. Frames are followed while fewer than
// kMaxFrameHops hops lead to the page, and keep its level; links only while
// its level is positive (a negative one from a hand-made list must not crawl
// without end), one level lower and with no hops. Each URL must pass the
// admission test against `list` and `fetched` at the moment it is visited, so
// that what an earlier visit queued counts. Stops when `visit` says so.
void VisitChildLinks(const PageLinks& links, std::u16string_view pageUrl, const PageRules& rules,
                     const PatrolList& list, const FetchedUrlList& fetched,
                     const ChildVisitor& visit);

// Returns the temporary entry for a frame or link url found on parent's page:
// it inherits the parent's title, download options, server rule and folder.
std::unique_ptr<UrlEntry> MakeChildEntry(const UrlEntry& parent, std::u16string_view url,
                                         int32_t linkLevel);

// True when the queued frame or link `entry` is skipped when its turn comes:
// its URL was stored as a page meanwhile, as the target of a redirect, and
// links to it find that copy. A URL fetched only as an image is fetched again
// as a page, since links and frames look up pages.
bool SkipsQueuedEntry(const PatrolList& list, const UrlEntry& entry,
                      const FetchedFileList& pageFiles);

}  // namespace kivo
