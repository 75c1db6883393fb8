#pragma once

#include <filesystem>
#include <string>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "platform/AnsiConversion.h"
#include "platform/ProgramFolder.h"

namespace kivo::test {

// Replaces every occurrence of `from` in `text` with `to`.
inline std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A page folder with "page.html" and a sibling folder "other" for records kept
// elsewhere, and a program folder of its own that the placeholder image lies in.
class PageFolders {
 protected:
  PageFolders() { std::filesystem::create_directory(OtherFolder()); }

  std::string PagePath() const { return dir_.File("page.html"); }
  std::string OtherFolder() const { return dir_.File("other"); }
  // The placeholder image's path as a rewritten page names it.
  static std::string Placeholder() { return WideToAnsi(platform::ProgramFile(u"null.gif")); }

  TempDir home_;
  ScopedEnv programFolder_{"KIVO_HOME", home_.Path()};
  TempDir dir_;
};

}  // namespace kivo::test
