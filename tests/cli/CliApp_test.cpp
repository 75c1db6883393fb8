// Runs kivo-cli in this process as a user would run it, with its own program
// folder and settings, and checks exit statuses, output and the list file.
// The signals of a patrol then reach it at a known moment, and the free-space
// probe can be stood in for.
#include "cli/CliApp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <future>
#include <ostream>
#include <string>
#include <vector>

#include "cli/KivoCliHarness.h"
#include "patrol/PatrolHistory.h"
#include "platform/InstanceLock.h"
#include "urllist/Settings.h"

namespace kivo {
namespace {

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

using test::KivoCliTest;
using test::Output;

TEST_F(KivoCliTest, HelpDescribesEveryCommand) {
  Output result = Run({"--help"});
  EXPECT_EQ(result.Status, 0);
  for (const char* word : {"list", "add", "--title", "--level", "--no-images", "--any-server",
                           "--server", "--folder", "remove", "reset", "patrol", "get", "set",
                           "MaxFileSize", "Exit status", "4 the patrol stopped"}) {
    EXPECT_THAT(result.Out, HasSubstr(word));
  }
}

TEST_F(KivoCliTest, AddListResetAndRemove) {
  ASSERT_EQ(Run({"add", Url("/a.html"), "--title", "ニュース", "--level", "150"}).Status, 0);
  ASSERT_EQ(Run({"add", Url("/b.html")}).Status, 0);
  Output list = Run({"list"});
  EXPECT_EQ(list.Status, 0);
  EXPECT_EQ(list.Out, "1\t0\t----/--/-- --:--\t99\tニュース\t" + Url("/a.html") + "\n" +
                          "2\t0\t----/--/-- --:--\t0\t\t" + Url("/b.html") + "\n");
  // Control characters (C1 too) never break a list line, and bytes that do not decode never
  // reach the terminal.
  ASSERT_EQ(Run({"add", Url("/c.html"), "--title", "two\nlines\tand\xc2\x9b\xff"}).Status, 0);
  EXPECT_THAT(Run({"list"}).Out, HasSubstr("\t0\ttwo lines and \xef\xbf\xbd\t"));
  EXPECT_EQ(Run({"remove", "3"}).Status, 0);
  EXPECT_EQ(Run({"reset", "2"}).Status, 0);
  EXPECT_EQ(Run({"remove", "1"}).Status, 0);
  EXPECT_EQ(Run({"list"}).Out, "1\t0\t----/--/-- --:--\t0\t\t" + Url("/b.html") + "\n");
}

// One case per check stands for the rest: CliArguments_test and
// SettingCommands_test have them.
TEST_F(KivoCliTest, BadInputExitsWithTwoAndLeavesTheListUntouched) {
  ASSERT_EQ(Run({"add", Url("/a.html")}).Status, 0);
  const std::string before = ListFile();
  ASSERT_FALSE(before.empty());
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"remove", "2"}, "row 2 is out of range (the list has 1 entry)"},
      {{"set", "ConnectTimeout", "soon"}, "needs an unsigned number"},
      {{"get", "NoSuchSetting"}, "unknown setting"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(message);
    Output result = Run(args);
    EXPECT_EQ(result.Status, 2);
    EXPECT_THAT(result.Err, StartsWith("kivo-cli: "));
    EXPECT_THAT(result.Err, HasSubstr(message));
    EXPECT_EQ(std::count(result.Err.begin(), result.Err.end(), '\n'), 1) << result.Err;
    EXPECT_EQ(ListFile(), before);
  }
}

