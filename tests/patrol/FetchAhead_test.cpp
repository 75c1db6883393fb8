// A patrol over several connections fetches ahead but commits in list order:
// whatever the connection count, what it stores, what it reports and the list
// it leaves are the same as with one connection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/ScopedEnv.h"
#include "common/StoredSettings.h"
#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"
#include "patrol/FetchAhead.h"
#include "patrol/PatrolList.h"
#include "patrol/PatrolRunning.h"
#include "patrol/PatrolWorker.h"
#include "support/WideString.h"
#include "urllist/UrlList.h"
#include "urllist/UrlListFile.h"

namespace kivo {
namespace {

constexpr const char* kMonday = "Mon, 07 Dec 2026 10:00:00 GMT";
constexpr SystemTime kMondayTime{2026, 12, 1, 7, 10, 0, 0, 0};

using test::Utf8;

// Writes down every call of the view, in order, as one line each.
class RecordingView : public PatrolView {
 public:
  void SetTitle(std::u16string_view name) override { Add("title " + Utf8(name)); }
  void SetUrl(std::u16string_view url) override { Add("url " + Utf8(url)); }
  void SetState(std::u16string_view state) override { Add("state " + Utf8(state)); }
  void SetByteText(std::u16string_view text) override { Add("bytes " + Utf8(text)); }
  void SetPercent(int32_t percent) override { Add("percent " + std::to_string(percent)); }
  void ShowError(std::u16string_view message) override { Add("error " + Utf8(message)); }
  void UpdateEntry(UrlEntry& entry, const EntryUpdate& update) override {
    Add("update " + std::to_string(entry.ListIndex) + " " + Utf8(update.LocalFile.View()));
    ApplyEntryUpdate(entry, update);
  }
  void Finished() override { Add("finished"); }

  std::vector<std::string> calls;

 private:
  void Add(std::string call) { calls.push_back(std::move(call)); }
};

// What one patrol left behind.
struct Result {
  std::map<std::string, std::string> Files;  // the save folder, name by name
  std::string List;                          // the list file's bytes
  std::vector<std::string> Calls;
};

class PatrolFetchAhead : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    test::Store(Setting::SaveFolder, test::U16(Save() + "/"));
  }

  std::string Save() const { return home_.File("save"); }

  UrlEntry& AddEntry(const std::string& path, int32_t level, int32_t images) {
    auto entry = std::make_unique<UrlEntry>();
    entry->ListIndex = list_.Count();
    entry->Name.Assign(test::U16(path));
    entry->Url.Assign(server_.WideUrl(path));
    entry->LinkLevel = level;
    entry->GetImages = images;
    return *list_.Add(std::move(entry));
  }

  // Patrols every entry with `connections` into an empty save folder, on a
  // thread of its own as the dialog runs it.
  Result Patrol(uint32_t connections, const UrlList& initial) {
    test::Store(Setting::Connections, connections);
    std::filesystem::remove_all(Save());
    std::filesystem::create_directories(Save());
    UrlList entries;
    PatrolList patrol;
    for (const UrlEntry* entry : initial) {
      patrol.Add(entries.Add(entry->Clone()));
    }
    RecordingView view;
    PatrolThread thread;
    EXPECT_TRUE(thread.Start(PatrolParams{&view, &patrol}));
    EXPECT_EQ(thread.Join(), kPatrolDone);
    Result result;
    for (const auto& item : std::filesystem::directory_iterator(Save())) {
      result.Files[item.path().filename().string()] = test::ReadBytes(item.path().string());
    }
    result.List = UrlListFile::Encode(entries);
    result.Calls = std::move(view.calls);
    return result;
  }

  // Names of temporary download files left in the program folder.
  std::vector<std::string> Temporaries() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(home_.File("prog"), error)) {
      const std::string name = item.path().filename().string();
      if (name.starts_with("Kivo") && name.ends_with(".tmp")) {
        names.push_back(name);
      }
    }
    return names;
  }

  test::TempDir home_;
  test::ScopedEnv programFolder_{"KIVO_HOME", home_.File("prog")};
  test::ScopedEnv settingsFolder_{"XDG_CONFIG_HOME", home_.File("config")};
  test::TestHttpServer server_;
  UrlList list_;
};

