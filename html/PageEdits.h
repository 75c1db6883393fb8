#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "html/LinkEdits.h"
#include "html/PageReferences.h"

namespace kivo {

// All the edits of one page, in page order: those of the classic rows
// (LinkEditScanner) and those of the newer references (PageReferenceScanner),
// merged.
//
// A classic edit inside a tag that the newer rows claim is dropped, since
// they read that tag whole; a newer edit that overlaps a classic one gives
// way to it. A page without the newer constructs is thus edited exactly as
// the classic rows alone edit it.
class PageEditScanner {
 public:
  // Both `page` and `targets` must outlive the scanner.
  PageEditScanner(std::string_view page, const RewriteTargets& targets)
      : page_(page),
        targets_(targets),
        classic_(page, targets),
        references_(page, targets.PageUrl, targets.Ansi) {}

  // Returns the next edit, or nullopt when the page holds no more.
  std::optional<LinkEdit> Next();

 private:
  // The next item of the newer references: a claim, or an edit that changes a value.
  struct Item {
    PageItemKind Kind = PageItemKind::Reference;
    LinkEdit Edit;  // for a claim: the tag's bytes, with no replacement
  };
  std::optional<Item> NextItem();
  bool InClaim(const LinkEdit& edit) const;
  // True when the page holds a reference or claim of the newer rows.
  bool HasNewerReferences();

  std::string_view page_;
  const RewriteTargets& targets_;
  LinkEditScanner classic_;
  PageReferenceScanner references_;
  std::optional<LinkEdit> classicHead_;
  std::optional<Item> newerHead_;
  bool classicDone_ = false;
  bool newerDone_ = false;
  size_t claimStart_ = 0;  // the last claimed tag
  size_t claimEnd_ = 0;
  size_t written_ = 0;  // the end of the last edit handed out
  std::optional<bool> hasNewer_;
};

// Passes the edited page to `write` in pieces while scanning it: the runs of
// unchanged bytes between the edits and the replacements. Returns false, and
// never calls `write`, when no value of the page changes.
template <class Write>
bool WriteEditedPage(std::string_view page, const RewriteTargets& targets, Write&& write) {
  PageEditScanner edits(page, targets);
  return WriteEdits(page, edits, write);
}

}  // namespace kivo
