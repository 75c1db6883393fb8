#pragma once

#include <string>
#include <vector>

#include "patrol/PatrolLimits.h"

namespace kivo {

// Runs kivo-cli with the arguments after the program name and returns its
// exit status. Results go to stdout, messages and progress to stderr. A
// patrol keeps to `limits`, which tests shorten. `program` is kivo-cli's own
// executable, which patrol --notify shows its notice from; without it no
// notice is shown.
int RunCli(const std::vector<std::string>& args, const PatrolLimits& limits = PatrolLimits(),
           const std::string& program = {});

}  // namespace kivo
