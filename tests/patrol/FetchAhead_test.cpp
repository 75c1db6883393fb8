// A patrol over several connections fetches ahead but commits in list order:
// whatever the connection count, what it stores, what it reports and the list
// it leaves are the same as with one connection, on a first patrol and on a
// second one that asks conditionally.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "patrol/FetchAhead.h"
#include "patrol/FetchAheadHarness.h"

namespace kivo::test {
namespace {

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
  AddSiteEntries();
  const Result one = ExpectTheSameAtEveryCount(SameRequests::No);
  ASSERT_GT(one.Files.size(), 20u);
  EXPECT_TRUE(one.Files.contains("data.zip"));
  EXPECT_FALSE(one.Files.contains("p1.html"));  // unchanged: not fetched
}

// Servers that push back, each given the seeded site: one that answers 503
// to a request arriving while it prepares another, as a limit per client
// does, and one that serves one connection at a time (as Python's plain
// HTTPServer with keep-alive) and leaves the others waiting, and one whose
// first page begins its answer only after a later one, fetched ahead, has been
// answered (a page that counts its requests). The receive time-out is
// longer than the test may take, so a patrol that waited one out would fail
// for time.
enum class PushBack { Busy503, OneConnection, SlowPage };

class PatrolPushedBack : public PatrolFetchAhead, public testing::WithParamInterface<PushBack> {};

TEST_P(PatrolPushedBack, StoresTheSameAtEveryCount) {
  ScriptSite(server_, Conditions::Ignored, GetParam() == PushBack::Busy503 ? 3 : 0);
  if (GetParam() == PushBack::SlowPage) {
    ScriptedResponse slow = ScriptedResponse::Ok("slow, ");
    slow.CountRequests = true;
    slow.HoldHead = true;
    HoldFirstPage("/slow.html", slow, [](uint32_t) { return 1; });
    Add("/slow.html");
  }
  AddSiteEntries();
  if (GetParam() == PushBack::Busy503) {
    server_.AnswerBusyWith(503);
  } else if (GetParam() == PushBack::OneConnection) {
    server_.SetMode(ServerMode::OneConnection);
  }
  limits_.ReceiveTimeoutMs = 600000;
  limits_.LeftWaitingMs = 1;
  ExpectTheSameAtEveryCount(SameRequests::No);
}

INSTANTIATE_TEST_SUITE_P(Servers, PatrolPushedBack,
                         testing::Values(PushBack::Busy503, PushBack::OneConnection,
                                         PushBack::SlowPage));

// A second patrol over a site where some pages and an image changed: pages
// and images are asked conditionally, unchanged images are stored again as
// second names of their earlier copies, and still every connection count
// stores, reports and leaves the same, and asks for the same URLs with the
// same validators. (A redirect's target may be asked for twice: once ahead,
// before the redirect has shown where it leads.)
TEST_F(PatrolFetchAhead, ASecondPatrolOverAPartlyChangedSiteIsTheSameForEveryCount) {
  ScriptSite(server_, Conditions::Honoured);
  Add("/p0.html", 3).GetImages = 1;
  Add("/p17.html", 2).GetImages = 1;
  Add("/p1.html", 1).GetImages = 1;
  Store(Setting::Connections, 1);
  ASSERT_EQ(Patrol(), kPatrolDone);
  KeepFirstPatrol();
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
    RestoreFirstPatrol();
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
    EXPECT_EQ(Distinct(many), Distinct(one));
  }
}

// The same on a site without redirects, where a second patrol asks for each
// URL as often as with one connection, with the same validators: the entries'
// pages and the images carry them, the queued pages none.
TEST_F(PatrolFetchAhead, ASecondPatrolAsksForEachUrlAsOftenAsWithOneConnection) {
  const auto script = [this](const std::string& path, const std::string& body, const char* tag) {
    ScriptedResponse response = ScriptedResponse::Ok(body);
    response.Headers = {{"ETag", tag}};
    response.Validators = Conditions::Honoured;
    server_.Script(path, response);
  };
  script("/sa.html", "<img src=s.gif><frame src=fa.html><a href=l1.html>l</a>", "\"a\"");
  script("/fa.html", "<img src=s.gif><img src=fa.gif>", "\"f\"");
  script("/l1.html", "<img src=l1.gif><a href=sa.html>back</a>", "\"l\"");
  script("/sb.html", "<img src=s.gif><img src=b.gif>", "\"b\"");
  for (const char* path : {"/s.gif", "/fa.gif", "/l1.gif", "/b.gif"}) {
    script(path, "GIF89a", "\"g\"");
  }
  Add("/sa.html", 1).GetImages = 1;
  Add("/sb.html").GetImages = 1;
  ASSERT_EQ(Patrol(), kPatrolDone);
  KeepFirstPatrol();
  script("/sa.html", "<img src=s.gif><frame src=fa.html><a href=l1.html>l</a>new", "\"a2\"");
  beforeEach_ = [this](uint32_t) { RestoreFirstPatrol(); };
  const Result one = ExpectTheSameAtEveryCount(SameRequests::Yes, Start::AsLeft);
  EXPECT_THAT(one.Requests,
              testing::ElementsAre("/fa.gif If-None-Match: \"g\"", "/fa.html",
                                   "/l1.gif If-None-Match: \"g\"", "/l1.html",
                                   "/s.gif If-None-Match: \"g\"", "/sa.html If-None-Match: \"a\"",
                                   "/sb.html If-None-Match: \"b\""));
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
  const size_t asked = server_.RequestCount();
  PatrolRunning.store(kPatrolCancelled);
  server_.Release("a");
  EXPECT_EQ(patrol.get(), kPatrolDone);

  // The page being taken when the cancel came is stored; its image is not
  // fetched, nothing more is asked for, and nothing fetched ahead is stored.
  EXPECT_EQ(server_.RequestCount(), asked);
  EXPECT_EQ(entries_[0]->Status, 1);
  EXPECT_EQ(entries_[1]->Status, 0);
  EXPECT_EQ(entries_[2]->Status, 0);
  EXPECT_THAT(Names(), testing::ElementsAre("a.html"));
  EXPECT_TRUE(Temporaries().empty());
}

