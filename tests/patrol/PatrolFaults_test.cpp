// Hostile servers and damaged local state: what a patrol stores, shows and returns.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"
#include "patrol/PatrolRunning.h"
#include "patrol/PatrolWorker.h"
#include "platform/UniqueFd.h"
#include "platform/Utf8.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;

std::string Utf8(std::u16string_view text) {
  return platform::Utf8FromUtf16(text);
}

class FaultView : public PatrolView {
 public:
  void SetTitle(std::u16string_view) override {}
  void SetUrl(std::u16string_view url) override {
    if (onUrl) {
      onUrl(Utf8(url));
    }
  }
  void SetState(std::u16string_view state) override { lastState = Utf8(state); }
  void SetByteText(std::u16string_view) override {}
  void SetPercent(int32_t) override {}
  void ShowError(std::u16string_view message) override { errors.push_back(Utf8(message)); }
  void UpdateEntry(UrlEntry& entry, const EntryUpdate& update) override {
    ApplyEntryUpdate(entry, update);
  }
  void Finished() override {}

  std::vector<std::string> errors;
  std::string lastState;
  std::function<void(const std::string&)> onUrl;
};

class PatrolFaultTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    std::filesystem::create_directory(Save());
    WriteText(Setting::SaveFolder, Save() + "/");
    // One request at a time, so that the server sees the patrol's own order.
    RegKey key;
    key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
    WriteDwordSetting(key, Setting::Connections, 1);
    limits_.ReceiveTimeoutMs = 1000;
    limits_.FreeSpace = [this](std::u16string_view) { return std::optional<uint64_t>(free_); };
  }

  std::string Save() const { return home_.File("save"); }
  void WriteText(Setting setting, const std::string& value) {
    RegKey key;
    key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
    WriteStringSetting(key, setting, test::U16(value));
  }
  void Page(const std::string& path, const std::string& body) {
    server_.Script(path, test::ScriptedResponse::Ok(body));
  }
  UrlEntry& Add(const std::string& path, int32_t level = 0) {
    entries_.push_back(std::make_unique<UrlEntry>());
    UrlEntry& entry = *entries_.back();
    entry.ListIndex = static_cast<int32_t>(entries_.size()) - 1;
    entry.Url.Assign(server_.WideUrl(path));
    entry.LinkLevel = level;
    entry.GetImages = 0;
    return entry;
  }
  // Runs a patrol over every entry.
  int32_t Patrol() {
    PatrolList list;
    for (const auto& entry : entries_) {
      list.Add(entry.get());
    }
    PatrolRunning.store(kPatrolGoing);
    return RunPatrol(PatrolParams{&view_, &list, &limits_});
  }
  std::vector<std::string> Targets() const {
    std::vector<std::string> targets;
    for (const test::RecordedRequest& request : server_.Requests()) {
      targets.push_back(request.Target);
    }
    return targets;
  }

  test::TempDir home_;
  test::ScopedEnv programFolder_{"KIVO_HOME", home_.File("prog")};
  test::ScopedEnv settingsFolder_{"XDG_CONFIG_HOME", home_.File("config")};
  test::TestHttpServer server_;
  std::vector<std::unique_ptr<UrlEntry>> entries_;
  FaultView view_;
  PatrolLimits limits_;
  std::atomic<uint64_t> free_{uint64_t{1} << 40};
};

// ---- A hostile or broken server: the response fails, and nothing is stored.

struct HostileCase {
  const char* Name;
  int Status;
  size_t BodyBytes;
  int DripBodyMs;     // a delay before every body byte
  int DripHeadersMs;  // a delay before each of 150 header lines
  bool Endless;       // chunked, without a length, and over a MaxFileSize of 1 MiB
};

class HostileServer : public PatrolFaultTest, public testing::WithParamInterface<HostileCase> {};

