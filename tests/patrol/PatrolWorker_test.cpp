#include "patrol/PatrolWorker.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <ostream>

#include "common/ScopedEnv.h"
#include "patrol/PatrolHarness.h"
#include "patrol/PatrolThread.h"
#include "platform/ProgramFolder.h"
#include "platform/UniqueFd.h"

namespace kivo::test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
using testing::UnorderedElementsAre;

// The worker's own patrols: one request at a time, so that the server sees
// the patrol's own order.
class PatrolTest : public PatrolHarness {
 protected:
  void SetUp() override {
    PatrolHarness::SetUp();
    Store(Setting::Connections, 1);
  }
};

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
TEST_F(PatrolTest, AnEndlessBodyOverMaxFileSizeStoresNothing) {
  Store(Setting::MaxFileSize, 1);
  ScriptedResponse endless = ScriptedResponse::Ok(std::string((1u << 20) + 1, 'x'));
  endless.Length = LengthHeader::Absent;
  endless.ChunkSize = 64 * 1024;
  server_.Script("/p.html", endless);
  UrlEntry& entry = Add("/p.html");

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_EQ(entry.Status, 0);
  EXPECT_EQ(entry.HasLastTime, 0);
  EXPECT_TRUE(std::filesystem::is_empty(Save()));
  EXPECT_TRUE(view_.errors.empty());
}

// ---- Cancel and abandon while a download is held in flight.

struct CancelCase {
  const char* Name;
  int32_t Flag;
  int GraceMs;
  bool Release;
  bool Stored;
  bool Last = false;  // the held page is the last of the patrol, without images

  friend void PrintTo(const CancelCase& c, std::ostream* os) { *os << c.Name; }
};

class CancelInFlight : public PatrolTest, public testing::WithParamInterface<CancelCase> {};

// The held page's image comes after the cancel, so it is never fetched; a
// stored page is still rewritten, and names the placeholder instead.
TEST_P(CancelInFlight, EndsTheDownloadOnlyAsTheRulesSay) {
  const CancelCase& c = GetParam();
  ScriptedResponse held = ScriptedResponse::Ok("<img src=i.gif>");
  held.HoldName = "p";
  server_.Script("/p.html", held);
  Image("/i.gif");
  Page("/q.html", "q");
  UrlEntry& p = Add("/p.html");
  p.GetImages = c.Last ? 0 : 1;
  if (!c.Last) {
    Add("/q.html");
  }
  limits_.CancelGrace = std::chrono::milliseconds(c.GraceMs);
  std::future<int32_t> patrol = std::async(std::launch::async, [this] { return Patrol(); });
  ASSERT_TRUE(server_.WaitUntilHeld("p"));
  PatrolRunning.store(c.Flag);
  if (c.Release) {
    server_.Release("p");
  }

  EXPECT_EQ(patrol.get(), kPatrolDone);
  EXPECT_EQ(p.Status, c.Stored ? 1 : 0);
  EXPECT_THAT(Targets(), ElementsAre("/p.html"));
  EXPECT_EQ(view_.lastState, PatrolState::Rewriting);
  if (c.Stored) {
    EXPECT_THAT(ReadBytes(SaveFile("p.html")), HasSubstr("null.gif"));
  }
  // Work was left undone unless the last page came whole.
  EXPECT_EQ(report_.StoppedByCancel, !c.Last || !c.Stored);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CancelInFlight,
    testing::Values(CancelCase{"CancelLetsItFinish", kPatrolCancelled, 10000, true, true},
                    CancelCase{"CancelGivesUpAfterTheGrace", kPatrolCancelled, 50, false, false},
                    CancelCase{"AbandonGivesUpAtOnce", kPatrolAbandoned, 10000, false, false},
                    CancelCase{"CancelInTheLastDownloadStopsNothing", kPatrolCancelled, 10000, true,
                               true, true}),
    testing::PrintToStringParamName());

// ---- What a server makes the patrol follow.

// Frames, and the inline frames, scripts and style sheets that travel with
// them, are followed at every level, but at most eight hops deep since the
// last hyperlink. Level 0, and a negative one from a hand-made list, follow
// no hyperlink.
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