// A site where one connection asks for each URL once: two entries and a frame
// and a link share an image, a page shows an image that it also links to (the
// link is not followed: the image is fetched by then), a link is missing, and
// the last entry's page is held until its turn, when the patrol is cancelled,
// so that its image and link are never asked for.
TEST_F(PatrolFetchAhead, EachUrlIsAskedForAsOftenAsWithOneConnection) {
  Page("/sa.html",
       "<img src=s.gif><img src=u.gif><a href=u.gif>u</a><frame src=fa.html>"
       "<a href=l1.html>l</a><a href=missing.html>m</a>");
  Page("/fa.html", "<img src=s.gif><img src=fa.gif>");
  Page("/l1.html", "<img src=s.gif><img src=l1.gif><a href=sa.html>back</a>");
  Page("/sb.html", "<img src=s.gif><img src=b.gif>");
  for (const char* path : {"/s.gif", "/u.gif", "/fa.gif", "/l1.gif", "/b.gif", "/c.gif"}) {
    Image(path);
  }
  Add("/sa.html", 1).GetImages = 1;
  Add("/sb.html").GetImages = 1;
  Add("/sc.html", 1).GetImages = 1;
  std::string hold;
  beforeEach_ = [&](uint32_t connections) {
    hold = "c" + std::to_string(connections);
    ScriptedResponse held = ScriptedResponse::Ok("<img src=c.gif><a href=lc.html>l</a>");
    held.HoldName = hold;
    server_.Script("/sc.html", held);
  };
  onUrl_ = [&](const std::string& url) {
    if (url.ends_with("/sc.html")) {
      PatrolRunning.store(kPatrolCancelled);
      server_.Release(hold);
    }
  };
  const Result one = ExpectTheSameAtEveryCount(SameRequests::Yes);
  EXPECT_THAT(one.Requests, testing::ElementsAre("/b.gif", "/fa.gif", "/fa.html", "/l1.gif",
                                                 "/l1.html", "/missing.html", "/s.gif", "/sa.html",
                                                 "/sb.html", "/sc.html", "/u.gif"));
}

// A request once sent is never stopped to make room. The pages after the first
// are held by the server until their turn, so that every connection that
// fetches ahead stays busy while the first page's image needs one; each page
// counts its requests, and says "request 1" at every count.
TEST_F(PatrolFetchAhead, ARequestOnceSentIsNeverAskedAgain) {
  Page("/a.html", "<img src=a.gif>");
  Image("/a.gif");
  Add("/a.html").GetImages = 1;
  constexpr int kHeld = 20;
  for (int i = 0; i < kHeld; ++i) {
    Add("/b" + std::to_string(i) + ".html");
  }
  uint32_t run = 0;
  beforeEach_ = [&](uint32_t connections) {
    run = connections;
    for (int i = 0; i < kHeld; ++i) {
      ScriptedResponse held = ScriptedResponse::Ok("page b, ");
      held.CountRequests = true;
      held.HoldName = "b" + std::to_string(i) + "." + std::to_string(run);
      server_.Script("/b" + std::to_string(i) + ".html", held);
    }
  };
  onUrl_ = [&](const std::string& url) {
    const size_t name = url.rfind("/b");
    if (name != std::string::npos) {
      server_.Release(url.substr(name + 1, url.size() - name - 6) + "." + std::to_string(run));
    }
  };
  const Result one = ExpectTheSameAtEveryCount(SameRequests::Yes);
  EXPECT_EQ(one.Files.at("b7.html"), "page b, request 1");
}

