#include "html/PageText.h"

#include <algorithm>

#include "html/CharacterReference.h"
#include "html/ElementRole.h"
#include "html/VisibleText.h"
#include "support/AsciiCase.h"

namespace kivo {
namespace {

bool IsAsciiAlpha(char16_t u) {
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

bool IsTagSpace(char16_t u) {
  return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\f';
}

// A start or end tag as far as the visible text cares.
struct Tag {
  std::u16string_view Name;
  std::u16string_view Alt;
  bool Complete = false;  // false when the page ended inside the tag
};

// Walks the decoded page once, front to back, and feeds what a reader sees
// to a VisibleText.
class PageScanner {
 public:
  explicit PageScanner(std::u16string_view page) : page_(page) {}

  std::u16string Run();

 private:
  void ReadMarkup();
  void SkipPast(std::u16string_view end, size_t from);
  void SkipComment();
  Tag ReadTag(size_t nameStart);
  bool ReadAttribute(size_t& at, Tag& tag) const;
  void OnStartTag(const Tag& tag);
  void OnEndTag(std::u16string_view name);
  std::u16string_view TakeRawText(std::u16string_view name);
  void AddText(std::u16string_view text, LineBreaks lineBreaks, ReferenceContext context);

  std::u16string_view page_;
  size_t pos_ = 0;
  int templateDepth_ = 0;
  int preDepth_ = 0;
  VisibleText text_;
};

std::u16string PageScanner::Run() {
  while (pos_ < page_.size()) {
    const size_t lt = std::min(page_.find(u'<', pos_), page_.size());
    if (templateDepth_ == 0) {
      AddText(page_.substr(pos_, lt - pos_), preDepth_ > 0 ? LineBreaks::Keep : LineBreaks::Fold,
              ReferenceContext::Text);
    }
    pos_ = lt;
    if (pos_ < page_.size()) {
      ReadMarkup();
    }
  }
  return text_.Take();
}

void PageScanner::ReadMarkup() {
  const std::u16string_view rest = page_.substr(pos_);
  if (rest.starts_with(u"<!--")) {
    SkipComment();
  } else if (rest.size() > 1 && (rest[1] == '!' || rest[1] == '?')) {
    SkipPast(u">", pos_ + 2);  // a declaration or processing instruction
  } else if (rest.size() > 2 && rest[1] == '/' && IsAsciiAlpha(rest[2])) {
    const Tag tag = ReadTag(pos_ + 2);
    if (tag.Complete) {
      OnEndTag(tag.Name);
    }
  } else if (rest.size() > 1 && rest[1] == '/') {
    SkipPast(u">", pos_ + 2);  // "</>" or a bogus end tag, which browsers drop
  } else if (rest.size() > 1 && IsAsciiAlpha(rest[1])) {
    const Tag tag = ReadTag(pos_ + 1);
    if (tag.Complete) {
      OnStartTag(tag);
    }
  } else {
    if (templateDepth_ == 0) {
      text_.Add(u"<", LineBreaks::Fold);
    }
    ++pos_;
  }
}

void PageScanner::SkipPast(std::u16string_view end, size_t from) {
  const size_t found = page_.find(end, std::min(from, page_.size()));
  pos_ = found == std::u16string_view::npos ? page_.size() : found + end.size();
}

void PageScanner::SkipComment() {
  // A comment ends at "-->" or "--!>"; the search starts inside "<!--" so
  // that "<!-->" and "<!--->" end at once, as browsers read them.
  for (size_t at = page_.find(u"--", pos_ + 2); at != std::u16string_view::npos;
       at = page_.find(u"--", at + 1)) {
    const std::u16string_view after = page_.substr(at + 2);
    if (after.starts_with(u">") || after.starts_with(u"!>")) {
      pos_ = at + (after[0] == '>' ? 3 : 4);
      return;
    }
  }
  pos_ = page_.size();
}

Tag PageScanner::ReadTag(size_t nameStart) {
  Tag tag;
  size_t at = nameStart;
  while (at < page_.size() && !IsTagSpace(page_[at]) && page_[at] != '/' && page_[at] != '>') {
    ++at;
  }
  tag.Name = page_.substr(nameStart, at - nameStart);
  while (ReadAttribute(at, tag)) {
  }
  tag.Complete = at < page_.size();
  pos_ = tag.Complete ? at + 1 : page_.size();
  return tag;
}

// Reads one attribute from `at` on; false at the tag's ">" (where `at` then
// stands) or at the end of the page.
bool PageScanner::ReadAttribute(size_t& at, Tag& tag) const {
  while (at < page_.size() && (IsTagSpace(page_[at]) || page_[at] == '/')) {
    ++at;
  }
  if (at >= page_.size() || page_[at] == '>') {
    return false;
  }
  const size_t nameStart = at++;  // a name may begin with "="
  while (at < page_.size() && !IsTagSpace(page_[at]) && page_[at] != '/' && page_[at] != '>' &&
         page_[at] != '=') {
    ++at;
  }
  const std::u16string_view name = page_.substr(nameStart, at - nameStart);
  while (at < page_.size() && IsTagSpace(page_[at])) {
    ++at;
  }
  if (at >= page_.size() || page_[at] != '=') {
    return true;
  }
  ++at;
  while (at < page_.size() && IsTagSpace(page_[at])) {
    ++at;
  }
  size_t valueStart = at;
  size_t valueEnd = at;
  if (at < page_.size() && (page_[at] == '"' || page_[at] == '\'')) {
    valueStart = at + 1;
    valueEnd = std::min(page_.find(page_[at], valueStart), page_.size());
    at = std::min(valueEnd + 1, page_.size());
  } else {
    while (at < page_.size() && !IsTagSpace(page_[at]) && page_[at] != '>') {
      ++at;
    }
    valueEnd = at;
  }
  if (EqualsNoCase(name, u"alt") && tag.Alt.data() == nullptr) {
    tag.Alt = page_.substr(valueStart, valueEnd - valueStart);
  }
  return at < page_.size();
}

void PageScanner::OnStartTag(const Tag& tag) {
  const ElementRole role = RoleOfElement(tag.Name);
  if (role == ElementRole::Hidden) {
    TakeRawText(tag.Name);
    return;
  }
  if (role == ElementRole::Template) {
    ++templateDepth_;
  }
  if (templateDepth_ > 0) {
    if (role == ElementRole::Title || role == ElementRole::TextArea) {
      TakeRawText(tag.Name);
    }
    return;
  }
  switch (role) {
    case ElementRole::Block:
      text_.EndLine();
      break;
    case ElementRole::Preformatted:
      text_.EndLine();
      ++preDepth_;
      break;
    case ElementRole::Cell:
      text_.Separate();
      break;
    case ElementRole::Image:
      AddText(tag.Alt, LineBreaks::Fold, ReferenceContext::Attribute);
      break;
    case ElementRole::Title:
    case ElementRole::TextArea:
      text_.EndLine();
      AddText(TakeRawText(tag.Name),
              role == ElementRole::Title ? LineBreaks::Fold : LineBreaks::Keep,
              ReferenceContext::Text);
      text_.EndLine();
      break;
    default:
      break;
  }
}

void PageScanner::OnEndTag(std::u16string_view name) {
  const ElementRole role = RoleOfElement(name);
  if (role == ElementRole::Template) {
    templateDepth_ = std::max(templateDepth_ - 1, 0);
    return;
  }
  if (templateDepth_ > 0) {
    return;
  }
  if (role == ElementRole::Preformatted) {
    preDepth_ = std::max(preDepth_ - 1, 0);
  }
  if (role == ElementRole::Cell) {
    text_.Separate();
  } else if (role == ElementRole::Block || role == ElementRole::Preformatted) {
    text_.EndLine();
  }
}

// Returns the raw text of the element `name` whose start tag was just read,
// up to its end tag, which is left for the scan to read. An element that is
// never closed takes the rest of the page. `name` is one of the role table's
// names, so each "</" costs a few comparisons at most.
std::u16string_view PageScanner::TakeRawText(std::u16string_view name) {
  const size_t start = pos_;
  for (size_t at = page_.find(u"</", pos_); at != std::u16string_view::npos;
       at = page_.find(u"</", at + 2)) {
    const size_t after = at + 2 + name.size();
    if (after <= page_.size() && EqualsNoCase(page_.substr(at + 2, name.size()), name) &&
        (after == page_.size() || IsTagSpace(page_[after]) || page_[after] == '/' ||
         page_[after] == '>')) {
      pos_ = at;
      return page_.substr(start, at - start);
    }
  }
  pos_ = page_.size();
  return page_.substr(start);
}

void PageScanner::AddText(std::u16string_view text, LineBreaks lineBreaks,
                          ReferenceContext context) {
  while (!text.empty()) {
    const size_t amp = std::min(text.find(u'&'), text.size());
    text_.Add(text.substr(0, amp), lineBreaks);
    if (amp == text.size()) {
      return;
    }
    const CharacterReference reference = ReadCharacterReference(text, amp, context);
    if (reference.Length == 0) {
      text_.Add(u"&", lineBreaks);
      text.remove_prefix(amp + 1);
    } else {
      text_.AddCodePoint(reference.CodePoint);
      text.remove_prefix(amp + reference.Length);
    }
  }
}

}  // namespace

std::u16string ExtractPageText(std::string_view page, const platform::CodePage& codePage) {
  const std::u16string decoded = codePage.DecodeForReading(page);
  return PageScanner(decoded).Run();
}

}  // namespace kivo
