#include <cstdio>

#include "cli/CliArguments.h"
#include "cli/DialCommand.h"

namespace kivo {

// Builds without Qt have no way to reach NetworkManager.
int RunWithDialup(const std::function<int()>& /*patrol*/) {
  std::fputs("kivo-cli: this kivo-cli was built without dial-up support; nothing was patrolled\n",
             stderr);
  return kExitDialup;
}

}  // namespace kivo
