#include "html/LinkEdits.h"

#include <array>
#include <cstring>
#include <optional>
#include <utility>

#include "html/ByteClasses.h"
#include "html/CombineUrl.h"
#include "html/LinkTags.h"
#include "html/PercentEscape.h"
#include "urllist/UrlMapping.h"

namespace kivo {
namespace {

constexpr std::array<bool, 256> MakeUnquotedEndTable() {
  std::array<bool, 256> table{};
  for (const unsigned char c : std::string_view(" \t\r\n>")) {
    table[c] = true;
  }
  table[0] = true;
  return table;
}
constexpr std::array<bool, 256> kEndsUnquotedValue = MakeUnquotedEndTable();

struct RowMatch {
  const LinkTag* Row = nullptr;
  size_t TestLength = 0;  // bytes of the tag test, the blank after A included
};

// Tests the tag table at `pos` as prefixes, in row order; the first row that
// matches wins, so FRAMESET passes as FRAME and IMGX as IMG.
RowMatch MatchRow(std::string_view page, size_t pos) {
  for (const LinkTag& row : kLinkTags) {
    if (row.Scan != TagScan::Classic || !StartsWithNoCase(page, pos, row.Name)) {
      continue;
    }
    if (row.Rewrite != RewriteRule::Anchor) {
      return {&row, row.Name.size()};
    }
    // "A" must be followed by one blank, so that ABBR, ADDRESS or AREA do not count.
    const size_t blank = pos + row.Name.size();
    if (blank < page.size() && IsBlankByte(page[blank])) {
      return {&row, row.Name.size() + 1};
    }
  }
  return {};
}

}  // namespace

std::optional<LinkEdit> LinkEditScanner::Next() {
  while (pos_ < page_.size()) {
    const void* open = std::memchr(page_.data() + pos_, '<', page_.size() - pos_);
    if (open == nullptr) {
      break;
    }
    const size_t name = SkipBlankBytes(page_, static_cast<const char*>(open) - page_.data() + 1);
    const RowMatch match = MatchRow(page_, name);
    if (match.Row == nullptr) {
      // The name is copied as text, and a "<" right at it starts a new tag.
      pos_ = name;
      continue;
    }
    const std::optional<size_t> next = RewriteTag(*match.Row, name + match.TestLength);
    if (!next.has_value()) {
      break;  // the rest of the page stays as it is
    }
    pos_ = *next;
    if (found_.has_value()) {
      return std::exchange(found_, std::nullopt);
    }
  }
  pos_ = page_.size();
  return std::nullopt;
}

// Handles the attribute of one matched tag, starting the byte search at
// `pos`. Returns where the scan goes on, or nullopt when the rest of the
// page is to be left unchanged (the tag or a quoted value never ends).
std::optional<size_t> LinkEditScanner::RewriteTag(const LinkTag& row, size_t pos) {
  // A plain byte search: it knows no quotes or word boundaries, so it stops
  // at any ">" and finds SRC inside LOWSRC or inside another value.
  while (true) {
    if (pos >= page_.size()) {
      return std::nullopt;
    }
    if (page_[pos] == '>') {
      return pos;
    }
    if (StartsWithNoCase(page_, pos, row.Attribute)) {
      break;
    }
    ++pos;
  }
  pos = SkipBlankBytes(page_, pos + row.Attribute.size());
  if (pos >= page_.size() || page_[pos] != '=') {
    return pos;  // the first occurrence decides, even without a value
  }
  pos = SkipBlankBytes(page_, pos + 1);
  if (pos < page_.size() && (page_[pos] == '"' || page_[pos] == '\'')) {
    const size_t start = pos + 1;
    const std::optional<size_t> close = FindClosingQuote(page_[pos], start);
    if (!close.has_value()) {
      return std::nullopt;
    }
    TakeValue(row, start, *close - start);
    return *close + 1;
  }
  // The end of the page ends an unquoted value as a NUL byte would, so a
  // value cut off by it is still replaced and nothing past it is read.
  size_t end = pos;
  while (end < page_.size() && !kEndsUnquotedValue[static_cast<unsigned char>(page_[end])]) {
    ++end;
  }
  TakeValue(row, pos, end - pos);
  return end;
}

// Returns the position of the quote that closes a value beginning at
// `start`, or nullopt when a NUL byte or the end of the page comes first.
std::optional<size_t> LinkEditScanner::FindClosingQuote(char quote, size_t start) const {
  const size_t close = page_.find(quote, start);
  const size_t limit = close == std::string_view::npos ? page_.size() : close;
  if (std::memchr(page_.data() + start, '\0', limit - start) != nullptr ||
      close == std::string_view::npos) {
    return std::nullopt;
  }
  return close;
}

void LinkEditScanner::TakeValue(const LinkTag& row, size_t offset, size_t length) {
  const std::string_view value = page_.substr(offset, length);
  std::optional<std::string> replacement = Replacement(row, value);
  // A URL too long to resolve keeps its bytes; so does a value that would not change.
  if (!replacement.has_value() || *replacement == value) {
    return;
  }
  found_ = LinkEdit{offset, length, std::move(*replacement)};
}

std::optional<std::string> LinkEditScanner::Replacement(const LinkTag& row,
                                                        std::string_view value) const {
  // Values hold no NUL byte (it ends them), so the value converts whole.
  const std::u16string wideValue = targets_.Ansi.Decode(value);
  const std::optional<WideString> resolved = CombineUrl(targets_.PageUrl, wideValue);
  if (!resolved.has_value()) {
    return std::nullopt;
  }
  const std::u16string_view url = resolved->View();
  switch (row.Rewrite) {
    case RewriteRule::Image: {
      const FetchedFile* image = targets_.ImageFiles.Find(url);
      return image != nullptr ? NameToWrite(*image) : std::string(targets_.PlaceholderPath);
    }
    case RewriteRule::Anchor:
      return AnchorReplacement(url, value);
    case RewriteRule::Link: {
      const FetchedFile* linked = targets_.PageFiles.Find(url);
      return linked != nullptr ? NameToWrite(*linked) : targets_.Ansi.Encode(url);
    }
  }
  return std::nullopt;
}

// A fragment after the URL's last "/" is cut before the lookup. A stored
// page gets the fragment back as written in the page; an absolute URL
// stays without it.
std::string LinkEditScanner::AnchorReplacement(std::u16string_view url,
                                               std::string_view value) const {
  const size_t hash = url.rfind(u'#');
  const size_t slash = url.rfind(u'/');
  const bool cut =
      hash != std::u16string_view::npos && (slash == std::u16string_view::npos || hash > slash);
  const std::u16string_view withoutFragment = cut ? url.substr(0, hash) : url;
  const FetchedFile* linked = targets_.PageFiles.Find(withoutFragment);
  if (linked == nullptr) {
    return targets_.Ansi.Encode(withoutFragment);
  }
  std::string written = NameToWrite(*linked);
  const size_t valueHash = value.rfind('#');
  if (cut && valueHash != std::string_view::npos) {
    written.append(value.substr(valueHash));
  }
  return written;
}

// A bare file name only resolves in the page's own folder; a copy stored in
// another folder is written with its full path.
std::string LinkEditScanner::NameToWrite(const FetchedFile& file) const {
  return targets_.Ansi.Encode(LocalNameFor(file, targets_.PageFolder));
}

std::u16string LocalNameFor(const FetchedFile& file, std::u16string_view pageFolder) {
  const std::u16string_view path = file.LocalPath.View();
  const std::u16string_view folder = FolderOfPath(path);
  const std::u16string_view name = folder == pageFolder ? path.substr(folder.size()) : path;
  // A browser reads the name as a URL: "%", "#" and "?" are URL syntax there,
  // and a colon in the first segment ("Talk:Main") would make a scheme.
  std::u16string reference;
  reference.reserve(name.size() + 2);
  if (name.substr(0, name.find(u'/')).find(u':') != std::u16string_view::npos) {
    reference = u"./";
  }
  for (const char16_t c : name) {
    if (c == u'%' || c == u'#' || c == u'?') {
      AppendPercentEscape(reference, static_cast<unsigned char>(c));
    } else {
      reference += c;
    }
  }
  return reference;
}

}  // namespace kivo
