#include "patrol/ChildLinks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TempDir.h"
#include "patrol/PatrolLimits.h"

namespace kivo::test {
namespace {

// Appends each URL to `list`; a bare name is one on the page's server "h".
void AddUrls(OwnedPtrArray<WideString>& list, const std::vector<std::string>& urls) {
  for (const std::string& url : urls) {
    list.Add(std::make_unique<WideString>(U16(url.starts_with("http") ? url : "http://h/" + url)));
  }
}

// Which frames and links of the page http://h/a are followed, in which order,
// with which level and frame hops. The page admits only its own server, the
// list holds it and "in", and "got" was fetched. The visitor queues
// each as the worker does, so a URL that is both a frame and a link is
// queued once.
TEST(ChildLinks, FollowsFramesThenLinksWithTheirLevelsAndHops) {
  struct Case {
    const char* Name;
    int32_t Level;
    int32_t Hops;
    std::vector<std::string> Frames, Links;
    std::vector<std::string> Expected;  // "name level hops"
    size_t StopAfter = 100;
  };
  const Case cases[] = {
      {"frames first", 2, 0, {"f1", "f2"}, {"l1"}, {"f1 2 1", "f2 2 1", "l1 1 0"}},
      {"level 0 follows no link", 0, 3, {"f"}, {"l"}, {"f 0 4"}},
      {"a negative level follows no link", -2, 0, {"f"}, {"l"}, {"f -2 1"}},
      {"the last frame hop", 1, kMaxFrameHops - 1, {"f"}, {"l"}, {"f 1 8", "l 0 0"}},
      {"no frame beyond the hops", 1, kMaxFrameHops, {"f"}, {"l"}, {"l 0 0"}},
      {"admission", 1, 0, {"in", "f"}, {"got", "a", "f", "http://g/", "l"}, {"f 1 1", "l 0 0"}},
      {"the visitor stops", 1, 0, {"f1", "f2"}, {"l"}, {"f1 1 1"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    UrlEntry page;
    page.Url.Assign(u"http://h/a");
    page.OnlyListedServers = 1;
    UrlEntry listed;
    listed.Url.Assign(u"http://h/in");
    PatrolList list;
    list.Add(&page);
    list.Add(&listed);
    FetchedUrlList fetched;
    fetched.Add(u"http://h/got");
    PageLinks links;
    AddUrls(links.FrameUrls, c.Frames);
    AddUrls(links.LinkUrls, c.Links);
    std::vector<std::string> visited;
    VisitChildLinks(links, page.Url.View(), PageRules{&page, c.Level, c.Hops}, list, fetched,
                    [&](std::u16string_view url, const PageRules& child) {
                      list.InsertTemporary(list.Count(), MakeChildEntry(page, url, 0));
                      visited.push_back(Utf8(url.substr(9)) + " " +
                                        std::to_string(child.LinkLevel) + " " +
                                        std::to_string(child.FrameHops));
                      return visited.size() < c.StopAfter ? ChildVisit::Next : ChildVisit::Stop;
                    });
    EXPECT_EQ(visited, c.Expected);
  }
}

}  // namespace
}  // namespace kivo::test
