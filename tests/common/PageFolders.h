#pragma once

#include <filesystem>
#include <string>

#include "common/TempDir.h"
#include "html/ExtractLinks.h"
#include "html/RewriteLinks.h"
#include "platform/CodePage.h"
#include "platform/Utf8.h"

namespace kivo::test {

// Replaces every occurrence of `from` in `text` with `to`.
inline std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Lists the three link lists as "I url", "L url" and "F url" lines, in list order.
inline std::string DescribeLinks(const PageLinks& links) {
  std::string out;
  const auto add = [&out](const char* tag, const OwnedPtrArray<WideString>& list) {
    for (const WideString* url : list) {
      out += std::string(tag) + " " + platform::Utf8FromUtf16(url->View()) + "\n";
    }
  };
  add("I", links.ImageUrls);
  add("L", links.LinkUrls);
  add("F", links.FrameUrls);
  return out;
}

// A page folder with "page.html" and a sibling folder "other" for records kept
// elsewhere, and the code page and placeholder image a patrol would resolve.
class PageFolders {
 protected:
  PageFolders() { std::filesystem::create_directory(OtherFolder()); }

  std::string PagePath() const { return dir_.File("page.html"); }
  std::string OtherFolder() const { return dir_.File("other"); }
  // The placeholder image's path as a rewritten page names it.
  const std::string& Placeholder() const { return setup_.PlaceholderPath; }

  TempDir dir_;
  platform::CodePage ansi_{"CP932"};
  RewriteSetup setup_{ansi_, dir_.File("prog/null.gif")};
};

}  // namespace kivo::test