// The rules are SettingCommands_test's; "get" shows what "set" stored, and a patrol reads it.
TEST_F(KivoCliTest, SettingsGoThroughTheRulesAndReachThePatrol) {
  EXPECT_EQ(Run({"set", "ConnectTimeout", "5"}).Status, 0);
  EXPECT_EQ(Run({"get", "ConnectTimeout"}).Out, "10\n");
  const Output all = Run({"get"});
  EXPECT_THAT(all.Out, HasSubstr("ConnectTimeout=10\n"));
  EXPECT_EQ(std::count(all.Out.begin(), all.Out.end(), '\n'),
            static_cast<std::ptrdiff_t>(AllSettings().size()));
  ASSERT_EQ(Run({"add", Url("/a.html")}).Status, 0);
  ASSERT_EQ(Run({"set", "UseProxy", "1"}).Status, 0);  // with no proxy name
  const Output patrol = Run({"patrol"});
  EXPECT_EQ(patrol.Status, 3);
  EXPECT_THAT(patrol.Err, HasSubstr("Internet open error.\n"));
  EXPECT_EQ(server_.RequestCount(), 0u);
}

// The refusal names the program that holds the lock, as far as it is known.
TEST_F(KivoCliTest, RefusesWhileAnotherInstanceHoldsTheLock) {
  ASSERT_EQ(Run({"add", Url("/a.html")}).Status, 0);
  const std::string before = ListFile();
  const std::pair<platform::LockHolder, const char*> cases[] = {
      {platform::LockHolder::Kivo, "Kivo is running"},
      {platform::LockHolder::KivoCli, "another kivo-cli is running"},
      {platform::LockHolder::Unknown, "another Kivo or kivo-cli is running"},
  };
  for (const auto& [holder, message] : cases) {
    SCOPED_TRACE(message);
    std::unique_ptr<platform::InstanceLock> lock = platform::InstanceLock::TryAcquire(holder);
    ASSERT_NE(lock, nullptr);
    Output result = Run({"add", Url("/b.html")});
    EXPECT_EQ(result.Status, 5);
    EXPECT_THAT(result.Err, HasSubstr(message));
    EXPECT_EQ(ListFile(), before);
  }
  EXPECT_EQ(Run({"add", Url("/b.html")}).Status, 0);
}

