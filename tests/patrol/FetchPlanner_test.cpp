#include "patrol/FetchPlanner.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/TempDir.h"

namespace kivo::test {
namespace {

// The links of a page known to have arrived: its images, frames and links.
using Known = std::vector<std::vector<std::string>>;

std::u16string Url(const std::string& name) {
  return U16("http://h/" + name);
}

// "name" for an entry's page, "name?" for a page expected to be queued, "name!" for an image.
std::vector<std::string> Describe(const std::vector<FetchKey>& plan) {
  std::vector<std::string> names;
  for (const FetchKey& key : plan) {
    const char* mark = key.Kind == FetchKind::Image ? "!" : key.Entry == nullptr ? "?" : "";
    names.push_back(Utf8(key.Url).substr(9) + mark);
  }
  return names;
}

// The plan from the page of "a" (level 1, with images) in the list "a b" (b
// with images), or from one of a's images, as far as the pages known to have
// arrived tell. Queued entries go right after "a"; "s" was stored as the page
// a redirect ended at, and the other fetched URLs only as images. Each request
// is one the patrol will make: an image once, and no link to a URL that an
// image or redirect planned before it will have fetched.
TEST(FetchPlanner, PredictsTheRequestsInThePatrolsOrder) {
  const Known a{{"i1", "i2"}, {"f"}, {"l"}};
  const Known f{{"fi"}, {}, {"l"}};  // its link is planned once
  struct Case {
    const char* Name;
    std::map<std::string, Known> KnownLinks;
    std::vector<std::string> Queued, Fetched;
    std::map<std::string, std::string> Redirects;  // downloads that arrived from elsewhere
    int32_t Horizon;
    int32_t FromImage;  // -1: from a's page
    std::vector<std::string> Expected;
  };
  const Case cases[] = {
      {"nothing known", {}, {}, {}, {}, 10, -1, {"a", "b"}},
      {"images, frames, links",
       {{"a", a}},
       {},
       {},
       {},
       10,
       -1,
       {"a", "i1!", "i2!", "f?", "l?", "b"}},
      {"depth first",
       {{"a", a}, {"f", f}},
       {},
       {},
       {},
       6,
       -1,
       {"a", "i1!", "i2!", "f?", "fi!", "l?"}},
      {"fetched URLs are left out",
       {{"a", a}},
       {},
       {"i1", "l"},
       {},
       10,
       -1,
       {"a", "i2!", "f?", "b"}},
      {"from an image", {{"a", a}}, {}, {}, {}, 10, 0, {"i1!", "i2!", "f?", "l?", "b"}},
      {"the horizon", {{"a", a}}, {}, {}, {}, 3, -1, {"a", "i1!", "i2!"}},
      {"queued", {}, {"s", "v"}, {"s", "v"}, {}, 10, -1, {"a", "v", "b"}},
      {"an image shared with a later entry",
       {{"a", {{"s"}, {}, {}}}, {"b", {{"s", "t"}, {}, {}}}},
       {},
       {},
       {},
       10,
       -1,
       {"a", "s!", "b", "t!"}},
      {"a link to an image of the page",
       {{"a", {{"u"}, {}, {"u", "l"}}}},
       {},
       {},
       {},
       10,
       -1,
       {"a", "u!", "l?", "b"}},
      {"a redirect's target",
       {{"a", {{"i"}, {}, {"r", "t", "j"}}}},
       {"t"},
       {},
       {{"r", "t"}, {"i", "j"}},
       10,
       -1,
       {"a", "i!", "r?", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    UrlEntry entryA;
    UrlEntry entryB;
    entryA.Url.Assign(Url("a"));
    entryA.LinkLevel = 1;
    entryA.GetImages = 1;
    entryB.Url.Assign(Url("b"));
    entryB.GetImages = 1;
    PatrolList list;
    list.Add(&entryA);
    list.Add(&entryB);
    for (size_t i = 0; i < c.Queued.size(); ++i) {
      list.InsertTemporary(static_cast<int32_t>(i + 1),
                           MakeChildEntry(entryA, Url(c.Queued[i]), 0));
    }
    FetchedUrlList fetched;
    for (const std::string& name : c.Fetched) {
      fetched.Add(Url(name));
    }
    FetchedFileList pageFiles;
    pageFiles.Add(std::make_unique<FetchedFile>(FetchedFile{WideString(Url("s")), WideString()}));
    std::map<std::u16string, PageLinks> known;
    for (const auto& [name, lists] : c.KnownLinks) {
      PageLinks& page = known[Url(name)];
      OwnedPtrArray<WideString>* targets[] = {&page.ImageUrls, &page.FrameUrls, &page.LinkUrls};
      for (size_t i = 0; i < lists.size(); ++i) {
        for (const std::string& url : lists[i]) {
          targets[i]->Add(std::make_unique<WideString>(Url(url)));
        }
      }
    }
    const FetchPlanner planner(list, fetched, pageFiles, c.Horizon, [&](const FetchKey& key) {
      const auto found = known.find(key.Url);
      const auto redirect = c.Redirects.find(Utf8(key.Url).substr(9));
      return AheadAnswer{found == known.end() ? nullptr : &found->second,
                         redirect == c.Redirects.end() ? u"" : Url(redirect->second)};
    });
    EXPECT_EQ(Describe(c.FromImage < 0 ? planner.FromEntry(0)
                                       : planner.FromImage(0, known.at(Url("a")), c.FromImage)),
              c.Expected);
  }
}

}  // namespace
}  // namespace kivo::test
