#include "html/TagTokenizer.h"

#include <array>
#include <cstring>

#include "html/ByteClasses.h"
#include "html/LinkTags.h"

namespace kivo {
namespace {

constexpr std::array<bool, 256> MakeDelimiterTable() {
  std::array<bool, 256> table{};
  for (const unsigned char c : std::string_view(" \t\r\n<>=\"'\x1b")) {
    table[c] = true;
  }
  return table;
}
constexpr std::array<bool, 256> kWordDelimiter = MakeDelimiterTable();

// Cuts a token's bytes at an embedded NUL: the text of a converted token ends there.
std::string_view CutAtNul(std::string_view bytes) {
  const void* nul = std::memchr(bytes.data(), '\0', bytes.size());
  return nul == nullptr ? bytes : bytes.substr(0, static_cast<const char*>(nul) - bytes.data());
}

}  // namespace

// A tag is admitted when its name begins with a listed name; the second pass
// then sorts out the exact names. AREA needs no test of its own, since A admits it.
bool TagTokenizer::AtAdmittedTagName() const {
  for (const LinkTag& tag : kLinkTags) {
    if (tag.Scan == TagScan::Classic && StartsWithNoCase(page_, pos_, tag.Name)) {
      return true;
    }
  }
  return false;
}

bool TagTokenizer::FindAdmittedTag() {
  while (pos_ < page_.size()) {
    const void* open = std::memchr(page_.data() + pos_, '<', page_.size() - pos_);
    if (open == nullptr) {
      pos_ = page_.size();
      return false;
    }
    tagOpen_ = static_cast<size_t>(static_cast<const char*>(open) - page_.data());
    pos_ = SkipBlankBytes(page_, tagOpen_ + 1);
    if (AtAdmittedTagName()) {
      return true;
    }
    // Skip the rejected tag up to and past its first ">".
    const size_t close = page_.find('>', pos_);
    pos_ = close == std::string_view::npos ? page_.size() : close + 1;
  }
  return false;
}

bool TagTokenizer::Next(std::string_view& token) {
  if (!inTag_) {
    if (!FindAdmittedTag()) {
      return false;
    }
    inTag_ = true;
    token = page_.substr(tagOpen_, 1);
    return true;
  }
  if (pos_ >= page_.size() || page_[pos_] == '>') {
    // A tag that the page ends inside is closed all the same.
    token = pos_ < page_.size() ? page_.substr(pos_++, 1) : std::string_view(">");
    inTag_ = false;
    return true;
  }
  const char c = page_[pos_];
  if (c == '"' || c == '\'') {
    const size_t start = pos_ + 1;
    const size_t close = page_.find(c, start);
    const size_t end = close == std::string_view::npos ? page_.size() : close;
    token = CutAtNul(page_.substr(start, end - start));
    pos_ = close == std::string_view::npos ? page_.size() : close + 1;
  } else if (c == '=') {
    token = page_.substr(pos_++, 1);
  } else {
    size_t end = pos_ + 1;
    while (end < page_.size() && !kWordDelimiter[static_cast<unsigned char>(page_[end])]) {
      ++end;
    }
    token = CutAtNul(page_.substr(pos_, end - pos_));
    pos_ = end;
  }
  pos_ = SkipBlankBytes(page_, pos_);
  return true;
}

}  // namespace kivo
