// kivo-cli's history, diff and log commands, on a history written for the
// test and on one that real patrols leave.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/KivoCliHarness.h"
#include "common/SampleHistory.h"
#include "common/ScopedEnv.h"
#include "platform/InstanceLock.h"

namespace kivo {
namespace {

using test::KivoCliTest;
using test::Output;
using testing::HasSubstr;

// The history is read while another program holds the list, as during its
// patrol; times are shown in local time.
TEST_F(KivoCliTest, HistoryDiffAndLogReadTheHistoryWhileTheListIsHeld) {
  const std::string folder = home_.Program() + "/";
  test::WriteSampleHistory(folder);
  const test::ScopedEnv utc("TZ", "UTC");
  ::tzset();
  std::unique_ptr<platform::InstanceLock> lock =
      platform::InstanceLock::TryAcquire(platform::LockHolder::Kivo);
  ASSERT_NE(lock, nullptr);
  const auto size = [](const char* text) { return std::to_string(std::string(text).size()); };
  const std::string day = "2026/12/";
  struct Case {
    std::vector<std::string> Args;
    int Status;
    std::string Out;
    std::string Err;
  };
  const Case cases[] = {
      {{"history", "1"},
       0,
       "-\t" + day + "12 10:15:00\tunchanged (same content)\t-\t-\n" +  //
           "1\t" + day + "11 10:15:00\tstored\t" + size(test::kNewsC) + "\t" + folder +
           "newsB.html\n" +                                          //
           "-\t" + day + "10 10:15:00\tfailed (HTTP 503)\t-\t-\n" +  //
           "2\t" + day + "09 10:15:00\tstored\t" + size(test::kNewsB) + "\t" + folder +
           "newsA.html\n" +                                        //
           "-\t" + day + "08 10:15:00\tunchanged (304)\t-\t-\n" +  //
           "3\t" + day + "07 10:15:00\tstored\t" + size(test::kNewsA) + "\t" + folder +
           "news.html\n",
       ""},
      {{"history", "2"},
       0,
       "-\t" + day + "12 10:15:01\tunchanged (Last-Modified)\t-\t-\n" +  //
           "1\t" + day + "11 10:15:01\tstored\t12\t" + folder + "oldA.html\n" +
           "2\t----/--/-- --:--:--\tstored before the history\t13\t" + folder + "old.html\n",
       "copies stored before the oldest line shown are not known"},
      {{"diff", "1"},
       0,
       "--- " + folder + "newsA.html  " + day + "09 10:15:00\n+++ " + folder + "newsB.html  " +
           day + "11 10:15:00\n@@ -1,3 +1,4 @@\n News\n Tokyo: snow\n Osaka: sun\n+Nagoya: wind\n",
       ""},
      {{"diff", "1", "--from", "3", "--to", "2"},
       0,
       "--- " + folder + "news.html  " + day + "07 10:15:00\n+++ " + folder + "newsA.html  " + day +
           "09 10:15:00\n@@ -1,3 +1,3 @@\n News\n-Tokyo: rain\n+Tokyo: snow\n Osaka: sun\n",
       ""},
      {{"diff", "2"},
       0,
       "--- " + folder + "old.html  ----/--/-- --:--:--\n+++ " + folder + "oldA.html  " + day +
           "11 10:15:01\n@@ -1,1 +1,1 @@\n-before\n+after\n",
       ""},
      // 2^32 + 2 is no copy 2.
      {{"diff", "1", "--from", "4294967298"},
       8,
       "",
       "there is no copy 4294967298 (the entry has 3 copies)"},
      {{"diff", "1", "--to", "2"}, 8, "", "copy 2 is the same copy"},
      {{"diff", "3"}, 2, "", "row 3 is out of range (the list has 2 entries)"},
      {{"log", "2"},
       0,
       day + "12 10:15:00\tkivo-cli\tupdated 0, unchanged 2 (Last-Modified 1, 304 0, " +
           "same content 1), failed 0\n" +  //
           "\tunchanged (same content)\tNews\thttp://h/news.html\n" +
           "\tunchanged (Last-Modified)\tOld\thttp://h/old.html\n" +  //
           day + "11 10:15:00\tkivo-cli\tupdated 2, unchanged 0 (Last-Modified 0, 304 0, " +
           "same content 0), failed 0\n" +  //
           "\tstored\tNews\thttp://h/news.html\n\tstored\tOld\thttp://h/old.html\n",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.Args));
    const Output result = Run(c.Args);
    EXPECT_EQ(result.Status, c.Status);
    EXPECT_EQ(result.Out, c.Out);
    EXPECT_THAT(result.Err, HasSubstr(c.Err));
  }
  // A copy that is gone leaves nothing to compare; the patrol itself still waits its turn.
  std::filesystem::remove(folder + "newsA.html");
  const Output gone = Run({"diff", "1"});
  EXPECT_EQ(gone.Status, 8);
  EXPECT_THAT(gone.Err, HasSubstr("copy 2 (" + folder + "newsA.html) is missing"));
  EXPECT_EQ(Run({"patrol"}).Status, 5);
  ::unsetenv("TZ");
  ::tzset();
}

// Patrols that find the page new, the same in its text, and changed leave a
// history of two copies and a check between them, and the diff shows the change.
TEST_F(KivoCliTest, PatrolsLeaveAHistoryWhoseDiffShowsTheChange) {
  ASSERT_EQ(Run({"add", Url("/n.html")}).Status, 0);
  for (const char* body :
       {"<p>Tokyo: rain</p>", "<p>Tokyo: rain</p><!-- token 2 -->", "<p>Tokyo: snow</p>"}) {
    server_.Script("/n.html", test::ScriptedResponse::Ok(body));
    ASSERT_EQ(Run({"patrol"}).Status, 0);
  }
  std::vector<std::string> lines;
  std::istringstream history(Run({"history", "1"}).Out);
  for (std::string line; std::getline(history, line);) {
    lines.push_back(line.substr(0, 2) + line.substr(line.find('\t', 2)));
  }
  const std::string folder = home_.Program() + "/";
  EXPECT_THAT(lines, testing::ElementsAre("1\t\tstored\t18\t" + folder + "nA.html",
                                          "-\t\tunchanged (same content)\t-\t-",
                                          "2\t\tstored\t18\t" + folder + "n.html"));
  const Output diff = Run({"diff", "1"});
  EXPECT_EQ(diff.Status, 0);
  EXPECT_THAT(diff.Out, HasSubstr("\n-Tokyo: rain\n+Tokyo: snow\n"));
}

}  // namespace
}  // namespace kivo
