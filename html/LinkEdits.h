#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "html/FetchedFileList.h"
#include "html/LinkTags.h"
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

// Returns the name that a page in `pageFolder` refers to `file` by: its bare
// file name when it lies in the same folder, otherwise its full path, written
// as a URL reference that leads to that very file.
std::u16string LocalNameFor(const FetchedFile& file, std::u16string_view pageFolder);

// Scans a page for the tags the rewriter knows and yields, in page order and
// one at a time, the edits that make the page refer to the local copies.
// Edits never overlap and never reach past the page; values that would not
// change are left out, as are values whose resolved URL is too long to store.
// Yielding them one by one lets the rewriter write the new page while it
// scans, so that no list of edits is held: a dense page has as many edits as
// links, each far larger than the few bytes of its tag.
class LinkEditScanner {
 public:
  // Both `page` and `targets` must outlive the scanner.
  LinkEditScanner(std::string_view page, const RewriteTargets& targets)
      : page_(page), targets_(targets) {}

  // Returns the next edit, or nullopt when the page holds no more.
  std::optional<LinkEdit> Next();

 private:
  std::optional<size_t> RewriteTag(const LinkTag& row, size_t pos);
  std::optional<size_t> FindClosingQuote(char quote, size_t start) const;
  void TakeValue(const LinkTag& row, size_t offset, size_t length);
  std::optional<std::string> Replacement(const LinkTag& row, std::string_view value) const;
  std::string AnchorReplacement(std::u16string_view url, std::string_view value) const;
  std::string NameToWrite(const FetchedFile& file) const;

  std::string_view page_;
  const RewriteTargets& targets_;
  size_t pos_ = 0;                 // where the scan goes on
  std::optional<LinkEdit> found_;  // the edit of the tag just scanned, if any
};

// Passes `text` with the edits of `edits` (a scanner over it whose Next
// yields LinkEdits in order) to `write` in pieces: the runs of unchanged bytes
// between the edits and the replacements. Returns false, and never calls
// `write`, when no edit comes.
template <class Edits, class Write>
bool WriteEdits(std::string_view text, Edits& edits, Write&& write) {
  std::optional<LinkEdit> edit = edits.Next();
  if (!edit.has_value()) {
    return false;
  }
  size_t pos = 0;
  for (; edit.has_value(); edit = edits.Next()) {
    write(text.substr(pos, edit->Offset - pos));
    write(std::string_view(edit->Replacement));
    pos = edit->Offset + edit->Length;
  }
  write(text.substr(pos));
  return true;
}

}  // namespace kivo
