#include "patrol/PatrolWorker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"
#include "patrol/PatrolList.h"
#include "patrol/PatrolRunning.h"
#include "patrol/PatrolSettings.h"
#include "platform/FileExists.h"
#include "platform/ProgramFolder.h"
#include "platform/Utf8.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;
using testing::Not;

constexpr const char* kMonday = "Mon, 07 Dec 2026 10:00:00 GMT";

std::string Utf8(std::u16string_view text) {
  return platform::Utf8FromUtf16(text);
}

// Records what the worker shows, applies entry updates at once (the command
// line's way) and can act when a title is shown.
class RecordingView : public PatrolView {
 public:
  void SetTitle(std::u16string_view name) override {
    titles.push_back(Utf8(name));
    if (onTitle) {
      onTitle(Utf8(name));
    }
  }
  void SetUrl(std::u16string_view url) override { urls.push_back(Utf8(url)); }
  void SetState(std::u16string_view state) override { states.push_back(Utf8(state)); }
  void SetByteText(std::u16string_view) override {}
  void SetPercent(int32_t) override {}
  void ShowError(std::u16string_view message) override { errors.push_back(Utf8(message)); }
  void UpdateEntry(UrlEntry& entry, const EntryUpdate& update) override {
    ApplyEntryUpdate(entry, update);
    ++updates;
  }
  void Finished() override { ++finished; }

  std::vector<std::string> titles;
  std::vector<std::string> urls;
  std::vector<std::string> states;
  std::vector<std::string> errors;
  int updates = 0;
  int finished = 0;
  std::function<void(const std::string&)> onTitle;
};

class PatrolTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    programFolder_ = std::make_unique<test::ScopedEnv>("KIVO_HOME", home_.File("prog"));
    settingsFolder_ = std::make_unique<test::ScopedEnv>("XDG_CONFIG_HOME", home_.File("config"));
    ::mkdir(home_.File("save").c_str(), 0755);
    WriteString(Setting::SaveFolder, home_.File("save") + "/");
    // One request at a time, so that the server sees the patrol's own order.
    WriteDword(Setting::Connections, 1);
  }

  void WriteString(Setting setting, const std::string& value) {
    RegKey key;
    key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
    WriteStringSetting(key, setting, test::U16(value));
    key.Close();
  }
  void WriteDword(Setting setting, uint32_t value) {
    RegKey key;
    key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
    WriteDwordSetting(key, setting, value);
    key.Close();
  }

  std::string Url(const std::string& path) const { return server_.Url(path); }
  void Serve(const std::string& path, const std::string& body, const std::string& type,
             std::optional<std::string> lastModified) {
    test::ScriptedResponse response = test::ScriptedResponse::Ok(body);
    response.Headers.emplace_back("Content-Type", type);
    if (lastModified) {
      response.Headers.emplace_back("Last-Modified", *lastModified);
    }
    server_.Script(path, std::move(response));
  }
  void Page(const std::string& path, const std::string& body,
            std::optional<std::string> lastModified = kMonday) {
    Serve(path, body, "text/html", std::move(lastModified));
  }
  void Image(const std::string& path) {
    Serve(path, "GIF89a\x01\x00\x01\x00", "image/gif", kMonday);
  }
  // The requests since the last ForgetRequests, in order.
  std::vector<test::RecordedRequest> Requests() const {
    std::vector<test::RecordedRequest> all = server_.Requests();
    all.erase(all.begin(),
              all.begin() + static_cast<std::ptrdiff_t>(std::min(forgotten_, all.size())));
    return all;
  }
  std::vector<std::string> Targets() const {
    std::vector<std::string> targets;
    for (const test::RecordedRequest& request : Requests()) {
      targets.push_back(request.Target);
    }
    return targets;
  }
  void ForgetRequests() { forgotten_ = server_.RequestCount(); }

  UrlEntry* AddEntry(const std::string& name, const std::string& path, int32_t level) {
    auto entry = std::make_unique<UrlEntry>();
    entry->ListIndex = static_cast<int32_t>(entries_.size());
    entry->Name.Assign(test::U16(name));
    entry->Url.Assign(test::U16(Url(path)));
    entry->LinkLevel = level;
    entry->GetImages = 0;
    entries_.push_back(std::move(entry));
    return entries_.back().get();
  }

  // Runs one patrol over every entry added so far, on this thread.
  int32_t Patrol() {
    list_ = std::make_unique<PatrolList>();
    for (const auto& entry : entries_) {
      list_->Add(entry.get());
    }
    PatrolRunning.store(1);
    return RunPatrol(PatrolParams{&view_, list_.get()});
  }

  std::string SaveFile(const std::string& name) const { return home_.File("save/" + name); }
  std::vector<std::string> SavedFiles() const {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(home_.File("save"))) {
      names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir home_;
  std::unique_ptr<test::ScopedEnv> programFolder_;
  std::unique_ptr<test::ScopedEnv> settingsFolder_;
  test::TestHttpServer server_;
  size_t forgotten_ = 0;
  std::vector<std::unique_ptr<UrlEntry>> entries_;
  std::unique_ptr<PatrolList> list_;
  RecordingView view_;
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
  AddEntry("A", "/a.html", 1);
  AddEntry("B", "/b.html", 0);

  EXPECT_EQ(Patrol(), 0);

  EXPECT_THAT(Targets(), ElementsAre("/a.html", "/f.html", "/ff.html", "/fl.html", "/l1.html",
                                     "/l1f.html", "/l2.html", "/b.html"));
  // Temporary entries inherit the title of the user entry they came from.
  EXPECT_THAT(view_.titles, ElementsAre("A", "A", "A", "A", "A", "A", "A", "B"));
  EXPECT_EQ(view_.finished, 1);
}

