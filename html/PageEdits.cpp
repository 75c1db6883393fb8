#include "html/PageEdits.h"

#include <utility>

namespace kivo {

std::optional<LinkEdit> PageEditScanner::Next() {
  while (true) {
    if (!classicHead_.has_value() && !classicDone_) {
      classicHead_ = classic_.Next();
      classicDone_ = !classicHead_.has_value();
    }
    if (!newerHead_.has_value() && !newerDone_) {
      newerHead_ = NextItem();
      newerDone_ = !newerHead_.has_value();
    }
    if (!classicHead_.has_value() && !newerHead_.has_value()) {
      return std::nullopt;
    }
    // Items are taken in page order, so that every claim is known before
    // the classic edits it holds.
    const bool newerFirst =
        newerHead_.has_value() &&
        (!classicHead_.has_value() || newerHead_->Edit.Offset <= classicHead_->Offset);
    if (!newerFirst) {
      LinkEdit edit = *std::exchange(classicHead_, std::nullopt);
      if (InClaim(edit) || edit.Offset < written_) {
        continue;
      }
      written_ = edit.Offset + edit.Length;
      return edit;
    }
    Item item = *std::exchange(newerHead_, std::nullopt);
    const LinkEdit& edit = item.Edit;
    if (item.Kind == PageItemKind::Claim) {
      claimStart_ = edit.Offset;
      claimEnd_ = edit.Offset + edit.Length;
      continue;
    }
    const bool overlapsClassic = classicHead_.has_value() && !InClaim(*classicHead_) &&
                                 classicHead_->Offset < edit.Offset + edit.Length;
    if (overlapsClassic || edit.Offset < written_) {
      continue;
    }
    written_ = edit.Offset + edit.Length;
    return std::move(item.Edit);
  }
}

std::optional<PageEditScanner::Item> PageEditScanner::NextItem() {
  while (const std::optional<PageReference> found = references_.Next()) {
    if (found->Kind == PageItemKind::Claim) {
      return Item{PageItemKind::Claim, LinkEdit{found->Offset, found->Length, {}}};
    }
    if (found->Kind == PageItemKind::BaseHref) {
      // An empty base is the page's own address, so the names written into
      // the page resolve beside its copy. A value without quotes gets them,
      // or the next attribute would become the value. A page of the classic
      // constructs alone keeps its base, as it always has: it is stored byte
      // for byte as before.
      if (!HasNewerReferences()) {
        continue;
      }
      const bool quoted = found->Syntax.AttributeQuote != 0;
      return Item{PageItemKind::Reference,
                  LinkEdit{found->Offset, found->Length, quoted ? "" : "\"\""}};
    }
    std::optional<LinkEdit> edit =
        ReferenceEdit(page_.substr(found->Offset, found->Length), found->Offset, found->Syntax,
                      found->Rewrite, references_.BaseFor(*found), targets_);
    if (edit.has_value()) {
      return Item{PageItemKind::Reference, std::move(*edit)};
    }
  }
  return std::nullopt;
}

bool PageEditScanner::HasNewerReferences() {
  if (!hasNewer_.has_value()) {
    // A second scan, made only for pages with a base, and stopped at the first find.
    PageReferenceScanner scan(page_, targets_.PageUrl, targets_.Ansi);
    hasNewer_ = false;
    while (const std::optional<PageReference> found = scan.Next()) {
      if (found->Kind != PageItemKind::BaseHref) {
        hasNewer_ = true;
        break;
      }
    }
  }
  return *hasNewer_;
}

bool PageEditScanner::InClaim(const LinkEdit& edit) const {
  return edit.Offset >= claimStart_ && edit.Offset < claimEnd_;
}

}  // namespace kivo
