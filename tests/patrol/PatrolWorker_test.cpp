#include "patrol/PatrolWorker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

#include "patrol/PatrolHarness.h"
#include "patrol/PatrolThread.h"
#include "platform/ProgramFolder.h"

namespace kivo::test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
using testing::UnorderedElementsAre;

TEST_F(PatrolTest, TraversalIsDepthFirstFramesBeforeLinks) {
  Page("/a.html", "<a href=\"l1.html\">1</a><frame src=\"f.html\"><a href=\"l2.html\">2</a>");
  Page("/f.html", "<a href=\"fl.html\">x</a><frame src=\"ff.html\">");
  Page("/ff.html", "leaf");
  Page("/fl.html", "<a href=\"deeper.html\">too deep</a>");
  Page("/l1.html", "<frame src=\"l1f.html\"><a href=\"l1l.html\">no</a>");
  Page("/l1f.html", "leaf");
  Page("/l2.html", "<a href=\"l2l.html\">no</a>");
  Page("/b.html", "b");
  Add("/a.html", 1, "A");
  Add("/b.html", 0, "B");

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_THAT(Targets(), ElementsAre("/a.html", "/f.html", "/ff.html", "/fl.html", "/l1.html",
                                     "/l1f.html", "/l2.html", "/b.html"));
  // Temporary entries inherit the title of the user entry they came from.
  EXPECT_THAT(view_.Calls("title"), ElementsAre("A", "A", "A", "A", "A", "A", "A", "B"));
  EXPECT_EQ(view_.Calls("finished").size(), 1u);
}

// The rule itself is AdmissionTest's; this shows that links pass through it
// with the entry's list. 127.0.0.1:PORT and localhost:PORT reach the same
// server but are two servers to the rule, so the Host header tells them apart.
TEST_F(PatrolTest, LinksToOtherServersFollowTheEntrysServerList) {
  const std::string other = "http://localhost:" + std::to_string(server_.Port());
  Page("/a.html", "<a href=\"" + other + "/pub/x.html\">x</a><a href=\"" + other +
                      "/y.html\">y</a><a href=\"own.html\">own</a>");
  Page("/pub/x.html", "listed");
  Page("/y.html", "not listed");
  Page("/own.html", "own");
  UrlEntry& entry = Add("/a.html", 1);
  entry.Servers.Add(std::make_unique<WideString>(U16(other + "/pub/")));

  EXPECT_EQ(Patrol(), kPatrolDone);

  std::vector<std::string> fetched;
  for (const RecordedRequest& request : server_.Requests()) {
    fetched.push_back(request.Header("Host").value_or("").substr(0, 9) + request.Target);
  }
  EXPECT_THAT(fetched,
              ElementsAre("127.0.0.1/a.html", "localhost/pub/x.html", "127.0.0.1/own.html"));
}

// A URL linked again, from another page or another user entry, is not fetched
// again; an image used by two pages is one copy for both. Two user entries with
// one URL are both fetched, into two files.
TEST_F(PatrolTest, EachUrlIsFetchedOnceAndSharedByAllWhoUseIt) {
  Page("/a.html", "<a href=\"p1.html\">1</a><a href=\"p2.html\">2</a><a href=\"p3.html\">3</a>");
  for (const char* page : {"/p1.html", "/p2.html", "/p3.html"}) {
    Page(page, "<a href=\"common.html\">c</a><frame src=\"frame.html\"><a href=\"b.html\">b</a>");
  }
  Page("/common.html", "<img src=\"img/logo.gif\">");
  Page("/frame.html", "f");
  Page("/b.html", "<img src=\"/img/logo.gif\"><a href=\"a.html\">a</a>");
  Image("/img/logo.gif");
  Add("/a.html", 2).GetImages = 1;
  Add("/b.html", 1).GetImages = 1;
  UrlEntry& twin = Add("/b.html");

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_THAT(Targets(),
              UnorderedElementsAre("/a.html", "/p1.html", "/frame.html", "/common.html",
                                   "/img/logo.gif", "/p2.html", "/p3.html", "/b.html", "/b.html"));
  EXPECT_EQ(Utf8(twin.LocalFile.View()), SaveFile("bA.html"));
  EXPECT_THAT(test::ReadBytes(SaveFile("common.html")), HasSubstr("src=\"logo.gif\""));
  EXPECT_THAT(test::ReadBytes(SaveFile("b.html")), HasSubstr("src=\"logo.gif\""));
}