TEST_F(PatrolTest, LevelZeroFollowsFramesToAnyDepthButNoLink) {
  Page("/a.html", "<frame src=\"f1.html\"><a href=\"la.html\">x</a>");
  Page("/f1.html", "<iframe src=\"f2.html\"></iframe><a href=\"l1.html\">x</a>");
  Page("/f2.html", "<script src=\"s.js\"></script><link rel=stylesheet href=\"c.css\">");
  Page("/s.js", "var x;");
  Page("/c.css", "body {}");
  AddEntry("A", "/a.html", 0);

  EXPECT_EQ(Patrol(), 0);

  EXPECT_THAT(Targets(), ElementsAre("/a.html", "/f1.html", "/f2.html", "/s.js", "/c.css"));
}

TEST_F(PatrolTest, NegativeLevelFromAHandMadeListFollowsNoLink) {
  Page("/a.html", "<a href=\"l.html\">x</a><frame src=\"f.html\">");
  Page("/f.html", "<a href=\"fl.html\">x</a>");
  Page("/l.html", "<a href=\"ll.html\">x</a>");
  AddEntry("A", "/a.html", -3);

  EXPECT_EQ(Patrol(), 0);

  EXPECT_THAT(Targets(), ElementsAre("/a.html", "/f.html"));
}

struct ServerCase {
  const char* Name;
  int32_t OnlyListedServers;
  std::vector<std::string> Servers;  // "{origin}" stands for http://localhost:PORT
  bool FetchesOtherServer;
};

class PatrolServerRule : public PatrolTest, public testing::WithParamInterface<ServerCase> {};

