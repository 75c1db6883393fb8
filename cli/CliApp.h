#pragma once

#include <string>
#include <vector>

namespace kivo {

// Runs kivo-cli with the arguments after the program name and returns its
// exit status. Results go to stdout, messages and progress to stderr.
int RunCli(const std::vector<std::string>& args);

}  // namespace kivo