TEST_F(PatrolTest, AnUnchangedEntryIsSkippedWithEverythingBelowIt) {
  Page("/a.html", "<img src=\"i.gif\"><frame src=\"f.html\"><a href=\"l.html\">l</a>");
  Page("/f.html", "f");
  Page("/l.html", "l");
  Image("/i.gif");
  UrlEntry& entry = Add("/a.html", 1);
  entry.GetImages = 1;
  ASSERT_EQ(Patrol(), kPatrolDone);
  ASSERT_EQ(Targets().size(), 4u);
  const std::string firstCopy = Utf8(entry.LocalFile.View());
  entry.Status = 2;  // viewed since
  ForgetRequests();

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_THAT(Targets(), ElementsAre("/a.html"));
  EXPECT_EQ(entry.Status, 2);
  EXPECT_EQ(Utf8(entry.LocalFile.View()), firstCopy);
  EXPECT_EQ(Names().size(), 4u);
}

TEST_F(PatrolTest, WithoutImagesThePlaceholderIsUsedUnlessAnotherEntryFetchedIt) {
  Page("/x.html", "<img src=\"/shared.gif\">");
  Page("/y.html", "<img src=\"/shared.gif\"><img src=\"/own.gif\">");
  Image("/shared.gif");
  Image("/own.gif");
  Add("/x.html").GetImages = 1;
  Add("/y.html");

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_THAT(Targets(), ElementsAre("/x.html", "/shared.gif", "/y.html"));
  const std::string y = test::ReadBytes(SaveFile("y.html"));
  EXPECT_THAT(y, HasSubstr("src=\"shared.gif\""));
  EXPECT_THAT(y, HasSubstr(Utf8(platform::ProgramFile(u"null.gif"))));
  EXPECT_THAT(y, Not(HasSubstr("own.gif")));
}

TEST_F(PatrolTest, ABinaryDownloadIsStoredButNeitherAnalysedNorRewritten) {
  const std::string body = std::string("GIF89a\x01\x00") + "<a href=\"x.html\">x</a><img src=i>";
  Page("/data.cgi", body);
  Page("/x.html", "x");
  UrlEntry& entry = Add("/data.cgi", 1);
  entry.GetImages = 1;

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_THAT(Targets(), ElementsAre("/data.cgi"));
  EXPECT_EQ(entry.Status, 1);
  EXPECT_EQ(test::ReadBytes(SaveFile("data.cgi")), body);
}

TEST_F(PatrolTest, UpdatesTheEntriesAndLeavesTheListAsItWasGiven) {
  Page("/a.html", "<frame src=\"f.html\"><a href=\"l.html\">l</a>");
  Page("/f.html", "f");
  Page("/l.html", "l");
  Page("/nodate.html", "no date", std::nullopt);
  UrlEntry& a = Add("/a.html", 1);
  UrlEntry& missing = Add("/missing.html");
  UrlEntry& nodate = Add("/nodate.html");
  nodate.HasLastTime = 1;
  nodate.LastTime.Year = 1999;

  EXPECT_EQ(Patrol(), kPatrolDone);

  ASSERT_EQ(list_->Count(), 3);
  EXPECT_EQ((*list_)[0], &a);
  EXPECT_EQ((*list_)[1], &missing);
  EXPECT_EQ((*list_)[2], &nodate);
  EXPECT_EQ(list_->TemporaryCount(), 0);

  EXPECT_EQ(a.Status, 1);
  EXPECT_EQ(Utf8(a.LocalFile.View()), SaveFile("a.html"));
  EXPECT_EQ(a.HasLastTime, 1);
  EXPECT_EQ(a.LastTime, (SystemTime{2026, 12, 1, 7, 10, 0, 0, 0}));  // kMonday

  // A 404 is a failed fetch: the entry keeps every field.
  EXPECT_EQ(missing.Status, 0);
  EXPECT_TRUE(missing.LocalFile.IsEmpty());
  EXPECT_EQ(missing.HasLastTime, 0);

  // No Last-Modified header: stored, and the flag cleared.
  EXPECT_EQ(nodate.Status, 1);
  EXPECT_EQ(nodate.HasLastTime, 0);

  EXPECT_EQ(view_.Calls("update").size(), 2u);
  EXPECT_TRUE(Temporaries().empty());
  EXPECT_EQ(view_.lastState, PatrolState::Rewriting);
  EXPECT_EQ(view_.Calls("finished").size(), 1u);
}