TEST_P(HostileServer, StoresNothing) {
  const HostileCase& c = GetParam();
  RegKey key;
  key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
  WriteDwordSetting(key, Setting::MaxFileSize, c.Endless ? 1 : 1024);
  test::ScriptedResponse r = test::ScriptedResponse::Ok(std::string(c.BodyBytes, 'x'));
  r.Status = c.Status;
  r.Headers = {{"Last-Modified", "Mon, 07 Dec 2026 10:00:00 GMT"}};
  if (c.DripHeadersMs > 0) {
    r.Headers.assign(150, {"X", "1"});
    r.HeaderLineDelayMs = c.DripHeadersMs;
  }
  if (c.DripBodyMs > 0) {  // a billion bytes announced
    r.Length = test::LengthHeader::TooLarge;
    r.LengthError = 1000000000;
    r.BodyDelayMs = c.DripBodyMs;
    r.DelayEveryBytes = 1;
  }
  if (c.Endless) {
    r.Length = test::LengthHeader::Absent;
    r.Chunked = true;
    r.ChunkSize = 64 * 1024;
  }
  server_.Script("/p.html", r);
  UrlEntry& entry = Add("/p.html");

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_EQ(entry.Status, 0);
  EXPECT_EQ(entry.HasLastTime, 0);
  EXPECT_TRUE(std::filesystem::is_empty(Save()));
  EXPECT_TRUE(view_.errors.empty());
}

// Drips are never idle for the 1 s receive time-out, but stay far under 1 KiB a second.
INSTANTIATE_TEST_SUITE_P(
    Table, HostileServer,
    testing::Values(HostileCase{"DripsItsBody", 200, 500, 20, 0, false},
                    HostileCase{"DripsItsHeaders", 200, 4, 0, 20, false},
                    HostileCase{"EndlessBodyOverMaxFileSize", 200, (1u << 20) + 1, 0, 0, true},
                    HostileCase{"NotModifiedThatNobodyAskedFor", 304, 0, 0, 0, false},
                    HostileCase{"NoContent", 204, 0, 0, 0, false},
                    HostileCase{"RedirectWithoutLocation", 302, 4, 0, 0, false}),
    [](const testing::TestParamInfo<HostileCase>& info) { return info.param.Name; });

// ---- Cancel and abandon while a download is held in flight.

struct CancelCase {
  const char* Name;
  int32_t Flag;
  int GraceMs;
  bool Release;
  bool Stored;
};

class CancelInFlight : public PatrolFaultTest, public testing::WithParamInterface<CancelCase> {};

TEST_P(CancelInFlight, EndsTheDownloadOnlyAsTheRulesSay) {
  const CancelCase& c = GetParam();
  test::ScriptedResponse held = test::ScriptedResponse::Ok("held page");
  held.HoldName = "p";
  server_.Script("/p.html", held);
  Page("/q.html", "q");
  UrlEntry& p = Add("/p.html");
  Add("/q.html");
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
  EXPECT_EQ(view_.lastState, "書換中...");
}

INSTANTIATE_TEST_SUITE_P(
    Table, CancelInFlight,
    testing::Values(CancelCase{"CancelLetsItFinish", kPatrolCancelled, 10000, true, true},
                    CancelCase{"CancelGivesUpAfterTheGrace", kPatrolCancelled, 50, false, false},
                    CancelCase{"AbandonGivesUpAtOnce", kPatrolAbandoned, 10000, false, false}),
    [](const testing::TestParamInfo<CancelCase>& info) { return info.param.Name; });

// ---- What a server makes the patrol follow.

TEST_F(PatrolFaultTest, FramesStopEightHopsAfterTheLastHyperlink) {
  std::vector<std::string> expected;
  for (const std::string chain : {"f", "g"}) {
    for (int k = 0; k < 12; ++k) {
      const std::string next = chain + std::to_string(k + 1);
      // f5 also links to the start of the g chain; a <link> travels like a frame.
      Page("/" + chain + std::to_string(k),
           chain == "g" ? "<link rel=next href=" + next + ">"
                        : "<frame src=" + next + ">" + (k == 5 ? "<a href=g0>g</a>" : ""));
      if (k <= kMaxFrameHops) {
        expected.push_back("/" + chain + std::to_string(k));
      }
    }
  }
  Add("/f0", 1);

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_EQ(Targets(), expected);
}

