// A patrol over several connections fetches ahead but commits in list order:
// whatever the connection count, what it stores, what it reports and the list
// it leaves are the same as with one connection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <map>
#include <random>
#include <set>

#include "patrol/FetchAhead.h"
#include "patrol/PatrolHarness.h"
#include "patrol/PatrolThread.h"
#include "urllist/UrlListFile.h"

namespace kivo::test {
namespace {

// What one patrol left behind.
struct Result {
  std::map<std::string, std::string> Files;  // the save folder, name by name
  std::string List;                          // the list file's bytes
  std::vector<std::string> Calls;
};

// Where a patrol of copies starts: from an empty save folder and no history,
// or from what the test left there.
enum class Start { Afresh, AsLeft };

class PatrolFetchAhead : public PatrolHarness {
 protected:
  // Patrols copies of the entries with `connections`, on a thread of its own
  // as the dialog runs it.
  Result PatrolCopies(uint32_t connections, Start start = Start::Afresh) {
    Store(Setting::Connections, connections);
    if (start == Start::Afresh) {
      std::filesystem::remove_all(Save());
      std::filesystem::create_directories(Save());
      std::filesystem::remove(History());
    }
    UrlList copies;
    PatrolList patrol;
    for (const UrlEntry* entry : entries_) {
      patrol.Add(copies.Add(entry->Clone()));
    }
    RecordingView view;
    PatrolThread thread;
    EXPECT_TRUE(thread.Start(PatrolParams{&view, &patrol}));
    EXPECT_EQ(thread.Join(), kPatrolDone);
    Result result;
    for (const std::string& name : Names()) {
      result.Files[name] = ReadBytes(SaveFile(name));
    }
    result.List = UrlListFile::Encode(copies);
    result.Calls = std::move(view.calls);
    return result;
  }
  std::string History() const { return home_.Program() + "/KivoHistory.db"; }
};

// Copies the files of `from` into `to`, emptied first, with their
// modification times, which tell a patrol whether a stored copy is as stored.
void CopyFiles(const std::string& from, const std::string& to) {
  std::filesystem::remove_all(to);
  std::filesystem::create_directories(to);
  for (const auto& item : std::filesystem::directory_iterator(from)) {
    const std::filesystem::path target = std::filesystem::path(to) / item.path().filename();
    std::filesystem::copy_file(item.path(), target);
    std::filesystem::last_write_time(target, item.last_write_time());
  }
}

// A site made up from a fixed seed: pages with random cross-links, shared
// images (one large enough to go through a temporary file), frames,
// redirects, a binary file, links to an image, links that give 404, and an
// unchanged page. `validators` says how its pages and images (which then
// carry ETags) answer conditional requests.
void ScriptSite(TestHttpServer& server, Conditions validators = Conditions::Ignored) {
  std::mt19937 random(14);
  const auto pick = [&random](int count) { return static_cast<int>(random() % count); };
  constexpr int kPages = 30;
  constexpr int kImages = 8;
  for (int i = 0; i < kImages; ++i) {
    const size_t size = i == 7 ? (3u << 19) : 200u + static_cast<size_t>(i) * 700u;
    ScriptedResponse image =
        ScriptedResponse::Ok("GIF89a" + std::string(size, static_cast<char>(i)));
    image.Headers.emplace_back("ETag", "\"i" + std::to_string(i) + "\"");
    image.Validators = validators;
    server.Script("/img" + std::to_string(i) + ".gif", image);
  }
  for (int i = 0; i < kPages; ++i) {
    std::string body = "<html><body>page " + std::to_string(i) + "\n";
    for (int n = pick(4); n > 0; --n) {
      body += "<img src=\"/img" + std::to_string(pick(kImages)) + ".gif\">\n";
    }
    if (i % 7 == 3) {
      body += "<frame src=\"f" + std::to_string(i) + ".html\">\n";
      server.Script(
          "/f" + std::to_string(i) + ".html",
          ScriptedResponse::Ok("<img src=img" + std::to_string(pick(kImages)) + ".gif><a href=p" +
                               std::to_string(pick(kPages)) + ".html>x</a>"));
    }
    for (int n = 1 + pick(4); n > 0; --n) {
      const int target = pick(kPages);
      switch (pick(6)) {
        case 0:
          body += "<a href=\"/r" + std::to_string(target) + "\">r</a>\n";
          break;
        case 1:
          body += "<a href=\"missing" + std::to_string(target) + ".html\">m</a>\n";
          break;
        default:
          body += "<a href=\"p" + std::to_string(target) + ".html\">p</a>\n";
          break;
      }
      server.Script("/r" + std::to_string(target),
                    ScriptedResponse::Redirect(302, "/p" + std::to_string(target) + ".html"));
    }
    if (i % 5 == 0) {
      body += "<a href=\"/data.zip\">zip</a><a href=\"/img1.gif\">an image as a link</a>\n";
    }
    ScriptedResponse page = ScriptedResponse::Ok(body + "</body></html>\n");
    page.Headers.emplace_back("Last-Modified", kMonday);
    page.Validators = validators;
    server.Script("/p" + std::to_string(i) + ".html", page);
  }
  server.Script("/data.zip", ScriptedResponse::Ok(std::string("PK\3\4") + std::string(3000, 'z')));
}

// A page fetched ahead before its entry is queued serves that entry, but a
// download never answers a request of another kind, URL, time or validators.
TEST(FetchKeyServes, MatchesKindUrlTimeValidatorsAndAnyUnnamedEntry) {
  UrlEntry first;
  UrlEntry second;
  const FetchKey page{u"http://h/a", FetchKind::Page, 0, SystemTime(), &first};
  FetchKey expected = page;
  expected.Entry = nullptr;
  FetchKey other = page;
  other.Entry = &second;
  FetchKey image = expected;
  image.Kind = FetchKind::Image;
  FetchKey dated = page;
  dated.HasTime = 1;
  dated.LastTime = kMondayTime;
  FetchKey elsewhere = page;
  elsewhere.Url = u"http://h/b";
  FetchKey conditional = page;  // a 304 to it means something else than to `page`
  conditional.Validators.IfNoneMatch = "\"v1\"";
  const struct {
    const FetchKey& Have;
    bool Served;
  } cases[] = {{page, true},   {expected, true},   {other, false},      {image, false},
               {dated, false}, {elsewhere, false}, {conditional, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.Have.Url) + (c.Have.Kind == FetchKind::Image ? " image" : " page"));
    EXPECT_EQ(Serves(c.Have, page), c.Served);
  }
}

TEST_F(PatrolFetchAhead, EveryConnectionCountGivesTheSameResult) {
  ScriptSite(server_);
  Add("/p0.html", 3).GetImages = 1;
  UrlEntry& unchanged = Add("/p1.html", 2);
  unchanged.GetImages = 1;
  unchanged.HasLastTime = 1;
  unchanged.LastTime = kMondayTime;
  Add("/r4", 1);
  Add("/p0.html", 0).GetImages = 1;  // the same page twice: stored twice
  Add("/missing.html", 1).GetImages = 1;
  Add("/p17.html", 2).GetImages = 1;

  const Result one = PatrolCopies(1);
  EXPECT_LE(server_.PeakWaiting(), 1u);
  EXPECT_TRUE(Temporaries().empty());
  ASSERT_GT(one.Files.size(), 20u);
  EXPECT_TRUE(one.Files.contains("data.zip"));
  EXPECT_FALSE(one.Files.contains("p1.html"));  // unchanged: not fetched
  for (uint32_t connections : {2u, 4u, 16u}) {
    SCOPED_TRACE(connections);
    server_.ResetPeakWaiting();
    const Result many = PatrolCopies(connections);
    EXPECT_LE(server_.PeakWaiting(), connections);
    EXPECT_TRUE(Temporaries().empty());
    EXPECT_EQ(many.List, one.List);
    EXPECT_EQ(many.Calls, one.Calls);
    ASSERT_EQ(many.Files.size(), one.Files.size());
    for (const auto& [name, bytes] : one.Files) {
      SCOPED_TRACE(name);
      ASSERT_TRUE(many.Files.contains(name));
      EXPECT_TRUE(many.Files.at(name) == bytes);
    }
  }
}

// A second patrol over a site where some pages and an image changed: pages
// and images are asked conditionally, unchanged images are stored again as
// second names of their earlier copies, and still every connection count
// stores, reports and leaves the same.
TEST_F(PatrolFetchAhead, ASecondPatrolOverAPartlyChangedSiteIsTheSameForEveryCount) {
  ScriptSite(server_, Conditions::Honoured);
  Add("/p0.html", 3).GetImages = 1;
  Add("/p17.html", 2).GetImages = 1;
  Add("/p1.html", 1).GetImages = 1;
  Store(Setting::Connections, 1);
  ASSERT_EQ(Patrol(), kPatrolDone);
  const std::string before = home_.File("before");
  CopyFiles(home_.Program(), before);
  CopyFiles(Save(), before + "/save");
  const std::pair<const char*, const char*> changes[] = {
      {"/p0.html",
       "<img src=img0.gif><img src=img3.gif><img src=img7.gif><frame src=f3.html>"
       "<a href=p5.html>5</a><a href=p13.html>13</a>changed"},
      {"/p5.html", "<img src=img1.gif><img src=img3.gif>changed"},
      {"/img3.gif", "GIF89a changed"}};
  for (const auto& [path, body] : changes) {
    ScriptedResponse changed = ScriptedResponse::Ok(body);
    changed.Headers = {{"Last-Modified", "Tue, 08 Dec 2026 10:00:00 GMT"}, {"ETag", "\"new\""}};
    changed.Validators = Conditions::Honoured;
    server_.Script(path, changed);
  }
  Result one;
  for (uint32_t connections : {1u, 2u, 16u}) {
    SCOPED_TRACE(connections);
    std::filesystem::copy_file(before + "/KivoHistory.db", History(),
                               std::filesystem::copy_options::overwrite_existing);
    CopyFiles(before + "/save", Save());
    const size_t asked = server_.RequestCount();
    const Result many = PatrolCopies(connections, Start::AsLeft);
    const std::vector<RecordedRequest> requests = server_.Requests();
    const auto conditional = std::count_if(
        requests.begin() + static_cast<std::ptrdiff_t>(asked), requests.end(),
        [](const RecordedRequest& request) { return request.Header("If-None-Match").has_value(); });
    EXPECT_GE(conditional, 7);
    // An unchanged image came back as a 304: its new name shares the file.
    EXPECT_TRUE(std::filesystem::equivalent(SaveFile("img0.gif"), SaveFile("img0A.gif")));
    EXPECT_FALSE(std::filesystem::equivalent(SaveFile("img3.gif"), SaveFile("img3A.gif")));
    if (connections == 1) {
      one = many;
      EXPECT_GT(one.Files.size(), 20u);
      continue;
    }
    EXPECT_EQ(many.List, one.List);
    EXPECT_EQ(many.Calls, one.Calls);
    EXPECT_TRUE(many.Files == one.Files);
  }
}

// Pages that keep every connection busy for a while: the server never sees
// more requests at once than the setting allows, and they share connections.
TEST_F(PatrolFetchAhead, NeverMoreRequestsInFlightThanConnections) {
  std::string index;
  for (int i = 0; i < 24; ++i) {
    const std::string path = "/s" + std::to_string(i) + ".html";
    index += "<a href=\"" + path + "\">s</a>";
    ScriptedResponse page = ScriptedResponse::Ok("<img src=/i" + std::to_string(i) + ".gif>");
    page.HeaderDelayMs = 3;
    server_.Script(path, page);
    server_.Script("/i" + std::to_string(i) + ".gif", ScriptedResponse::Ok("GIF89a"));
  }
  server_.Script("/index.html", ScriptedResponse::Ok(index));
  Add("/index.html", 1).GetImages = 1;
  for (uint32_t connections : {1u, 3u}) {
    SCOPED_TRACE(connections);
    server_.ResetPeakWaiting();
    const size_t before = server_.RequestCount();
    PatrolCopies(connections);
    EXPECT_LE(server_.PeakWaiting(), connections);
    std::set<int> used;
    const std::vector<RecordedRequest> requests = server_.Requests();
    for (size_t i = before; i < requests.size(); ++i) {
      used.insert(requests[i].ConnectionId);
    }
    EXPECT_EQ(requests.size() - before, 49u);  // nothing fetched twice, nothing wasted
    EXPECT_LE(used.size(), connections);       // kept alive and reused
  }
}

// Cancel while the first entry's page is held and the later ones, one of
// them large enough for a temporary file, have arrived ahead of their turn.
TEST_F(PatrolFetchAhead, CancelStoresNothingThatWasFetchedAhead) {
  ScriptedResponse held = ScriptedResponse::Ok("<img src=a.gif>a");
  held.HoldName = "a";
  server_.Script("/a.html", held);
  server_.Script("/a.gif", ScriptedResponse::Ok("GIF89a"));
  server_.Script("/b.html", ScriptedResponse::Ok("b"));
  server_.Script("/c.html", ScriptedResponse::Ok(std::string(3u << 19, 'c')));
  for (const char* path : {"/a.html", "/b.html", "/c.html"}) {
    Add(path).GetImages = 1;
  }
  Store(Setting::Connections, 4);
  std::future<int32_t> patrol = std::async(std::launch::async, [this] { return Patrol(); });
  ASSERT_TRUE(server_.WaitUntilHeld("a"));
  ASSERT_TRUE(server_.WaitForOutcomes(2));  // b and c have been answered whole
  PatrolRunning.store(kPatrolCancelled);
  server_.Release("a");
  EXPECT_EQ(patrol.get(), kPatrolDone);

  // The page being taken when the cancel came is stored; its image is not
  // fetched, and nothing fetched ahead is stored.
  EXPECT_EQ(entries_[0]->Status, 1);
  EXPECT_EQ(entries_[1]->Status, 0);
  EXPECT_EQ(entries_[2]->Status, 0);
  EXPECT_THAT(Names(), testing::ElementsAre("a.html"));
  EXPECT_TRUE(Temporaries().empty());
}

}  // namespace
}  // namespace kivo::test
