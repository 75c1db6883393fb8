#include <optional>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "cli/NoticeCommand.h"

int main(int argc, char** argv) {
  // kivo-cli patrol --notify shows its notice from a copy of itself.
  if (const std::optional<int> status = kivo::RunNoticeProcess(argc, argv)) {
    return *status;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  return kivo::RunCli(args, kivo::PatrolLimits(), "/proc/self/exe");
}
