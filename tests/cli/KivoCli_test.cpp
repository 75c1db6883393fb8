// Runs the kivo-cli executable as a user would, with its own program folder
// and settings, and checks exit statuses, output and the list file.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"
#include "platform/InstanceLock.h"

extern char** environ;

namespace kivo {
namespace {

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

struct CliResult {
  int Status = -1;
  std::string Out;
  std::string Err;
};

class KivoCliTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    ASSERT_FALSE(home_.Path().empty());
  }

  // Starts kivo-cli with args in the test's program folder and settings;
  // Wait collects it.
  pid_t Start(const std::vector<std::string>& args) {
    std::vector<std::string> env;
    for (char** var = environ; *var != nullptr; ++var) {
      const std::string text = *var;
      if (!text.starts_with("KIVO_HOME=") && !text.starts_with("XDG_CONFIG_HOME=")) {
        env.push_back(text);
      }
    }
    env.push_back("KIVO_HOME=" + home_.File("prog"));
    env.push_back("XDG_CONFIG_HOME=" + home_.File("config"));
    std::vector<char*> envp;
    for (std::string& var : env) {
      envp.push_back(var.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = {KIVO_CLI_PATH};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argStrings) {
      argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, home_.File("out.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, home_.File("err.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
      pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  CliResult Wait(pid_t pid) {
    CliResult result;
    if (pid > 0) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    result.Out = test::ReadBytes(home_.File("out.txt"));
    result.Err = test::ReadBytes(home_.File("err.txt"));
    return result;
  }

  CliResult Run(const std::vector<std::string>& args) { return Wait(Start(args)); }

  // Waits until the process has taken every signal sent to it: the kernel
  // lists a signal as pending (ShdPnd) until a handler has been entered.
  static bool WaitUntilNoSignalPending(pid_t pid) {
    const std::string statusPath = "/proc/" + std::to_string(pid) + "/status";
    for (int i = 0; i < 5000; ++i) {
      std::ifstream status(statusPath);
      std::string line;
      while (std::getline(status, line) && !line.starts_with("ShdPnd:")) {
      }
      if (line.find_first_of("123456789abcdef", 7) == std::string::npos) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  std::string ListFile() const { return test::ReadBytes(home_.File("prog/Kivo.dat")); }
  std::string Url(const std::string& path) const { return server_.Url(path); }
  void Serve(const std::string& path, const std::string& body,
             std::optional<std::string> lastModified) {
    test::ScriptedResponse response = test::ScriptedResponse::Ok(body);
    if (lastModified) {
      response.Headers.emplace_back("Last-Modified", *lastModified);
    }
    server_.Script(path, std::move(response));
  }
  std::vector<std::string> TargetsSince(size_t first) const {
    std::vector<std::string> targets;
    const std::vector<test::RecordedRequest> requests = server_.Requests();
    for (size_t i = first; i < requests.size(); ++i) {
      targets.push_back(requests[i].Target);
    }
    return targets;
  }

  test::TempDir home_;
  test::TestHttpServer server_;
};

TEST_F(KivoCliTest, HelpDescribesEveryCommand) {
  CliResult result = Run({"--help"});
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
  CliResult list = Run({"list"});
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

struct BadInputCase {
  std::vector<std::string> Args;
  const char* Message;
};

TEST_F(KivoCliTest, BadInputExitsWithTwoAndLeavesTheListUntouched) {
  ASSERT_EQ(Run({"add", Url("/a.html")}).Status, 0);
  const std::string before = ListFile();
  ASSERT_FALSE(before.empty());
  // One unreadable command line stands for them all; CliArguments_test has the rest.
  const BadInputCase cases[] = {
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"remove", "2"}, "row 2 is out of range (the list has 1 entry)"},
      {{"reset", "0"}, "row 0 is out of range"},
      {{"patrol", "1", "7"}, "row 7 is out of range"},
      {{"set", "NoSuchSetting", "1"}, "unknown setting 'NoSuchSetting'"},
      {{"set", "ConnectTimeout", "soon"}, "needs an unsigned number"},
      {{"get", "NoSuchSetting"}, "unknown setting"},
  };
  for (const BadInputCase& c : cases) {
    CliResult result = Run(c.Args);
    EXPECT_EQ(result.Status, 2) << c.Message;
    EXPECT_THAT(result.Err, StartsWith("kivo-cli: "));
    EXPECT_THAT(result.Err, HasSubstr(c.Message));
    EXPECT_EQ(std::count(result.Err.begin(), result.Err.end(), '\n'), 1) << result.Err;
    EXPECT_EQ(ListFile(), before) << c.Message;
  }
}

TEST_F(KivoCliTest, RefusesWhileAnotherInstanceHoldsTheLock) {
  ASSERT_EQ(Run({"add", Url("/a.html")}).Status, 0);
  const std::string before = ListFile();
  {
    test::ScopedEnv programFolder("KIVO_HOME", home_.File("prog"));
    std::unique_ptr<platform::InstanceLock> lock = platform::InstanceLock::TryAcquire();
    ASSERT_NE(lock, nullptr);
    CliResult result = Run({"add", Url("/b.html")});
    EXPECT_EQ(result.Status, 5);
    EXPECT_THAT(result.Err, HasSubstr("another Kivo or kivo-cli is running"));
    EXPECT_EQ(ListFile(), before);
  }
  EXPECT_EQ(Run({"add", Url("/b.html")}).Status, 0);
}

struct LocalStateCase {
  const char* FileAt;    // a file put in the way, under the test folder
  const char* FolderAt;  // or a folder put in the way
  std::vector<std::string> Args;
  std::string Message;
};

// Damaged local state gets a message that says what failed, never that
// another copy runs, and "add" prints no row for a list it could not save.
TEST_F(KivoCliTest, DamagedLocalStateIsNamed) {
  const std::string prog = home_.File("prog");
  const LocalStateCase cases[] = {
      {"prog", "", {"list"}, "the program folder " + prog + "/ cannot be created (File exists)"},
      {"", "prog/Kivo.lock", {"list"}, "lock file " + prog + "/Kivo.lock cannot be used"},
      {"", "prog/Kivo.dat", {"add", Url("/a.html")}, "could not save " + prog + "/Kivo.dat"},
  };
  for (const LocalStateCase& c : cases) {
    SCOPED_TRACE(c.Message);
    std::filesystem::remove_all(prog);
    if (*c.FileAt != '\0') {
      ASSERT_TRUE(test::WriteBytes(home_.File(c.FileAt), ""));
    } else {
      std::filesystem::create_directories(home_.File(c.FolderAt));
    }
    CliResult result = Run(c.Args);
    EXPECT_EQ(result.Status, 1);
    EXPECT_EQ(result.Out, "");
    EXPECT_THAT(result.Err, HasSubstr(c.Message));
    EXPECT_THAT(result.Err, Not(HasSubstr("is running")));
  }
}

TEST_F(KivoCliTest, SettingsFollowTheOptionPages) {
  EXPECT_EQ(Run({"set", "ConnectTimeout", "5"}).Status, 0);
  EXPECT_EQ(Run({"get", "ConnectTimeout"}).Out, "10\n");
  EXPECT_EQ(Run({"set", "ReceiveTimeout", "1000"}).Status, 0);
  EXPECT_EQ(Run({"get", "ReceiveTimeout"}).Out, "600\n");
  EXPECT_EQ(Run({"set", "ReceiveTimeout", "45"}).Status, 0);
  EXPECT_EQ(Run({"get", "ReceiveTimeout"}).Out, "45\n");
  EXPECT_EQ(Run({"set", "UseProxy", "7"}).Status, 0);
  EXPECT_EQ(Run({"get", "UseProxy"}).Out, "1\n");
  EXPECT_EQ(Run({"set", "SaveFolder", home_.File("web")}).Status, 0);
  EXPECT_EQ(Run({"get", "SaveFolder"}).Out, home_.File("web") + "/\n");
  EXPECT_EQ(Run({"set", "SaveFolder", ""}).Status, 0);
  EXPECT_EQ(Run({"get", "SaveFolder"}).Out, home_.File("prog") + "/\n");
  EXPECT_EQ(Run({"set", "DialupEntry", std::string(21, 'x')}).Status, 2);
  CliResult all = Run({"get"});
  EXPECT_THAT(all.Out, HasSubstr("ConnectTimeout=10\n"));
  EXPECT_THAT(all.Out, HasSubstr("NameWidth=200\n"));
  EXPECT_THAT(all.Out, HasSubstr("MaxFileSize=1024\n"));
  EXPECT_EQ(std::count(all.Out.begin(), all.Out.end(), '\n'), 18);
}

TEST_F(KivoCliTest, PatrolStoresPagesAndSavesTheList) {
  Serve("/a.html", "<frame src=\"f.html\"><img src=\"i.gif\">", "Mon, 07 Dec 2026 10:00:00 GMT");
  Serve("/f.html", "frame", std::nullopt);
  Serve("/i.gif", "GIF89a", std::nullopt);
  std::filesystem::create_directory(home_.File("web"));
  ASSERT_EQ(Run({"add", Url("/a.html"), "--title", "A", "--folder", home_.File("web")}).Status, 0);
  ASSERT_EQ(Run({"add", Url("/missing.html"), "--title", "M"}).Status, 0);

  CliResult patrol = Run({"patrol"});
  EXPECT_EQ(patrol.Status, 0) << patrol.Err;
  EXPECT_EQ(patrol.Out, "1\t" + home_.File("web/a.html") + "\n");
  // Not a terminal: plain lines.
  EXPECT_THAT(patrol.Err, HasSubstr("ﾀｲﾄﾙ: A\n"));
  EXPECT_THAT(patrol.Err, HasSubstr("URL: " + Url("/i.gif") + "\n"));
  EXPECT_THAT(patrol.Err, HasSubstr("状態: 書換中...\n"));
  EXPECT_EQ(test::ReadBytes(home_.File("web/f.html")), "frame");
  EXPECT_EQ(Run({"list"}).Out, "1\t1\t2026/12/07 10:00\t0\tA\t" + Url("/a.html") + "\n" +
                                   "2\t0\t----/--/-- --:--\t0\tM\t" + Url("/missing.html") + "\n");
  EXPECT_FALSE(std::filesystem::exists(home_.File("prog/Kivo0000.tmp")));

  // The second patrol of the first row finds the page unchanged.
  const size_t before = server_.RequestCount();
  CliResult again = Run({"patrol", "1"});
  EXPECT_EQ(again.Status, 0);
  EXPECT_EQ(again.Out, "");
  EXPECT_EQ(TargetsSince(before), std::vector<std::string>{"/a.html"});
}

// Ctrl-C acts as the Cancel button: the download in progress ends, nothing
// after it is fetched, the pages stored so far are rewritten, the list is
// saved and the exit status is 0.
TEST_F(KivoCliTest, CtrlCCancelsThePatrolAndSavesTheList) {
  Serve("/a.html", "<a href=\"b.html\">b</a>", std::nullopt);
  // The second page is held after its headers until the signal has landed,
  // so that the cancel always arrives in the middle of that download.
  test::ScriptedResponse held = test::ScriptedResponse::Ok("slow");
  held.HoldName = "b";
  server_.Script("/b.html", std::move(held));
  Serve("/c.html", "c", std::nullopt);
  for (const char* path : {"/a.html", "/b.html", "/c.html"}) {
    ASSERT_EQ(Run({"add", Url(path)}).Status, 0);
  }
  // One request at a time, so that b is the download in progress.
  ASSERT_EQ(Run({"set", "Connections", "1"}).Status, 0);
  const pid_t pid = Start({"patrol"});
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(server_.WaitUntilHeld("b"));
  ::kill(pid, SIGINT);
  EXPECT_TRUE(WaitUntilNoSignalPending(pid));
  server_.Release("b");
  CliResult result = Wait(pid);

  EXPECT_EQ(result.Status, 0) << result.Err;
  EXPECT_THAT(result.Err, HasSubstr("patrol cancelled"));
  EXPECT_THAT(result.Err, HasSubstr("状態: 書換中...\n"));
  EXPECT_EQ(TargetsSince(0), (std::vector<std::string>{"/a.html", "/b.html"}));
  const std::string list = Run({"list"}).Out;
  EXPECT_THAT(list, HasSubstr("1\t1\t"));
  EXPECT_THAT(list, HasSubstr("2\t1\t"));
  EXPECT_THAT(list, HasSubstr("3\t0\t"));
}

TEST_F(KivoCliTest, InternetOpenErrorIsPrintedAndExitsNonZero) {
  ASSERT_EQ(Run({"add", Url("/a.html")}).Status, 0);
  ASSERT_EQ(Run({"set", "UseProxy", "1"}).Status, 0);
  CliResult result = Run({"patrol"});
  EXPECT_EQ(result.Status, 3);
  EXPECT_THAT(result.Err, HasSubstr("Internet open error.\n"));
  EXPECT_EQ(server_.RequestCount(), 0u);
}

}  // namespace
}  // namespace kivo
