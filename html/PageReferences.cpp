#include "html/PageReferences.h"

#include <algorithm>
#include <array>
#include <utility>

#include "html/ByteClasses.h"
#include "html/Srcset.h"

namespace kivo {
namespace {

// The attributes the newer rows and the page's CSS read, and those of the
// classic rows of the tags they claim.
constexpr std::array<std::string_view, 7> kWanted = {"SRC",  "SRCSET", "POSTER", "DATA",
                                                     "HREF", "REL",    "STYLE"};
constexpr size_t kHref = 4;
constexpr size_t kRel = 5;
constexpr size_t kStyle = 6;
static_assert(kWanted[kHref] == "HREF" && kWanted[kRel] == "REL" && kWanted[kStyle] == "STYLE");
constexpr std::array<std::string_view, 1> kOnlyHref = {"HREF"};

// The index in kWanted of each row's attribute (kWanted.size() when it is
// not wanted), worked out once by the compiler.
constexpr auto kRowAttributes = [] {
  std::array<size_t, std::size(kLinkTags)> indexes{};
  for (size_t row = 0; row < indexes.size(); ++row) {
    indexes[row] = static_cast<size_t>(
        std::find(kWanted.begin(), kWanted.end(), kLinkTags[row].Attribute) - kWanted.begin());
  }
  return indexes;
}();

// True when the REL value has "icon" among its blank-separated words.
bool HasIconRel(std::string_view rel) {
  size_t pos = 0;
  while (pos < rel.size()) {
    while (pos < rel.size() && IsAsciiWhitespace(rel[pos])) {
      ++pos;
    }
    size_t end = pos;
    while (end < rel.size() && !IsAsciiWhitespace(rel[end])) {
      ++end;
    }
    if (EqualsNoCase(rel.substr(pos, end - pos), "ICON")) {
      return true;
    }
    pos = end + 1;
  }
  return false;
}

// The first BASE HREF of the page resolved against the page URL, or the page
// URL when the page has none that resolves.
WideString DocumentBase(std::string_view page, std::u16string_view pageUrl,
                        const platform::CodePage& ansi) {
  HtmlTagScanner tags(page, kOnlyHref);
  HtmlTag tag;
  while (tags.Next(tag)) {
    const HtmlAttribute& href = tag.Attributes[0];
    if (!EqualsNoCase(tag.Name, "BASE") || !href.Present) {
      continue;
    }
    const ValueSyntax syntax{true, href.Quote};
    std::optional<ResolvedReference> base = ResolveReference(
        pageUrl, ReferenceText(page.substr(href.Offset, href.Length), syntax, ansi), syntax);
    return base.has_value() ? std::move(base->Url) : WideString(pageUrl);
  }
  return WideString(pageUrl);
}

}  // namespace

PageReferenceScanner::PageReferenceScanner(std::string_view page, std::u16string_view pageUrl,
                                           const platform::CodePage& ansi)
    : page_(page), pageUrl_(pageUrl), ansi_(ansi), tags_(page, kWanted) {}

std::optional<PageReference> PageReferenceScanner::Next() {
  while (true) {
    if (claim_.has_value()) {
      return std::exchange(claim_, std::nullopt);
    }
    if (baseHref_.has_value()) {
      return std::exchange(baseHref_, std::nullopt);
    }
    if (valueIndex_ < values_.size()) {
      if (!valueStarted_) {
        StartValue();
        valueStarted_ = true;
      }
      if (std::optional<PageReference> found = NextInValue()) {
        return found;
      }
      css_.reset();
      decoded_.reset();
      ++valueIndex_;
      valueStarted_ = false;
      continue;
    }
    if (!LoadTag()) {
      return std::nullopt;
    }
  }
}

std::u16string_view PageReferenceScanner::BaseFor(const PageReference& reference) {
  if (!reference.UsesBase) {
    return pageUrl_;
  }
  if (!base_.has_value()) {
    base_ = DocumentBase(page_, pageUrl_, ansi_);
  }
  return base_->View();
}

// Moves to the next tag that holds references; false at the page's end.
bool PageReferenceScanner::LoadTag() {
  HtmlTag tag;
  while (tags_.Next(tag)) {
    values_.clear();
    valueIndex_ = 0;
    valueStarted_ = false;
    if (EqualsNoCase(tag.Name, "BASE")) {
      // A BASE element shows nothing, so nothing else of it is read.
      const HtmlAttribute& href = tag.Attributes[kHref];
      if (href.Present && href.Length > 0) {
        baseHref_ = PageReference{};
        baseHref_->Kind = PageItemKind::BaseHref;
        baseHref_->Offset = href.Offset;
        baseHref_->Length = href.Length;
        baseHref_->Syntax = ValueSyntax{true, href.Quote};
        return true;
      }
      continue;
    }
    AddRowValues(tag);
    const HtmlAttribute& style = tag.Attributes[kStyle];
    if (style.Present && style.Length > 0) {
      values_.push_back(Value{style.Offset, style.Length, style.Quote, nullptr, true, true});
    }
    if (EqualsNoCase(tag.Name, "STYLE") && tag.TextEnd > tag.TextStart) {
      values_.push_back(Value{tag.TextStart, tag.TextEnd - tag.TextStart, 0, nullptr, false, true});
    }
    if (!values_.empty() || claim_.has_value()) {
      std::sort(values_.begin(), values_.end(),
                [](const Value& a, const Value& b) { return a.Offset < b.Offset; });
      return true;
    }
  }
  return false;
}

// Adds the values of the newer rows that apply to the tag and, when one
// does, claims the tag and adds the values of its classic rows too.
void PageReferenceScanner::AddRowValues(const HtmlTag& tag) {
  std::array<bool, kWanted.size()> readByNewer{};
  for (size_t i = 0; i < std::size(kLinkTags); ++i) {
    const LinkTag& row = kLinkTags[i];
    if (row.Scan != TagScan::Parsed || !EqualsNoCase(tag.Name, row.Name)) {
      continue;
    }
    const size_t index = kRowAttributes[i];  // every newer row's attribute is wanted
    const HtmlAttribute& value = tag.Attributes[index];
    if (value.Length == 0) {
      continue;
    }
    const HtmlAttribute& rel = tag.Attributes[kRel];
    if (row.Condition == TagCondition::RelIcon &&
        !HasIconRel(page_.substr(rel.Offset, rel.Length))) {
      continue;
    }
    readByNewer[index] = true;
    values_.push_back(Value{value.Offset, value.Length, value.Quote, &row, true, true});
  }
  if (values_.empty()) {
    return;
  }
  claim_ = PageReference{};
  claim_->Kind = PageItemKind::Claim;
  claim_->Offset = tag.Start;
  claim_->Length = tag.End - tag.Start;
  for (size_t i = 0; i < std::size(kLinkTags); ++i) {
    const LinkTag& row = kLinkTags[i];
    const size_t index = kRowAttributes[i];
    if (row.Scan != TagScan::Classic || !EqualsNoCase(tag.Name, row.Name) ||
        index >= kWanted.size() || readByNewer[index] || tag.Attributes[index].Length == 0) {
      continue;
    }
    const HtmlAttribute& value = tag.Attributes[index];
    // The classic rows keep to the page URL, as they do everywhere else.
    values_.push_back(Value{value.Offset, value.Length, value.Quote, &row, true, false});
  }
}

void PageReferenceScanner::StartValue() {
  const Value& value = values_[valueIndex_];
  const std::string_view raw = page_.substr(value.Offset, value.Length);
  srcsetPos_ = 0;
  if (value.Row != nullptr && value.Row->Value == ValueKind::Url) {
    return;
  }
  if (value.InAttribute) {
    decoded_.emplace(raw);
  }
  if (value.Row == nullptr) {
    css_.emplace(value.InAttribute ? decoded_->Text() : raw, ansi_.LeadBytes());
  }
}

std::optional<PageReference> PageReferenceScanner::NextInValue() {
  const Value& value = values_[valueIndex_];
  if (value.Row == nullptr) {
    return NextCss();
  }
  PageReference reference{
      PageItemKind::Reference,        value.Offset,  0, value.Row->List, value.Row->Rewrite,
      ValueSyntax{true, value.Quote}, value.UsesBase};
  if (value.Row->Value == ValueKind::Srcset) {
    const std::optional<SrcsetUrl> url = NextSrcsetUrl(decoded_->Text(), srcsetPos_);
    if (!url.has_value()) {
      return std::nullopt;
    }
    reference.Offset = value.Offset + decoded_->RawOffset(url->Offset);
    reference.Length =
        value.Offset + decoded_->RawOffset(url->Offset + url->Length) - reference.Offset;
    reference.Syntax.InSrcset = true;
    return reference;
  }
  if (srcsetPos_ != 0) {
    return std::nullopt;  // the value's one URL has been handed out
  }
  srcsetPos_ = 1;
  const std::string_view raw = page_.substr(value.Offset, value.Length);
  size_t first = 0;
  while (first < raw.size() && IsAsciiWhitespace(raw[first])) {
    ++first;
  }
  size_t end = raw.size();
  while (end > first && IsAsciiWhitespace(raw[end - 1])) {
    --end;
  }
  if (end == first) {
    return std::nullopt;
  }
  reference.Offset = value.Offset + first;
  reference.Length = end - first;
  return reference;
}

std::optional<PageReference> PageReferenceScanner::NextCss() {
  const Value& value = values_[valueIndex_];
  const std::optional<CssReference> found = css_->Next();
  if (!found.has_value()) {
    return std::nullopt;
  }
  const bool import = found->Kind == CssReferenceKind::Import;
  PageReference reference{PageItemKind::Reference,
                          value.Offset + found->Offset,
                          found->Length,
                          import ? LinkList::Frames : LinkList::Images,
                          import ? RewriteRule::Link : RewriteRule::Image,
                          ValueSyntax{value.InAttribute, value.Quote, false, true, found->Quote},
                          true};
  if (value.InAttribute) {
    reference.Offset = value.Offset + decoded_->RawOffset(found->Offset);
    reference.Length =
        value.Offset + decoded_->RawOffset(found->Offset + found->Length) - reference.Offset;
  }
  return reference;
}

}  // namespace kivo
