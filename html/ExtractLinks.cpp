#include "html/ExtractLinks.h"

#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "html/ByteClasses.h"
#include "html/CombineUrl.h"
#include "html/LinkTags.h"
#include "html/PageBytes.h"
#include "html/PageReferences.h"
#include "html/TagTokenizer.h"
#include "html/UniqueUrlList.h"

namespace kivo {
namespace {

// The second pass takes a tag name whole, after upper-casing its ASCII
// letters. The pages' code pages are ASCII-compatible, so comparing the bytes
// is the same as comparing the converted text.
const LinkTag* FindLinkTag(std::string_view name) {
  for (const LinkTag& tag : kLinkTags) {
    if (tag.Scan == TagScan::Classic && EqualsNoCase(name, tag.Name)) {
      return &tag;
    }
  }
  return nullptr;
}

// The token list of the first pass, produced on demand. The second pass
// looks at most two tokens ahead and never goes back, so only a short
// window of tokens is held, however large the page.
class TokenWindow {
 public:
  explicit TokenWindow(std::string_view page) : tokenizer_(page) {}

  // Returns token i, or nullptr when the list has fewer than i + 1 tokens.
  const std::string_view* At(size_t i) {
    while (first_ + window_.size() <= i) {
      std::string_view token;
      if (ended_ || !tokenizer_.Next(token)) {
        ended_ = true;
        return nullptr;
      }
      window_.push_back(token);
    }
    return i < first_ ? nullptr : &window_[i - first_];
  }
  // Forgets the tokens before index i.
  void DropBefore(size_t i) {
    while (first_ < i && !window_.empty()) {
      window_.pop_front();
      ++first_;
    }
  }

 private:
  TagTokenizer tokenizer_;
  std::deque<std::string_view> window_;
  size_t first_ = 0;
  bool ended_ = false;
};

// Fills the three lists from the values of the classic rows, which the
// second pass hands over, and from the newer references, which it takes in
// between so that every list keeps page order.
class LinkCollector {
 public:
  LinkCollector(PageLinks& links, std::string_view page, std::u16string_view pageUrl,
                const platform::CodePage& ansi)
      : page_(page),
        pageUrl_(pageUrl),
        ansi_(ansi),
        images_(links.ImageUrls),
        pageLinks_(links.LinkUrls),
        frames_(links.FrameUrls),
        references_(page, pageUrl, ansi) {}

  // Returns the position in the page of a token, which views the page's bytes.
  size_t OffsetOf(std::string_view token) const {
    return static_cast<size_t>(token.data() - page_.data());
  }

  // True when the tag whose "<" is at `offset` belongs to the newer rows,
  // which then read its classic rows as well.
  bool IsClaimed(size_t offset) {
    TakeReferencesBefore(offset + 1);
    return offset >= claimStart_ && offset < claimEnd_;
  }

  // Takes the newer references that are left.
  void Finish() { TakeReferencesBefore(page_.size() + 1); }

  void Take(const LinkTag& tag, std::string_view valueBytes) {
    TakeReferencesBefore(OffsetOf(valueBytes));
    UniqueUrlList& list = ListFor(tag.List);
    if (list.IsFull()) {
      return;  // neither a new URL nor a repeated one would be added
    }
    // Tokens already end at a NUL byte, so the value converts whole.
    const std::u16string value = ansi_.Decode(valueBytes);
    std::u16string_view text = value;
    if (tag.Extract == ExtractRule::Anchor) {
      text = text.substr(0, text.find(u'#'));
      if (text.starts_with(u"mailto:")) {
        return;
      }
    }
    std::optional<WideString> url = CombineUrl(pageUrl_, text);
    if (!url.has_value()) {
      return;  // too long to be stored: such a link cannot be fetched either
    }
    list.Add(std::move(*url));
  }

 private:
  void TakeReferencesBefore(size_t offset) {
    while (true) {
      if (!pending_.has_value()) {
        pending_ = references_.Next();
      }
      if (!pending_.has_value() || pending_->Offset >= offset) {
        return;
      }
      const PageReference reference = *std::exchange(pending_, std::nullopt);
      if (reference.Kind == PageItemKind::Claim) {
        claimStart_ = reference.Offset;
        claimEnd_ = reference.Offset + reference.Length;
        continue;
      }
      if (reference.Kind != PageItemKind::Reference) {
        continue;
      }
      UniqueUrlList& list = ListFor(reference.List);
      if (list.IsFull()) {
        continue;
      }
      const std::string_view raw = page_.substr(reference.Offset, reference.Length);
      std::optional<ResolvedReference> resolved =
          ResolveReference(references_.BaseFor(reference),
                           ReferenceText(raw, reference.Syntax, ansi_), reference.Syntax);
      if (resolved.has_value()) {
        list.Add(std::move(resolved->Url));
      }
    }
  }

  UniqueUrlList& ListFor(LinkList list) {
    switch (list) {
      case LinkList::Images:
        return images_;
      case LinkList::Links:
        return pageLinks_;
      case LinkList::Frames:
        break;
    }
    return frames_;
  }

  std::string_view page_;
  std::u16string_view pageUrl_;
  const platform::CodePage& ansi_;
  UniqueUrlList images_;
  UniqueUrlList pageLinks_;
  UniqueUrlList frames_;
  PageReferenceScanner references_;
  std::optional<PageReference> pending_;  // the next newer reference, not yet taken
  size_t claimStart_ = 0;                 // the last claimed tag
  size_t claimEnd_ = 0;
};

// The second pass: walks the tokens, and for each tag of a classic row takes
// the value of the first qualifying occurrence of its attribute, unless the
// newer rows claim the tag.
void CollectLinks(TokenWindow& tokens, LinkCollector& collector) {
  size_t i = 0;
  while (tokens.At(i + 1) != nullptr) {
    tokens.DropBefore(i);
    if (*tokens.At(i) != "<") {
      ++i;
      continue;
    }
    const bool claimed = collector.IsClaimed(collector.OffsetOf(*tokens.At(i)));
    const LinkTag* tag = claimed ? nullptr : FindLinkTag(*tokens.At(i + 1));
    i += 2;
    if (tag != nullptr) {
      while (tokens.At(i + 2) != nullptr && *tokens.At(i) != ">") {
        if (EqualsNoCase(*tokens.At(i), tag->Attribute) && *tokens.At(i + 1) == "=" &&
            *tokens.At(i + 2) != ">") {
          i += 2;
          collector.Take(*tag, *tokens.At(i));
          break;
        }
        ++i;
      }
    }
    while (tokens.At(i) != nullptr && *tokens.At(i) != ">") {
      ++i;
      tokens.DropBefore(i);
    }
    ++i;
  }
}

}  // namespace

void ClearPageLinks(PageLinks& links) {
  links.ImageUrls.Clear();
  links.LinkUrls.Clear();
  links.FrameUrls.Clear();
}

void ExtractLinksFromBytes(PageLinks& links, std::u16string_view pageUrl, std::string_view page,
                           const platform::CodePage& ansi) {
  ClearPageLinks(links);
  TokenWindow tokens(page);
  // The collector hands its URLs to the lists when it goes out of scope.
  LinkCollector collector(links, page, pageUrl, ansi);
  CollectLinks(tokens, collector);
  collector.Finish();
}

bool ExtractLinks(PageLinks& links, std::u16string_view pageUrl, std::u16string_view filePath,
                  const platform::CodePage& ansi) {
  ClearPageLinks(links);
  return AnalyseStoredFile(
      filePath, [&](std::string_view page) { ExtractLinksFromBytes(links, pageUrl, page, ansi); });
}

}  // namespace kivo
