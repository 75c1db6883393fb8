#pragma once

// What the kivo-cli tests share: a program folder of their own, a loopback
// server to script pages on, and a way to run kivo-cli in this process and
// collect its exit status and output.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "common/ProgramHome.h"
#include "httpserver/TestHttpServer.h"

namespace kivo::test {

struct Output {
  int Status = -1;
  std::string Out;
  std::string Err;
};

class KivoCliTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.IsListening()); }

  // Runs kivo-cli with args and collects what it prints.
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
  std::string ListFile() const { return ReadBytes(home_.File("prog/Kivo.dat")); }
  std::string Url(const std::string& path) const { return server_.Url(path); }
  std::vector<std::string> Targets() const {
    std::vector<std::string> targets;
    for (const RecordedRequest& request : server_.Requests()) {
      targets.push_back(request.Target);
    }
    return targets;
  }

  ProgramHome home_;
  TestHttpServer server_;
  PatrolLimits limits_;
};

}  // namespace kivo::test