TEST_F(PatrolFaultTest, ARedirectedPageIsReadAgainstItsFinalUrl) {
  server_.Script("/old", test::ScriptedResponse::Redirect(301, "/new/"));
  Page("/new/", "<img src=i.gif><a href=sub.html>s</a><a href=/old>o</a><a href=/new/>n</a>");
  Page("/new/i.gif", "GIF89a");
  Page("/new/sub.html", "sub");
  UrlEntry& entry = Add("/old", 1);
  entry.GetImages = 1;

  EXPECT_EQ(Patrol(), kPatrolDone);

  // Neither the URL asked for nor the final one is fetched again.
  EXPECT_THAT(Targets(), ElementsAre("/old", "/new/", "/new/i.gif", "/new/sub.html"));
  EXPECT_EQ(Utf8(entry.Url.View()), server_.Url("/old"));
  // Both of its own URLs name the local copy.
  EXPECT_EQ(test::ReadBytes(Save() + "/old"),
            "<img src=i.gif><a href=sub.html>s</a><a href=old>o</a><a href=old>n</a>");
}

// ---- Damaged or unusual local state.

TEST_F(PatrolFaultTest, AFullDiskEndsThePatrolLikeCancel) {
  Page("/a.html", "<img src=i.gif>");
  Page("/i.gif", "GIF89a");
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
  EXPECT_THAT(view_.errors, ElementsAre(StartsWith("Not enough disk space")));
  EXPECT_EQ(view_.lastState, "書換中...");
  EXPECT_THAT(test::ReadBytes(Save() + "/a.html"), HasSubstr("null.gif"));
}

struct LocalCase {
  const char* Name;
  std::string Folder;  // the save folder under the test's home; "prog" is the program folder
  bool Create;
  std::string Path;    // fetched from the server, and the name it is stored under
  std::string Stored;  // empty: nothing is stored, and Error tells why
  const char* Error;
};

class LocalState : public PatrolFaultTest, public testing::WithParamInterface<LocalCase> {};

TEST_P(LocalState, DecidesWhereThePageGoes) {
  const LocalCase& c = GetParam();
  const std::string folder = home_.File(c.Folder) + "/";
  if (c.Create) {
    std::filesystem::create_directories(folder);
  }
  test::WriteBytes(home_.File("file"), "in the way");
  WriteText(Setting::SaveFolder, folder);
  Page(c.Path, "planted");
  UrlEntry& entry = Add(c.Path);

  EXPECT_EQ(Patrol(), kPatrolDone);

  EXPECT_EQ(Utf8(entry.LocalFile.View()), c.Stored.empty() ? "" : folder + c.Stored);
  if (c.Stored.empty()) {
    EXPECT_THAT(view_.errors,
                ElementsAre("Cannot store files in the folder " + folder + ": " + c.Error));
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
        LocalCase{"LongSaveFolderIsUsedWhole", kLongFolder, true, "/p.html", "p.html", ""},
        LocalCase{"MissingFolder", "missing", false, "/p.html", "", "No such file or directory"},
        LocalCase{"FileInTheWay", "file/sub", false, "/p.html", "", "Not a directory"},
        LocalCase{"ListBackupIsTaken", "prog", true, "/Kivo.dat.bak", "Kivo.datA.bak", ""},
        LocalCase{"ListTemporaryIsTaken", "prog", true, "/Kivo.dat.tmp-ab12cd34",
                  "Kivo.datA.tmp-ab12cd34", ""},
        LocalCase{"PlaceholderIsTaken", "prog", true, "/null.gif", "nullA.gif", ""},
        LocalCase{"RewriteTemporaryIsTaken", "save", true, "/.kivo-rewrite-1-2-3.tmp",
                  ".kivo-rewrite-1-2-3A.tmp", ""},
        LocalCase{"LookalikeIsFree", "prog", true, "/Kivo.dat.tmp-x.html", "Kivo.dat.tmp-x.html",
                  ""}),
    [](const testing::TestParamInfo<LocalCase>& info) { return info.param.Name; });

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
TEST_F(PatrolFaultTest, ADownloadNeverWritesThroughAStoredCopy) {
  Page("/a.html", "first");
  Page("/b.html", "second");
  Add("/a.html");
  UrlEntry& b = Add("/b.html");
  const std::string prog = home_.File("prog");
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

  EXPECT_EQ(test::ReadBytes(Save() + "/a.html"), "first");
  // A small page never passes through the program folder.
  EXPECT_EQ(b.Status, 1);
}

}  // namespace
}  // namespace kivo