TEST_F(PatrolTest, AFullDiskEndsThePatrolLikeCancel) {
  Page("/a.html", "<img src=i.gif>");
  Image("/i.gif");
  Page("/b.html", "b");
  UrlEntry& a = Add("/a.html");
  a.GetImages = 1;
  UrlEntry& b = Add("/b.html");
  view_.onUrl = [this](const std::string& url) {
    if (url.ends_with("/i.gif")) {
      free_ = kMinFreeBytes - 1;
    }
  };

  EXPECT_EQ(Patrol(), kPatrolOutOfSpace);

  EXPECT_THAT(Targets(), ElementsAre("/a.html", "/i.gif"));
  EXPECT_EQ(a.Status, 1);  // its page was stored, though its image was not
  EXPECT_EQ(b.Status, 0);
  EXPECT_THAT(view_.errors,
              ElementsAre(PatrolError{PatrolErrorKind::OutOfSpace, U16(Save() + "/"), 0}));
  EXPECT_EQ(view_.lastState, PatrolState::Rewriting);
  EXPECT_THAT(ReadBytes(SaveFile("a.html")), HasSubstr("null.gif"));
}

// A copy of a large download to a save folder on another file system writes
// its bytes there, so it must leave the free-space floor as a body held in
// memory must; a second name on the same file system costs no space.
TEST_F(PatrolTest, ACopyToAnotherFileSystemKeepsTheFloor) {
  ScopedEnv shmTemporaries("TMPDIR", "/dev/shm");
  const TempDir other;
  struct stat otherInfo {};
  struct stat homeInfo {};
  if (::stat(other.Path().c_str(), &otherInfo) != 0 ||
      ::stat(home_.Dir().Path().c_str(), &homeInfo) != 0 || otherInfo.st_dev == homeInfo.st_dev) {
    GTEST_SKIP() << "/dev/shm is not a file system of its own here";
  }
  Page("/big.html", std::string((5u << 20) / 4, 'x'));  // 1.25 MiB: spilled to a file
  free_ = kMinFreeBytes + (9u << 20) / 8;               // room for the spill, not for a copy
  for (const std::string& folder : {other.Path(), Save()}) {
    SCOPED_TRACE(folder);
    Store(Setting::SaveFolder, U16(folder + "/"));
    entries_.Clear();
    view_.errors.clear();
    UrlEntry& entry = Add("/big.html");
    const bool copied = folder == other.Path();

    EXPECT_EQ(Patrol(), copied ? kPatrolOutOfSpace : kPatrolDone);

    EXPECT_EQ(entry.Status, copied ? 0 : 1);
    EXPECT_EQ(Names(folder).size(), copied ? 0u : 1u);
    EXPECT_EQ(view_.errors.size(), copied ? 1u : 0u);
  }
}

// The numbered download files of a killed patrol are swept at the start of
// the next one; nothing else of the program folder is touched.
TEST_F(PatrolTest, SpillFilesOfAKilledPatrolAreSweptAtTheStart) {
  const std::string prog = home_.Program() + "/";
  std::filesystem::create_directories(prog + "Kivo0004.tmp");
  std::filesystem::create_symlink(home_.File("target"), prog + "Kivo0005.tmp");
  for (const char* name : {"Kivo0000.tmp", "Kivo0001.tmp", "Kivo12345.tmp", "Kivo001.tmp",
                           "KivoABCD.tmp", "Kivo0002.tmp.bak", "Kivo.dat"}) {
    WriteBytes(prog + name, "left");
  }
  WriteBytes(home_.File("target"), "elsewhere");
  Page("/a.html", "a");
  Add("/a.html");

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_THAT(Names(home_.Program()),
              ElementsAre("Kivo.dat", "Kivo0002.tmp.bak", "Kivo0004.tmp", "Kivo0005.tmp",
                          "Kivo001.tmp", "KivoABCD.tmp", "KivoHistory.db"));
  EXPECT_EQ(ReadBytes(home_.File("target")), "elsewhere");
}

struct LocalCase {
  const char* Name;
  std::string Folder;  // the save folder under the test's home; "prog" is the program folder
  bool Create;
  std::string Path;    // fetched from the server, and the name it is stored under
  std::string Stored;  // empty: nothing is stored, and SystemError tells why
  int32_t SystemError;