// A site made up from a fixed seed: pages with random cross-links, shared
// images (one large enough to go through a temporary file), frames,
// redirects, a binary file, links that give 404, and an unchanged page.
void ScriptSite(test::TestHttpServer& server) {
  std::mt19937 random(14);
  const auto pick = [&random](int count) { return static_cast<int>(random() % count); };
  constexpr int kPages = 30;
  constexpr int kImages = 8;
  for (int i = 0; i < kImages; ++i) {
    const size_t size = i == 7 ? (3u << 19) : 200u + static_cast<size_t>(i) * 700u;
    server.Script("/img" + std::to_string(i) + ".gif",
                  test::ScriptedResponse::Ok("GIF89a" + std::string(size, static_cast<char>(i))));
  }
  for (int i = 0; i < kPages; ++i) {
    std::string body = "<html><body>page " + std::to_string(i) + "\n";
    for (int n = pick(4); n > 0; --n) {
      body += "<img src=\"/img" + std::to_string(pick(kImages)) + ".gif\">\n";
    }
    if (i % 7 == 3) {
      body += "<frame src=\"f" + std::to_string(i) + ".html\">\n";
      server.Script("/f" + std::to_string(i) + ".html",
                    test::ScriptedResponse::Ok("<img src=img" + std::to_string(pick(kImages)) +
                                               ".gif><a href=p" + std::to_string(pick(kPages)) +
                                               ".html>x</a>"));
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
                    test::ScriptedResponse::Redirect(302, "/p" + std::to_string(target) + ".html"));
    }
    if (i % 5 == 0) {
      body += "<a href=\"/data.zip\">zip</a>\n";
    }
    test::ScriptedResponse page = test::ScriptedResponse::Ok(body + "</body></html>\n");
    page.Headers.emplace_back("Last-Modified", kMonday);
    server.Script("/p" + std::to_string(i) + ".html", page);
  }
  server.Script("/data.zip",
                test::ScriptedResponse::Ok(std::string("PK\3\4") + std::string(3000, 'z')));
}

// A page fetched ahead before its entry is queued serves that entry, but a
// download never answers a request of another kind, URL or time.
TEST(FetchKeyServes, MatchesKindUrlTimeAndAnyUnnamedEntry) {
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
  const struct {
    const FetchKey& Have;
    bool Served;
  } cases[] = {{page, true},   {expected, true}, {other, false},
               {image, false}, {dated, false},   {elsewhere, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.Have.Url) + (c.Have.Kind == FetchKind::Image ? " image" : " page"));
    EXPECT_EQ(Serves(c.Have, page), c.Served);
  }
}