// The program folder's disk is under the free-space floor, the save folder's
// is not. With one connection every page fits in memory. Behind a first page
// held until the others have filled the memory kept for pages fetched ahead,
// those that no longer fit there give way instead of spilling to that disk,
// and are asked for again at their turn: no connection count stops the patrol.
TEST_F(PatrolFetchAhead, AFetchAheadWithoutRoomNeverStopsThePatrol) {
  constexpr int kPages = 20;
  for (int i = 0; i < kPages; ++i) {
    const std::string path = "/big" + std::to_string(i) + ".gif";
    Page(path, "GIF89a" + std::string(300u << 10, static_cast<char>('a' + i)));
    Add(path);
  }
  const std::string program = home_.Program();
  limits_.FreeSpace = [program](std::u16string_view path) {
    return std::optional<uint64_t>(Utf8(path).starts_with(program) ? 32 * kMiB : 1024 * kMiB);
  };
  // 13 pages fill the memory, and the next one has to give way.
  HoldFirstPage("/big0.gif", ScriptedResponse::Ok("GIF89a" + std::string(300u << 10, 'a')),
                [](uint32_t) { return 14; });
  EXPECT_EQ(ExpectTheSameAtEveryCount(SameRequests::No).Files.size(), size_t{kPages});
  EXPECT_GT(server_.RequestCount(), size_t{kPages} * 4);  // some were asked for twice
}

// Behind a first page held until the 20 entries after it have arrived ahead, its 40 links are
// queued in front of them and push their downloads past the plan's horizon: they are kept for
// their turn, and each page is asked for once, as with one connection.
TEST_F(PatrolFetchAhead, DownloadsPushedPastTheHorizonAreKeptForTheirTurn) {
  std::string links;
  for (int i = 0; i < 40; ++i) {
    links += "<a href=l" + std::to_string(i) + ".html>l</a>";
    Page("/l" + std::to_string(i) + ".html", "l");
  }
  HoldFirstPage("/a.html", ScriptedResponse::Ok(links),
                [](uint32_t connections) { return std::min(20u, connections * 8 - 1); });
  Add("/a.html", 1);
  for (int i = 0; i < 20; ++i) {
    Page("/e" + std::to_string(i) + ".html", "e");
    Add("/e" + std::to_string(i) + ".html");
  }
  EXPECT_EQ(ExpectTheSameAtEveryCount(SameRequests::Yes).Requests.size(), 61u);
}

// Behind a held first page the second entry, fetched ahead, is turned away with a 503, and the
// patrol is cancelled when the second's turn is shown. One connection asks for it then, within
// the cancel's grace, and stores it; so does every count, asking again.
TEST_F(PatrolFetchAhead, AFetchAheadTurnedAwayIsAskedAgainAfterACancel) {
  Add("/a.html");
  Add("/b.html");
  HoldFirstPage("/a.html", ScriptedResponse::Ok("a"), [](uint32_t) { return 1; });
  ScriptedResponse busy = ScriptedResponse::Ok("busy");
  busy.Status = 503;
  beforeEach_ = [this, busy, hold = beforeEach_](uint32_t connections) {
    server_.Script("/b.html", busy);
    hold(connections);
  };
  onUrl_ = [this](const std::string& url) {
    if (url.ends_with("/b.html")) {
      server_.Script("/b.html", ScriptedResponse::Ok("b"));
      PatrolRunning.store(kPatrolCancelled);
    }
  };
  EXPECT_EQ(ExpectTheSameAtEveryCount(SameRequests::No).Files.size(), 2u);
}

// The program folder and the save folder share a disk with 9.5 MiB above the floor. Behind a
// first page held until three pages of 3 MiB have spilled ahead down to the floor, storing the
// first page takes their room back; the patrol is abandoned at the third's turn, after two of
// them have been stored.
TEST_F(PatrolFetchAhead, SpilledFetchAheadsGiveTheirRoomToThePageBeingStored) {
  OnOneDisk(kMinFreeBytes + 19 * kMiB / 2);
  HoldFirstPage("/s.gif", ScriptedResponse::Ok("GIF89a" + std::string(900u << 10, 's')),
                [](uint32_t) { return 3; });
  Add("/s.gif");
  for (const char* path : {"/l1.gif", "/l2.gif", "/l3.gif"}) {
    Page(path, "GIF89a" + std::string(3 * kMiB, path[2]));
    Add(path);
  }
  onUrl_ = [](const std::string& url) {
    if (url.ends_with("/l3.gif")) {
      PatrolRunning.store(kPatrolAbandoned);
    }
  };
  EXPECT_THAT(
      ExpectTheSameAtEveryCount(SameRequests::No).Files,
      testing::ElementsAre(testing::Key("l1.gif"), testing::Key("l2.gif"), testing::Key("s.gif")));
}

}  // namespace
}  // namespace kivo::test