// An entry's own folder takes the entry and what it reaches. When that folder
// cannot take files, nothing is fetched for the entry, the folder is reported
// once, and the other entries go on.
TEST_F(PatrolTest, OwnFoldersTakeWhatTheirEntryReaches) {
  std::filesystem::create_directory(home_.File("own"));
  Page("/a.html", "<frame src=\"f.html\"><img src=\"i.gif\">");
  Page("/f.html", "f");
  Image("/i.gif");
  Page("/b.html", "<frame src=\"f.html\">");
  Page("/c.html", "c");
  for (const char* folder : {"own", "no-such-folder"}) {
    UrlEntry& entry = Add(folder == std::string("own") ? "/a.html" : "/b.html");
    entry.GetImages = 1;
    entry.UseOwnFolder = 1;
    entry.OwnFolder.Assign(U16(home_.File(folder) + "/"));
  }
  Add("/c.html");

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_THAT(Targets(), UnorderedElementsAre("/a.html", "/f.html", "/i.gif", "/c.html"));
  EXPECT_EQ(Utf8(entries_[0]->LocalFile.View()), home_.File("own/a.html"));
  EXPECT_TRUE(std::filesystem::exists(home_.File("own/f.html")));
  EXPECT_TRUE(std::filesystem::exists(home_.File("own/i.gif")));
  EXPECT_THAT(view_.errors, ElementsAre(PatrolError{PatrolErrorKind::UnusableFolder,
                                                    U16(home_.File("no-such-folder/")), ENOENT}));
  EXPECT_EQ(entries_[1]->Status, 0);
  EXPECT_TRUE(entries_[1]->LocalFile.IsEmpty());
  EXPECT_EQ(entries_[1]->HasLastTime, 0);
  EXPECT_THAT(Names(), ElementsAre("c.html"));
}

// A view in the GUI's manner: every call is handed to a "user-interface"
// thread, which also paints the entries (reads their fields) between calls.
// Under ThreadSanitizer this shows that the worker never touches a live
// entry while the owner thread may read it.
class UiThreadView : public RecordingView {
 public:
  explicit UiThreadView(const UrlList& entries) : entries_(entries) {}

  // Serves the worker's calls on this thread until Finished.
  void RunUiLoop() {
    while (!done_) {
      std::unique_lock<std::mutex> lock(mutex_);
      cv_.wait(lock, [this] { return !tasks_.empty(); });
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      for (const UrlEntry* entry : entries_) {
        painted += entry->LocalFile.View().size() + static_cast<size_t>(entry->Status) +
                   entry->LastTime.Year;
      }
    }
  }

  void SetTitle(std::u16string_view name) override {
    Send([this, text = std::u16string(name)] { RecordingView::SetTitle(text); });
  }
  void UpdateEntry(UrlEntry& entry, const EntryUpdate& update) override {
    Send([&] { RecordingView::UpdateEntry(entry, update); });
  }
  void Finished() override {
    Send([this] { done_ = true; });
  }

  size_t painted = 0;

 private:
  // Runs task on the UI thread and waits for it, like a sent message.
  void Send(const std::function<void()>& task) {
    std::promise<void> served;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back([&] {
        task();
        served.set_value();
      });
    }
    cv_.notify_one();
    served.get_future().wait();
  }

  const UrlList& entries_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  bool done_ = false;
};

