// kivo-cli's patrol when a signal or a full disk stops it. It runs in this
// process, so that the signals reach it at a known moment and the free-space
// probe can be stood in for.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"

namespace kivo {
namespace {

using testing::HasSubstr;

struct Output {
  int Status = -1;
  std::string Out;
  std::string Err;
};

struct StopCase {
  const char* Name;
  std::vector<int> Signals;  // raised while the second entry is held; none: the disk fills
  int Status;
  const char* Message;
};

class PatrolStops : public testing::TestWithParam<StopCase> {
 protected:
  // Runs kivo-cli and collects what it prints.
  Output Run(const std::vector<std::string>& args) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Output result;
    result.Status = RunCli(args, limits_);
    std::fflush(nullptr);
    result.Out = testing::internal::GetCapturedStdout();
    result.Err = testing::internal::GetCapturedStderr();
    return result;
  }

  test::TempDir home_;
  test::ScopedEnv programFolder_{"KIVO_HOME", home_.File("prog")};
  test::ScopedEnv settingsFolder_{"XDG_CONFIG_HOME", home_.File("config")};
  test::TestHttpServer server_;
  PatrolLimits limits_;
  std::atomic<uint64_t> free_{uint64_t{1} << 40};
};

TEST_P(PatrolStops, StoresWhatCameWholeSavesTheListAndSaysWhy) {
  const StopCase& c = GetParam();
  server_.Script("/a.html", test::ScriptedResponse::Ok("a"));
  test::ScriptedResponse held = test::ScriptedResponse::Ok("b");
  held.HoldName = "b";
  server_.Script("/b.html", held);
  server_.Script("/c.html", test::ScriptedResponse::Ok("c"));
  for (const char* path : {"/a.html", "/b.html", "/c.html"}) {
    ASSERT_EQ(Run({"add", server_.Url(path)}).Status, 0);
  }
  // One request at a time, so that b is the download in progress.
  ASSERT_EQ(Run({"set", "Connections", "1"}).Status, 0);
  // A cancel alone would wait far longer than the server holds the response.
  limits_.CancelGrace = std::chrono::minutes(10);
  limits_.FreeSpace = [this](std::u16string_view) { return std::optional<uint64_t>(free_); };

  std::future<Output> patrol = std::async(std::launch::async, [this] { return Run({"patrol"}); });
  ASSERT_TRUE(server_.WaitUntilHeld("b"));
  for (int signal : c.Signals) {
    ::raise(signal);  // handled on this thread before raise returns
  }
  if (c.Signals.empty()) {
    free_ = kMinFreeBytes - 1;
    server_.Release("b");
  }
  const Output result = patrol.get();

  EXPECT_EQ(result.Status, c.Status) << result.Err;
  EXPECT_THAT(result.Err, HasSubstr(c.Message));
  EXPECT_THAT(result.Err, HasSubstr("状態: 書換中...\n"));
  EXPECT_EQ(result.Out, "1\t" + home_.File("prog/a.html") + "\n");
  const std::string list = Run({"list"}).Out;
  EXPECT_THAT(list, HasSubstr("1\t1\t"));
  EXPECT_THAT(list, HasSubstr("2\t0\t"));
  EXPECT_THAT(list, HasSubstr("3\t0\t"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PatrolStops,
    testing::Values(StopCase{"SigtermAbandonsTheDownload", {SIGTERM}, 0, "patrol cancelled"},
                    StopCase{
                        "SecondCtrlCAbandonsTheDownload", {SIGINT, SIGINT}, 0, "patrol cancelled"},
                    StopCase{"FullDiskExitsWithFour", {}, 4, "Not enough disk space"}),
    [](const testing::TestParamInfo<StopCase>& info) { return info.param.Name; });

}  // namespace
}  // namespace kivo