  friend void PrintTo(const LocalCase& c, std::ostream* os) { *os << c.Name; }
};

class LocalState : public PatrolTest, public testing::WithParamInterface<LocalCase> {};

TEST_P(LocalState, DecidesWhereThePageGoes) {
  const LocalCase& c = GetParam();
  const std::string folder = home_.File(c.Folder) + "/";
  if (c.Create) {
    std::filesystem::create_directories(folder);
  }
  WriteBytes(home_.File("file"), "in the way");
  Store(Setting::SaveFolder, U16(folder));
  Page(c.Path, "planted");
  UrlEntry& entry = Add(c.Path);

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_EQ(Utf8(entry.LocalFile.View()), c.Stored.empty() ? "" : folder + c.Stored);
  if (c.Stored.empty()) {
    EXPECT_THAT(view_.errors, ElementsAre(PatrolError{PatrolErrorKind::UnusableFolder, U16(folder),
                                                      c.SystemError}));
  } else {
    EXPECT_TRUE(view_.errors.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(folder + "Kivo.dat.bak"));
}

const std::string kLongFolder =
    "long/" + std::string(120, 'a') + "/" + std::string(120, 'b') + "/" + std::string(120, 'c');

INSTANTIATE_TEST_SUITE_P(
    Table, LocalState,
    testing::Values(
        LocalCase{"LongSaveFolderIsUsedWhole", kLongFolder, true, "/p.html", "p.html", 0},
        LocalCase{"MissingFolder", "missing", false, "/p.html", "", ENOENT},
        LocalCase{"FileInTheWay", "file/sub", false, "/p.html", "", ENOTDIR},
        LocalCase{"ListBackupIsTaken", "prog", true, "/Kivo.dat.bak", "Kivo.datA.bak", 0},
        LocalCase{"ListTemporaryIsTaken", "prog", true, "/Kivo.dat.tmp-ab12cd34",
                  "Kivo.datA.tmp-ab12cd34", 0},
        LocalCase{"PlaceholderIsTaken", "prog", true, "/null.gif", "nullA.gif", 0},
        // The next large download would remove a page under this name.
        LocalCase{"DownloadTemporaryIsTaken", "prog", true, "/Kivo0001.tmp", "Kivo0001A.tmp", 0},
        LocalCase{"RewriteTemporaryIsTaken", "save", true, "/.kivo-rewrite-1-2-3.tmp",
                  ".kivo-rewrite-1-2-3A.tmp", 0},
        LocalCase{"LookalikeIsFree", "prog", true, "/Kivo.dat.tmp-x.html", "Kivo.dat.tmp-x.html",
                  0}),
    testing::PrintToStringParamName());

// Sets or clears the append-only flag of a folder: files in it can then be
// created and written, but not removed. False where that is not possible.
bool SetAppendOnly(const std::string& folder, bool on) {
  const platform::UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  int flags = 0;
  const bool read = ::ioctl(dir.Get(), FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_APPEND_FL) : (flags & ~FS_APPEND_FL);
  return read && ::ioctl(dir.Get(), FS_IOC_SETFLAGS, &flags) == 0;
}

// A stored copy may be a second name of a temporary download. When the
// program folder cannot be written, no stored copy is written through.
TEST_F(PatrolTest, ADownloadNeverWritesThroughAStoredCopy) {
  Page("/a.html", "first");
  Page("/b.html", "second");
  Add("/a.html");
  UrlEntry& b = Add("/b.html");
  const std::string prog = home_.Program();
  bool appendOnly = false;
  view_.onUrl = [&](const std::string& url) {
    if (url.ends_with("/b.html")) {
      appendOnly = SetAppendOnly(prog, true);
    }
  };
  Patrol();
  SetAppendOnly(prog, false);
  if (!appendOnly) {
    GTEST_SKIP() << "this file system or user cannot make a folder append-only";
  }

  EXPECT_EQ(ReadBytes(SaveFile("a.html")), "first");
  // A small page never passes through the program folder.
  EXPECT_EQ(b.Status, 1);
}

}  // namespace
}  // namespace kivo::test