// Damaged local state gets a message that says what failed, never that
// another copy runs, and "add" prints no row for a list it could not save.
TEST_F(KivoCliTest, DamagedLocalStateIsNamed) {
  const std::string prog = home_.File("prog");
  struct Case {
    const char* FileAt;    // a file put in the way, under the test folder
    const char* FolderAt;  // or a folder put in the way
    std::vector<std::string> Args;
    std::string Message;
  };
  const Case cases[] = {
      {"prog", "", {"list"}, "the program folder " + prog + "/ cannot be created (File exists)"},
      {"", "prog/Kivo.lock", {"list"}, "lock file " + prog + "/Kivo.lock cannot be used"},
      {"", "prog/Kivo.dat", {"add", Url("/a.html")}, "could not save " + prog + "/Kivo.dat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Message);
    std::filesystem::remove_all(prog);
    if (*c.FileAt != '\0') {
      ASSERT_TRUE(test::WriteBytes(home_.File(c.FileAt), ""));
    } else {
      std::filesystem::create_directories(home_.File(c.FolderAt));
    }
    Output result = Run(c.Args);
    EXPECT_EQ(result.Status, 1);
    EXPECT_EQ(result.Out, "");
    EXPECT_THAT(result.Err, HasSubstr(c.Message));
    EXPECT_THAT(result.Err, Not(HasSubstr("is running")));
  }
}

TEST_F(KivoCliTest, PatrolStoresPagesAndSavesTheList) {
  test::ScriptedResponse dated =
      test::ScriptedResponse::Ok("<frame src=\"f.html\"><img src=\"i.gif\">");
  dated.Headers = {{"Last-Modified", "Mon, 07 Dec 2026 10:00:00 GMT"}};
  server_.Script("/a.html", dated);
  server_.Script("/f.html", test::ScriptedResponse::Ok("frame"));
  server_.Script("/i.gif", test::ScriptedResponse::Ok("GIF89a"));
  std::filesystem::create_directory(home_.File("web"));
  ASSERT_EQ(Run({"add", Url("/a.html"), "--title", "A", "--folder", home_.File("web")}).Status, 0);
  ASSERT_EQ(Run({"add", Url("/missing.html"), "--title", "M"}).Status, 0);
  // One request at a time, so that the server sees the patrol's own order.
  ASSERT_EQ(Run({"set", "Connections", "1"}).Status, 0);

  Output patrol = Run({"patrol"});
  EXPECT_EQ(patrol.Status, 0) << patrol.Err;
  EXPECT_EQ(patrol.Out, "1\t" + home_.File("web/a.html") + "\n");
  // Not a terminal: a line per download with its byte count, a title per entry.
  EXPECT_EQ(patrol.Err, "ﾀｲﾄﾙ: A\nURL: " + Url("/a.html") + " 37/37\nURL: " + Url("/i.gif") +
                            " 6/6\nURL: " + Url("/f.html") +
                            " 5/5\nﾀｲﾄﾙ: M\nURL: " + Url("/missing.html") +
                            "\n状態: 書換中...\npatrol: 1 updated, 0 unchanged, 1 failed\n");
  EXPECT_EQ(test::ReadBytes(home_.File("web/f.html")), "frame");
  EXPECT_EQ(Run({"list"}).Out, "1\t1\t2026/12/07 10:00\t0\tA\t" + Url("/a.html") + "\n" +
                                   "2\t0\t----/--/-- --:--\t0\tM\t" + Url("/missing.html") + "\n");
  EXPECT_FALSE(std::filesystem::exists(home_.File("prog/Kivo0000.tmp")));

  // The second patrol of the first row, as the timer starts it, finds the
  // page unchanged, and leaves the list file as it was.
  const auto saved = std::filesystem::last_write_time(home_.File("prog/Kivo.dat"));
  Output again = Run({"patrol", "--scheduled", "1"});
  EXPECT_EQ(std::filesystem::last_write_time(home_.File("prog/Kivo.dat")), saved);
  EXPECT_EQ(again.Status, 0);
  EXPECT_EQ(again.Out, "");
  EXPECT_EQ(again.Err, "ﾀｲﾄﾙ: A\nURL: " + Url("/a.html") +
                           "\n状態: 書換中...\npatrol: 0 updated, 1 unchanged (1 by "
                           "Last-Modified), 0 failed\n");
  PatrolHistory history(HistoryAccess::Read, PatrolHistory::DefaultPath(), 0);
  const std::vector<PatrolLog> logs = history.Queries().RecentPatrols(2);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0].Patrol.Trigger, PatrolTrigger::Scheduled);
  EXPECT_EQ(logs[1].Patrol.Trigger, PatrolTrigger::Cli);
  EXPECT_EQ(Targets(),
            (std::vector<std::string>{"/a.html", "/i.gif", "/f.html", "/missing.html", "/a.html"}));
}

struct StopCase {
  const char* Name;
  std::vector<int> Signals;  // raised while the second entry is held; none: the disk fills
  bool Release;              // the held response goes on after the signals
  int Status;
  const char* Message;
  bool SecondStored;
};

void PrintTo(const StopCase& c, std::ostream* out) {
  *out << c.Name;
}

class PatrolStops : public KivoCliTest, public testing::WithParamInterface<StopCase> {};