TEST_F(PatrolFetchAhead, EveryConnectionCountGivesTheSameResult) {
  ScriptSite(server_);
  AddEntry("/p0.html", 3, 1);
  UrlEntry& unchanged = AddEntry("/p1.html", 2, 1);
  unchanged.HasLastTime = 1;
  unchanged.LastTime = kMondayTime;
  AddEntry("/r4", 1, 0);
  AddEntry("/p0.html", 0, 1);  // the same page twice: stored twice
  AddEntry("/missing.html", 1, 1);
  AddEntry("/p17.html", 2, 1);

  const Result one = Patrol(1, list_);
  EXPECT_LE(server_.PeakWaiting(), 1u);
  EXPECT_TRUE(Temporaries().empty());
  ASSERT_GT(one.Files.size(), 20u);
  EXPECT_TRUE(one.Files.contains("data.zip"));
  EXPECT_FALSE(one.Files.contains("p1.html"));  // unchanged: not fetched
  for (uint32_t connections : {2u, 4u, 16u}) {
    SCOPED_TRACE(connections);
    server_.ResetPeakWaiting();
    const Result many = Patrol(connections, list_);
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

// Pages that keep every connection busy for a while: the server never sees
// more requests at once than the setting allows, and they share connections.
TEST_F(PatrolFetchAhead, NeverMoreRequestsInFlightThanConnections) {
  std::string index;
  for (int i = 0; i < 24; ++i) {
    const std::string path = "/s" + std::to_string(i) + ".html";
    index += "<a href=\"" + path + "\">s</a>";
    test::ScriptedResponse page =
        test::ScriptedResponse::Ok("<img src=/i" + std::to_string(i) + ".gif>");
    page.HeaderDelayMs = 3;
    server_.Script(path, page);
    server_.Script("/i" + std::to_string(i) + ".gif", test::ScriptedResponse::Ok("GIF89a"));
  }
  server_.Script("/index.html", test::ScriptedResponse::Ok(index));
  AddEntry("/index.html", 1, 1);
  for (uint32_t connections : {1u, 3u}) {
    SCOPED_TRACE(connections);
    server_.ResetPeakWaiting();
    const size_t before = server_.RequestCount();
    Patrol(connections, list_);
    EXPECT_LE(server_.PeakWaiting(), connections);
    std::set<int> used;
    const std::vector<test::RecordedRequest> requests = server_.Requests();
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
  test::ScriptedResponse held = test::ScriptedResponse::Ok("<img src=a.gif>a");
  held.HoldName = "a";
  server_.Script("/a.html", held);
  server_.Script("/a.gif", test::ScriptedResponse::Ok("GIF89a"));
  server_.Script("/b.html", test::ScriptedResponse::Ok("b"));
  server_.Script("/c.html", test::ScriptedResponse::Ok(std::string(3u << 19, 'c')));
  UrlEntry& a = AddEntry("/a.html", 0, 1);
  UrlEntry& b = AddEntry("/b.html", 0, 1);
  UrlEntry& c = AddEntry("/c.html", 0, 1);
  test::Store(Setting::Connections, 4);
  std::filesystem::create_directories(Save());
  PatrolList patrol;
  for (UrlEntry* entry : list_) {
    patrol.Add(entry);
  }
  RecordingView view;
  PatrolThread thread;
  ASSERT_TRUE(thread.Start(PatrolParams{&view, &patrol}));
  ASSERT_TRUE(server_.WaitUntilHeld("a"));
  ASSERT_TRUE(server_.WaitForOutcomes(2));  // b and c have been answered whole
  PatrolRunning.store(kPatrolCancelled);
  server_.Release("a");
  EXPECT_EQ(thread.Join(), kPatrolDone);

  // The page being taken when the cancel came is stored; its image is not
  // fetched, and nothing fetched ahead is stored.
  EXPECT_EQ(a.Status, 1);
  EXPECT_EQ(b.Status, 0);
  EXPECT_EQ(c.Status, 0);
  std::vector<std::string> stored;
  for (const auto& item : std::filesystem::directory_iterator(Save())) {
    stored.push_back(item.path().filename().string());
  }
  EXPECT_THAT(stored, testing::ElementsAre("a.html"));
  EXPECT_TRUE(Temporaries().empty());
}

// The temporary files are named Kivo0000.tmp, Kivo0001.tmp, ... in the program
// folder, which is also where pages go by default: a page may not take one
// of those names, or the next large download would remove it.
TEST_F(PatrolFetchAhead, APageNeverTakesATemporaryFileName) {
  server_.Script("/Kivo0001.tmp", test::ScriptedResponse::Ok("planted"));
  UrlEntry& entry = AddEntry("/Kivo0001.tmp", 0, 0);
  entry.UseOwnFolder = 1;  // an empty own folder is the program folder
  std::filesystem::create_directories(home_.File("prog"));

  const Result result = Patrol(4, list_);

  EXPECT_THAT(result.Calls, testing::Contains("update 0 " + home_.File("prog/Kivo0001A.tmp")));
  EXPECT_EQ(test::ReadBytes(home_.File("prog/Kivo0001A.tmp")), "planted");
}

}  // namespace
}  // namespace kivo