// 127.0.0.1:PORT and localhost:PORT reach the same loopback server but are
// two servers to the rule, so the Host header tells which one was asked.
TEST_P(PatrolServerRule, DecidesWhichLinksAreFollowed) {
  const ServerCase& c = GetParam();
  const std::string other = "http://localhost:" + std::to_string(server_.Port());
  Page("/a.html", "<a href=\"" + other + "/x.html\">x</a><a href=\"own.html\">own</a>");
  Page("/own.html", "own");
  Page("/x.html", "other");
  UrlEntry* entry = AddEntry("A", "/a.html", 1);
  entry->OnlyListedServers = c.OnlyListedServers;
  for (std::string server : c.Servers) {
    if (server.starts_with("{origin}")) {
      server = other + server.substr(8);
    }
    entry->Servers.Add(std::make_unique<WideString>(test::U16(server)));
  }

  EXPECT_EQ(Patrol(), 0);

  bool fetchedOther = false;
  for (const test::RecordedRequest& request : Requests()) {
    fetchedOther = fetchedOther || request.Header("Host").value_or("").starts_with("localhost");
  }
  EXPECT_EQ(fetchedOther, c.FetchesOtherServer);
  EXPECT_THAT(Targets(), testing::Contains("/own.html"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PatrolServerRule,
    testing::Values(ServerCase{"EmptyListOwnServerOnly", 1, {}, false},
                    ServerCase{"ListedPrefix", 1, {"{origin}/"}, true},
                    ServerCase{"PrefixTooLong", 1, {"{origin}/x.htmlx"}, false},
                    ServerCase{"PrefixCaseSensitive", 1, {"HTTP://localhost"}, false},
                    ServerCase{"AnyServer", 0, {}, true}),
    [](const testing::TestParamInfo<ServerCase>& info) { return info.param.Name; });

TEST_F(PatrolTest, AUrlLinkedFromThreePagesIsFetchedOnce) {
  Page("/a.html", "<a href=\"p1.html\">1</a><a href=\"p2.html\">2</a><a href=\"p3.html\">3</a>");
  for (const char* page : {"/p1.html", "/p2.html", "/p3.html"}) {
    Page(page, "<a href=\"common.html\">c</a><frame src=\"frame.html\">");
  }
  Page("/common.html", "c");
  Page("/frame.html", "f");
  AddEntry("A", "/a.html", 2);

  EXPECT_EQ(Patrol(), 0);

  const std::vector<std::string> targets = Targets();
  EXPECT_EQ(std::count(targets.begin(), targets.end(), "/common.html"), 1);
  EXPECT_EQ(std::count(targets.begin(), targets.end(), "/frame.html"), 1);
}

TEST_F(PatrolTest, AnImageUsedByTwoPagesIsFetchedOnceAndSharedByBoth) {
  Page("/a.html", "<img src=\"img/logo.gif\"><a href=\"b.html\">b</a>");
  Page("/b.html", "<img src=\"/img/logo.gif\">");
  Image("/img/logo.gif");
  UrlEntry* entry = AddEntry("A", "/a.html", 1);
  entry->GetImages = 1;

  EXPECT_EQ(Patrol(), 0);

  const std::vector<std::string> targets = Targets();
  EXPECT_EQ(std::count(targets.begin(), targets.end(), "/img/logo.gif"), 1);
  EXPECT_THAT(SavedFiles(), ElementsAre("a.html", "b.html", "logo.gif"));
  EXPECT_THAT(test::ReadBytes(SaveFile("a.html")), HasSubstr("src=\"logo.gif\""));
  EXPECT_THAT(test::ReadBytes(SaveFile("b.html")), HasSubstr("src=\"logo.gif\""));
}

TEST_F(PatrolTest, ALinkToAnotherUserEntryIsNotFetchedAgain) {
  Page("/a.html", "<a href=\"b.html\">b</a>");
  Page("/b.html", "<a href=\"a.html\">a</a>");
  AddEntry("A", "/a.html", 1);
  AddEntry("B", "/b.html", 1);

  EXPECT_EQ(Patrol(), 0);

  EXPECT_THAT(Targets(), ElementsAre("/a.html", "/b.html"));
}

TEST_F(PatrolTest, TwoUserEntriesWithTheSameUrlAreBothFetchedIntoTwoFiles) {
  Page("/same.html", "same");
  UrlEntry* first = AddEntry("One", "/same.html", 0);
  UrlEntry* second = AddEntry("Two", "/same.html", 0);

  EXPECT_EQ(Patrol(), 0);

  EXPECT_THAT(Targets(), ElementsAre("/same.html", "/same.html"));
  EXPECT_EQ(Utf8(first->LocalFile.View()), SaveFile("same.html"));
  EXPECT_EQ(Utf8(second->LocalFile.View()), SaveFile("sameA.html"));
}

TEST_F(PatrolTest, AnUnchangedEntryIsSkippedWithEverythingBelowIt) {
  Page("/a.html", "<img src=\"i.gif\"><frame src=\"f.html\"><a href=\"l.html\">l</a>");
  Page("/f.html", "f");
  Page("/l.html", "l");
  Image("/i.gif");
  UrlEntry* entry = AddEntry("A", "/a.html", 1);
  entry->GetImages = 1;
  ASSERT_EQ(Patrol(), 0);
  ASSERT_EQ(Targets().size(), 4u);
  const std::string firstCopy = Utf8(entry->LocalFile.View());
  entry->Status = 2;  // viewed since
  ForgetRequests();

  EXPECT_EQ(Patrol(), 0);

  EXPECT_THAT(Targets(), ElementsAre("/a.html"));
  EXPECT_EQ(entry->Status, 2);
  EXPECT_EQ(Utf8(entry->LocalFile.View()), firstCopy);
  EXPECT_EQ(SavedFiles().size(), 4u);
}

TEST_F(PatrolTest, WithoutImagesThePlaceholderIsUsedUnlessAnotherEntryFetchedIt) {
  Page("/x.html", "<img src=\"/shared.gif\">");
  Page("/y.html", "<img src=\"/shared.gif\"><img src=\"/own.gif\">");
  Image("/shared.gif");
  Image("/own.gif");
  UrlEntry* x = AddEntry("X", "/x.html", 0);
  x->GetImages = 1;
  AddEntry("Y", "/y.html", 0);  // GetImages 0

  EXPECT_EQ(Patrol(), 0);

  EXPECT_THAT(Targets(), ElementsAre("/x.html", "/shared.gif", "/y.html"));
  const std::string y = test::ReadBytes(SaveFile("y.html"));
  EXPECT_THAT(y, HasSubstr("src=\"shared.gif\""));
  EXPECT_THAT(y, HasSubstr(Utf8(platform::ProgramFile(u"null.gif"))));
  EXPECT_THAT(y, Not(HasSubstr("own.gif")));
}

TEST_F(PatrolTest, ABinaryDownloadIsStoredButNeitherAnalysedNorRewritten) {
  const std::string body = std::string("GIF89a\x01\x00") + "<a href=\"x.html\">x</a><img src=i>";
  Serve("/data.cgi", body, "application/octet-stream", kMonday);
  Page("/x.html", "x");
  UrlEntry* entry = AddEntry("D", "/data.cgi", 1);
  entry->GetImages = 1;

  EXPECT_EQ(Patrol(), 0);

  EXPECT_THAT(Targets(), ElementsAre("/data.cgi"));
  EXPECT_EQ(entry->Status, 1);
  EXPECT_EQ(test::ReadBytes(SaveFile("data.cgi")), body);
}

TEST_F(PatrolTest, UpdatesTheEntriesAndLeavesTheListAsItWasGiven) {
  Page("/a.html", "<frame src=\"f.html\"><a href=\"l.html\">l</a>");
  Page("/f.html", "f");
  Page("/l.html", "l");
  Page("/nodate.html", "no date", std::nullopt);
  UrlEntry* a = AddEntry("A", "/a.html", 1);
  UrlEntry* missing = AddEntry("Missing", "/missing.html", 0);
  UrlEntry* nodate = AddEntry("NoDate", "/nodate.html", 0);
  nodate->HasLastTime = 1;
  nodate->LastTime.Year = 1999;

  EXPECT_EQ(Patrol(), 0);

  ASSERT_EQ(list_->Count(), 3);
  EXPECT_EQ((*list_)[0], a);
  EXPECT_EQ((*list_)[1], missing);
  EXPECT_EQ((*list_)[2], nodate);
  EXPECT_EQ(list_->TemporaryCount(), 0);

  EXPECT_EQ(a->Status, 1);
  EXPECT_EQ(Utf8(a->LocalFile.View()), SaveFile("a.html"));
  EXPECT_EQ(a->HasLastTime, 1);
  EXPECT_EQ(a->LastTime, (SystemTime{2026, 12, 1, 7, 10, 0, 0, 0}));  // kMonday

  // A 404 is a failed fetch: the entry keeps every field.
  EXPECT_EQ(missing->Status, 0);
  EXPECT_TRUE(missing->LocalFile.IsEmpty());
  EXPECT_EQ(missing->HasLastTime, 0);

  // No Last-Modified header: stored, and the flag cleared.
  EXPECT_EQ(nodate->Status, 1);
  EXPECT_EQ(nodate->HasLastTime, 0);

  EXPECT_EQ(view_.updates, 2);
  EXPECT_FALSE(FileExists(TemporaryFilePath()));
  EXPECT_EQ(view_.states.back(), "書換中...");
  EXPECT_EQ(view_.finished, 1);
}

// An entry whose folder cannot take files is not fetched, and the folder is
// reported once; the other entries go on.
TEST_F(PatrolTest, AMissingOwnFolderIsReportedAndNothingFetchedForIt) {
  Page("/a.html", "<frame src=\"f.html\">");
  Page("/f.html", "f");
  Page("/b.html", "b");
  UrlEntry* a = AddEntry("A", "/a.html", 0);
  a->UseOwnFolder = 1;
  a->OwnFolder.Assign(test::U16(home_.File("no-such-folder") + "/"));
  UrlEntry* b = AddEntry("B", "/b.html", 0);

  EXPECT_EQ(Patrol(), 0);

  EXPECT_THAT(Targets(), ElementsAre("/b.html"));
  EXPECT_THAT(view_.errors, ElementsAre(HasSubstr("no-such-folder/: No such file")));
  EXPECT_EQ(a->Status, 0);
  EXPECT_TRUE(a->LocalFile.IsEmpty());
  EXPECT_EQ(a->HasLastTime, 0);
  EXPECT_EQ(b->Status, 1);
}

TEST_F(PatrolTest, OwnFolderIsUsedForTheEntryAndWhatItReaches) {
  ::mkdir(home_.File("own").c_str(), 0755);
  Page("/a.html", "<frame src=\"f.html\"><img src=\"i.gif\">");
  Page("/f.html", "f");
  Image("/i.gif");
  UrlEntry* a = AddEntry("A", "/a.html", 0);
  a->GetImages = 1;
  a->UseOwnFolder = 1;
  a->OwnFolder.Assign(test::U16(home_.File("own") + "/"));

  EXPECT_EQ(Patrol(), 0);

  EXPECT_EQ(Utf8(a->LocalFile.View()), home_.File("own/a.html"));
  EXPECT_TRUE(std::filesystem::exists(home_.File("own/f.html")));
  EXPECT_TRUE(std::filesystem::exists(home_.File("own/i.gif")));
  EXPECT_TRUE(SavedFiles().empty());
}

TEST_F(PatrolTest, InternetOpenErrorEndsThePatrolWithMinusOne) {
  Page("/a.html", "a");
  UrlEntry* a = AddEntry("A", "/a.html", 0);
  WriteDword(Setting::UseProxy, 1);  // with an empty proxy name

  EXPECT_EQ(Patrol(), -1);

  EXPECT_THAT(view_.errors, ElementsAre("Internet open error."));
  EXPECT_EQ(view_.finished, 1);
  EXPECT_TRUE(Targets().empty());
  EXPECT_EQ(a->Status, 0);
  EXPECT_EQ(list_->Count(), 1);
}

TEST_F(PatrolTest, SettingsAreClampedAndAnEmptySaveFolderIsTheProgramFolder) {
  WriteDword(Setting::ConnectTimeout, 5);
  WriteDword(Setting::ReceiveTimeout, 0xFFFFFFFFu);
  WriteString(Setting::SaveFolder, "");
  const PatrolSettings settings = ReadPatrolSettings();
  EXPECT_EQ(settings.Session.ConnectTimeoutMs, 10000u);
  EXPECT_EQ(settings.Session.ReceiveTimeoutMs, 600000u);
  EXPECT_EQ(settings.SaveFolder.View(), platform::ProgramFolder());
  EXPECT_FALSE(settings.Session.UseProxy);
}

// Cancel comes from another thread, as the dialog's button does: the worker
// runs on a PatrolThread and this thread plays the user-interface thread.
TEST_F(PatrolTest, CancelDuringTheThirdEntryStopsAndStillRewrites) {
  for (const char* name : {"a", "b", "c", "d"}) {
    Page(std::string("/") + name + ".html",
         std::string("<img src=\"/") + name + ".gif\"><a href=\"" + name + "l.html\">l</a>");
    Image(std::string("/") + name + ".gif");
  }
  for (const char* name : {"A", "B", "C", "D"}) {
    UrlEntry* entry =
        AddEntry(name, "/" + std::string(1, static_cast<char>(name[0] + 32)) + ".html", 0);
    entry->GetImages = 1;
  }
  std::promise<void> thirdShown;
  std::promise<void> cancelled;
  std::future<void> cancelDone = cancelled.get_future();
  view_.onTitle = [&](const std::string& title) {
    if (title == "C") {
      thirdShown.set_value();
      cancelDone.wait();
    }
  };
  PatrolList list;
  for (const auto& entry : entries_) {
    list.Add(entry.get());
  }
  PatrolThread thread;
  ASSERT_TRUE(thread.Start(PatrolParams{&view_, &list}));
  thirdShown.get_future().wait();
  PatrolRunning.store(0);
  cancelled.set_value();
  EXPECT_EQ(thread.Join(), 0);

  // The current download runs to its end; no image or entry after it.
  EXPECT_THAT(Targets(), ElementsAre("/a.html", "/a.gif", "/b.html", "/b.gif", "/c.html"));
  EXPECT_EQ(entries_[2]->Status, 1);
  EXPECT_EQ(entries_[3]->Status, 0);
  EXPECT_EQ(view_.states.back(), "書換中...");
  EXPECT_EQ(view_.finished, 1);
  ASSERT_EQ(list.Count(), 4);
  // The pages stored before the cancel were rewritten: their image
  // references name the local copies.
  EXPECT_THAT(test::ReadBytes(SaveFile("b.html")), HasSubstr("src=\"b.gif\""));
  EXPECT_THAT(test::ReadBytes(SaveFile("c.html")),
              HasSubstr(Utf8(platform::ProgramFile(u"null.gif"))));
}

// A view in the GUI's manner: every call is handed to a "user-interface"
// thread, which also paints the entries (reads their fields) between calls.
// Under ThreadSanitizer this shows that the worker never touches a live
// entry while the owner thread may read it.
class UiThreadView : public PatrolView {
 public:
  explicit UiThreadView(const std::vector<std::unique_ptr<UrlEntry>>& entries)
      : entries_(entries) {}

  // Serves the worker's calls on this thread until Finished.
  void RunUiLoop() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return !tasks_.empty(); });
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
      Paint();
      if (done_) {
        return;
      }
    }
  }

  void SetTitle(std::u16string_view name) override {
    Send([this, text = std::u16string(name)] { title = text; });
  }
  void SetUrl(std::u16string_view) override {}
  void SetState(std::u16string_view) override {}
  void SetByteText(std::u16string_view) override {}
  void SetPercent(int32_t) override {}
  void ShowError(std::u16string_view) override {}
  void UpdateEntry(UrlEntry& entry, const EntryUpdate& update) override {
    Send([&entry, &update] { ApplyEntryUpdate(entry, update); });
  }
  void Finished() override {
    Send([this] { done_ = true; });
  }

  std::u16string title;
  size_t painted = 0;

 private:
  // Runs task on the UI thread and waits for it, like a sent message.
  void Send(std::function<void()> task) {
    std::promise<void> served;
    std::future<void> wait = served.get_future();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back([&task, &served] {
        task();
        served.set_value();
      });
    }
    cv_.notify_one();
    wait.wait();
  }

  void Paint() {
    for (const auto& entry : entries_) {
      painted += entry->LocalFile.View().size() + static_cast<size_t>(entry->Status) +
                 entry->LastTime.Year;
    }
  }

  const std::vector<std::unique_ptr<UrlEntry>>& entries_;
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
  AddEntry("A", "/a.html", 1);
  AddEntry("B", "/b.html", 1);
  UiThreadView view(entries_);
  PatrolList list;
  for (const auto& entry : entries_) {
    list.Add(entry.get());
  }
  PatrolThread thread;
  ASSERT_TRUE(thread.Start(PatrolParams{&view, &list}));
  view.RunUiLoop();
  EXPECT_EQ(thread.Join(), 0);

  EXPECT_EQ(entries_[0]->Status, 1);
  EXPECT_EQ(entries_[1]->Status, 1);
  EXPECT_EQ(Utf8(entries_[1]->LocalFile.View()), SaveFile("b.html"));
  EXPECT_EQ(view.title, u"B");
  EXPECT_GT(view.painted, 0u);
}

}  // namespace
}  // namespace kivo
