#pragma once

#include <string>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"

namespace kivo::test {

// A program folder and a settings folder of the test's own, under a fresh
// temporary folder, for as long as the object lives. Tests that patrol, edit
// the list or store settings use it so that nothing reaches the user's files.
class ProgramHome {
 public:
  ProgramHome() = default;
  ProgramHome(const ProgramHome&) = delete;
  ProgramHome& operator=(const ProgramHome&) = delete;

  // The temporary folder that holds both, for the test's own files.
  const TempDir& Dir() const { return dir_; }
  // The path of `name` inside the temporary folder.
  std::string File(const std::string& name) const { return dir_.File(name); }
  // The program folder ($KIVO_HOME), without a trailing "/".
  std::string Program() const { return dir_.File("prog"); }

 private:
  TempDir dir_;
  ScopedEnv programFolder_{"KIVO_HOME", dir_.File("prog")};
  ScopedEnv configFolder_{"XDG_CONFIG_HOME", dir_.File("config")};
};

}  // namespace kivo::test
