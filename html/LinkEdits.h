#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "html/FetchedFileList.h"
#include "platform/CodePage.h"

namespace kivo {

// One attribute value of a page to be replaced: the value's bytes at
// [Offset, Offset + Length) give way to Replacement. A value written without
// quotes is replaced without quotes; quotes around it stay where they are.
struct LinkEdit {
  size_t Offset = 0;
  size_t Length = 0;
  std::string Replacement;
};

// What the values of one page are resolved against and looked up in.
struct RewriteTargets {
  std::u16string_view PageUrl;     // the base of every relative value
  std::u16string_view PageFolder;  // folder of the page file, with its final "/"
  const FetchedFileList& ImageFiles;
  const FetchedFileList& PageFiles;
  std::string_view PlaceholderPath;  // narrow path of the placeholder image
  const platform::CodePage& Ansi;    // the code page the page is written in
};

// Scans `page` for the tags the rewriter knows and returns, in page order,
// the edits that make the page refer to the local copies. Edits never
// overlap and never reach past the page; values that would not change are
// left out, as are values whose resolved URL is too long to store.
std::vector<LinkEdit> FindLinkEdits(std::string_view page, const RewriteTargets& targets);

// Passes the edited page to `write` in pieces, in order: the runs of
// unchanged bytes between the edits and the replacements.
template <class Write>
void ForEachEditedPiece(std::string_view page, const std::vector<LinkEdit>& edits, Write&& write) {
  size_t pos = 0;
  for (const LinkEdit& edit : edits) {
    write(page.substr(pos, edit.Offset - pos));
    write(std::string_view(edit.Replacement));
    pos = edit.Offset + edit.Length;
  }
  write(page.substr(pos));
}

}  // namespace kivo