TEST_F(PatrolTest, EntryUpdatesReachTheOwnerThroughTheView) {
  Page("/a.html", "<frame src=\"f.html\"><a href=\"l.html\">l</a>");
  Page("/f.html", "f");
  Page("/l.html", "l");
  Page("/b.html", "b");
  Add("/a.html", 1, "A");
  Add("/b.html", 1, "B");
  UiThreadView view(entries_);
  PatrolList list;
  for (UrlEntry* entry : entries_) {
    list.Add(entry);
  }
  PatrolThread thread;
  ASSERT_TRUE(thread.Start(PatrolParams{&view, &list}));
  view.RunUiLoop();
  EXPECT_EQ(thread.Join(), kPatrolDone);

  EXPECT_EQ(entries_[0]->Status, 1);
  EXPECT_EQ(entries_[1]->Status, 1);
  EXPECT_EQ(Utf8(entries_[1]->LocalFile.View()), SaveFile("b.html"));
  EXPECT_THAT(view.Calls("title"), ElementsAre("A", "A", "A", "B"));
  EXPECT_GT(view.painted, 0u);
}

// ---- Hostile servers and damaged local state: what a patrol stores, shows and returns.

// How a transfer fails is HttpConnections' and DownloadBody's; this shows that a patrol keeps
// to MaxFileSize (in MiB) for a body that never ends.
TEST_F(PatrolTest, FramesStopEightHopsAfterTheLastHyperlink) {
  const std::string tags[] = {
      "<frame src=", "<iframe src=", "<script src=", "<link rel=stylesheet href="};
  std::vector<std::string> expected;
  for (const std::string chain : {"f", "g"}) {
    for (int k = 0; k < 12; ++k) {
      const std::string next = chain + std::to_string(k + 1);
      // f5 also links to the start of the g chain.
      Page("/" + chain + std::to_string(k),
           chain == "g" ? "<link rel=next href=" + next + ">"
                        : tags[k % 4] + next + ">" + (k == 5 ? "<a href=g0>g</a>" : ""));
      if (k <= kMaxFrameHops) {
        expected.push_back("/" + chain + std::to_string(k));
      }
    }
  }
  for (int32_t level : {1, 0, -3}) {
    SCOPED_TRACE(level);
    list_.reset();
    entries_.Clear();
    Add("/f0", level);
    ForgetRequests();

    EXPECT_EQ(Patrol(), kPatrolDone);

    EXPECT_EQ(Targets(), level > 0 ? expected
                                   : std::vector<std::string>(
                                         expected.begin(), expected.begin() + kMaxFrameHops + 1));
  }
}

// How redirects are followed is HttpConnections'; the download reports the final URL, and the
// patrol reads the page against it.
TEST_F(PatrolTest, ARedirectedPageIsReadAgainstItsFinalUrl) {
  server_.Script("/old", ScriptedResponse::Redirect(301, "/new/"));
  Page("/new/", "<img src=i.gif><a href=sub.html>s</a><a href=/old>o</a><a href=/new/>n</a>");
  Image("/new/i.gif");
  Page("/new/sub.html", "sub");
  UrlEntry& entry = Add("/old", 1);
  entry.GetImages = 1;

  EXPECT_EQ(Patrol(), kPatrolDone);

  // Neither the URL asked for nor the final one is fetched again.
  EXPECT_THAT(Targets(), ElementsAre("/old", "/new/", "/new/i.gif", "/new/sub.html"));
  EXPECT_EQ(Utf8(entry.Url.View()), server_.Url("/old"));
  // Both of its own URLs name the local copy.
  EXPECT_EQ(ReadBytes(SaveFile("old")),
            "<img src=i.gif><a href=sub.html>s</a><a href=old>o</a><a href=old>n</a>");
}

// A queued link whose URL was fetched as an image before its turn is still
// fetched, as a page, so that the offline copy links to a copy of its own.
TEST_F(PatrolTest, ALinkFetchedMeanwhileAsAnImageIsStillFetchedAsAPage) {
  Page("/q.html", "<a href=l1.html>l</a><a href=v.gif>v</a>");
  Page("/l1.html", "<img src=v.gif>");
  Image("/v.gif");
  Add("/q.html", 1).GetImages = 1;

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_THAT(Targets(), ElementsAre("/q.html", "/l1.html", "/v.gif", "/v.gif"));
  EXPECT_THAT(Names(), ElementsAre("l1.html", "q.html", "v.gif", "vA.gif"));
  EXPECT_EQ(ReadBytes(SaveFile("q.html")), "<a href=l1.html>l</a><a href=vA.gif>v</a>");
  EXPECT_EQ(ReadBytes(SaveFile("l1.html")), "<img src=v.gif>");
}

// ---- Damaged or unusual local state.

}  // namespace
}  // namespace kivo::test