// A first Ctrl-C acts as the Cancel button: the download in progress ends,
// nothing after it is fetched, the pages stored so far are rewritten, the
// list is saved and the exit status is 0. A second Ctrl-C, a SIGTERM or a
// SIGHUP gives up the download too; a full disk stops the patrol with exit
// status 4.
TEST_P(PatrolStops, StoresWhatCameWholeSavesTheListAndSaysWhy) {
  const StopCase& c = GetParam();
  server_.Script("/a.html", test::ScriptedResponse::Ok("a"));
  test::ScriptedResponse held = test::ScriptedResponse::Ok("b");
  held.HoldName = "b";
  server_.Script("/b.html", held);
  server_.Script("/c.html", test::ScriptedResponse::Ok("c"));
  for (const char* path : {"/a.html", "/b.html", "/c.html"}) {
    ASSERT_EQ(Run({"add", Url(path)}).Status, 0);
  }
  // One request at a time, so that b is the download in progress.
  ASSERT_EQ(Run({"set", "Connections", "1"}).Status, 0);
  // A cancel alone would wait far longer than the server holds the response.
  limits_.CancelGrace = std::chrono::minutes(10);
  std::atomic<uint64_t> free{uint64_t{1} << 40};
  limits_.FreeSpace = [&free](std::u16string_view) { return std::optional<uint64_t>(free); };

  std::future<Output> patrol = std::async(std::launch::async, [this] { return Run({"patrol"}); });
  ASSERT_TRUE(server_.WaitUntilHeld("b"));
  for (int signal : c.Signals) {
    ::raise(signal);  // handled on this thread before raise returns
  }
  if (c.Signals.empty()) {
    free = kMinFreeBytes - 1;
  }
  if (c.Release) {
    server_.Release("b");
  }
  const Output result = patrol.get();

  EXPECT_EQ(result.Status, c.Status) << result.Err;
  EXPECT_THAT(result.Err, HasSubstr(c.Message));
  EXPECT_THAT(result.Err, HasSubstr("状態: 書換中...\n"));
  // Without a save folder the pages go to the program folder.
  EXPECT_THAT(result.Out, StartsWith("1\t" + home_.File("prog/a.html") + "\n"));
  EXPECT_EQ(Targets(), (std::vector<std::string>{"/a.html", "/b.html"}));
  const std::string list = Run({"list"}).Out;
  EXPECT_THAT(list, HasSubstr("1\t1\t"));
  EXPECT_THAT(list, HasSubstr(c.SecondStored ? "2\t1\t" : "2\t0\t"));
  EXPECT_THAT(list, HasSubstr("3\t0\t"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PatrolStops,
    testing::Values(
        StopCase{"CtrlCLetsTheDownloadFinish", {SIGINT}, true, 0, "patrol cancelled", true},
        StopCase{"SigtermAbandonsTheDownload", {SIGTERM}, false, 0, "patrol cancelled", false},
        StopCase{"SecondCtrlCAbandonsTheDownload",
                 {SIGINT, SIGINT},
                 false,
                 0,
                 "patrol cancelled",
                 false},
        StopCase{"HangUpAbandonsTheDownload", {SIGHUP}, false, 0, "patrol cancelled", false},
        StopCase{"FullDiskExitsWithFour", {}, true, 4, "Not enough disk space", false}),
    [](const testing::TestParamInfo<StopCase>& info) { return info.param.Name; });

// A reader that goes away early (kivo-cli patrol | head -1) costs the output,
// never the list: the stored page is in it, and the exit status says what
// was lost.
TEST_F(KivoCliTest, AClosedOutputIsAWriteErrorAndTheListIsSaved) {
  server_.Script("/a.html", test::ScriptedResponse::Ok("a"));
  ASSERT_EQ(Run({"add", Url("/a.html")}).Status, 0);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ::close(pipeFds[0]);
  std::fflush(stdout);
  const int savedStdout = ::dup(STDOUT_FILENO);
  ::dup2(pipeFds[1], STDOUT_FILENO);
  ::close(pipeFds[1]);
  testing::internal::CaptureStderr();
  const int status = RunCli({"patrol"}, limits_);
  const std::string err = testing::internal::GetCapturedStderr();
  ::dup2(savedStdout, STDOUT_FILENO);
  ::close(savedStdout);

  EXPECT_EQ(status, 7);
  EXPECT_THAT(err, HasSubstr("could not write the output"));
  EXPECT_THAT(Run({"list"}).Out, StartsWith("1\t1\t"));
}

}  // namespace
}  // namespace kivo
