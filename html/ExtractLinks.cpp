#include "html/ExtractLinks.h"

#include <deque>
#include <memory>
#include <optional>
#include <unordered_set>

#include "html/ByteClasses.h"
#include "html/CombineUrl.h"
#include "html/PageBytes.h"
#include "html/TagTokenizer.h"
#include "support/AnsiConversion.h"

namespace kivo {
namespace {

enum class ValueRule {
  Plain,   // the value is resolved as it stands
  Anchor,  // cut at the first "#"; a value beginning with "mailto:" is dropped
};

// One of the ten tags whose attribute carries a URL.
struct TagRule {
  std::string_view Name;       // upper case, matched exactly
  std::string_view Attribute;  // upper case, matched ignoring case
  OwnedPtrArray<WideString> PageLinks::*List;
  ValueRule Rule;
};

constexpr TagRule kTagRules[] = {
    {"IMG", "SRC", &PageLinks::ImageUrls, ValueRule::Plain},
    {"BODY", "BACKGROUND", &PageLinks::ImageUrls, ValueRule::Plain},
    {"TABLE", "BACKGROUND", &PageLinks::ImageUrls, ValueRule::Plain},
    {"INPUT", "SRC", &PageLinks::ImageUrls, ValueRule::Plain},
    {"A", "HREF", &PageLinks::LinkUrls, ValueRule::Anchor},
    {"AREA", "HREF", &PageLinks::LinkUrls, ValueRule::Plain},
    {"FRAME", "SRC", &PageLinks::FrameUrls, ValueRule::Plain},
    {"IFRAME", "SRC", &PageLinks::FrameUrls, ValueRule::Plain},
    {"LINK", "HREF", &PageLinks::FrameUrls, ValueRule::Plain},
    {"SCRIPT", "SRC", &PageLinks::FrameUrls, ValueRule::Plain},
};

// Tag names are compared after upper-casing their ASCII letters. The pages'
// code pages are ASCII-compatible, so comparing the bytes is the same as
// comparing the converted text.
const TagRule* FindTagRule(std::string_view name) {
  for (const TagRule& rule : kTagRules) {
    if (EqualsNoCase(name, rule.Name)) {
      return &rule;
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

// Appends URLs to one list, skipping those it already holds. The set indexes
// the strings the list owns, so the check is constant-time while the list
// keeps the order of first occurrence.
class UniqueUrlList {
 public:
  explicit UniqueUrlList(OwnedPtrArray<WideString>& list) : list_(list) {}

  void Add(WideString url) {
    if (seen_.contains(url.View())) {
      return;
    }
    const WideString* stored = list_.Add(std::make_unique<WideString>(std::move(url)));
    seen_.insert(stored->View());
  }

 private:
  OwnedPtrArray<WideString>& list_;
  std::unordered_set<std::u16string_view> seen_;
};

class LinkCollector {
 public:
  LinkCollector(PageLinks& links, std::u16string_view pageUrl)
      : pageUrl_(pageUrl),
        images_(links.ImageUrls),
        pageLinks_(links.LinkUrls),
        frames_(links.FrameUrls) {}

  void Take(const TagRule& rule, std::string_view valueBytes) {
    const WideString value = AnsiToWide(valueBytes.data(), static_cast<int64_t>(valueBytes.size()));
    std::u16string_view text = value.View();
    if (rule.Rule == ValueRule::Anchor) {
      text = text.substr(0, text.find(u'#'));
      if (text.starts_with(u"mailto:")) {
        return;
      }
    }
    std::optional<WideString> url = CombineUrl(pageUrl_, text);
    if (!url.has_value()) {
      return;  // too long to be stored: such a link cannot be fetched either
    }
    ListFor(rule).Add(std::move(*url));
  }

 private:
  UniqueUrlList& ListFor(const TagRule& rule) {
    if (rule.List == &PageLinks::ImageUrls) {
      return images_;
    }
    return rule.List == &PageLinks::LinkUrls ? pageLinks_ : frames_;
  }

  std::u16string_view pageUrl_;
  UniqueUrlList images_;
  UniqueUrlList pageLinks_;
  UniqueUrlList frames_;
};

// The second pass: walks the tokens, and for each of the ten tags takes the
// value of the first qualifying occurrence of its attribute.
void CollectLinks(TokenWindow& tokens, LinkCollector& collector) {
  size_t i = 0;
  while (tokens.At(i + 1) != nullptr) {
    tokens.DropBefore(i);
    if (*tokens.At(i) != "<") {
      ++i;
      continue;
    }
    const TagRule* rule = FindTagRule(*tokens.At(i + 1));
    i += 2;
    if (rule != nullptr) {
      while (tokens.At(i + 2) != nullptr && *tokens.At(i) != ">") {
        if (EqualsNoCase(*tokens.At(i), rule->Attribute) && *tokens.At(i + 1) == "=" &&
            *tokens.At(i + 2) != ">") {
          i += 2;
          collector.Take(*rule, *tokens.At(i));
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

void ExtractLinksFromBytes(PageLinks& links, std::u16string_view pageUrl, std::string_view page) {
  ClearPageLinks(links);
  TokenWindow tokens(page);
  LinkCollector collector(links, pageUrl);
  CollectLinks(tokens, collector);
}

bool ExtractLinks(PageLinks& links, std::u16string_view pageUrl, std::u16string_view filePath) {
  ClearPageLinks(links);
  const PageBytes page = ReadPageBytes(filePath);
  switch (page.Status) {
    case PageReadStatus::CannotOpen:
      return false;
    case PageReadStatus::TooLarge:
      return true;
    case PageReadStatus::Complete:
    case PageReadStatus::Incomplete:
      // Whatever was read is analysed; a short read simply yields fewer links.
      break;
  }
  ExtractLinksFromBytes(links, pageUrl, page.Bytes);
  return true;
}

}  // namespace kivo
