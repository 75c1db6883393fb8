#include "html/Srcset.h"

#include "html/ByteClasses.h"

namespace kivo {
namespace {

// Skips the descriptors of a candidate, from the blank after its URL to past
// the comma that ends it (or to the end).
size_t SkipDescriptors(std::string_view srcset, size_t pos) {
  bool inParentheses = false;
  for (; pos < srcset.size(); ++pos) {
    const char c = srcset[pos];
    if (inParentheses) {
      inParentheses = c != ')';
    } else if (c == '(') {
      inParentheses = true;
    } else if (c == ',') {
      return pos + 1;
    }
  }
  return pos;
}

}  // namespace

std::optional<SrcsetUrl> NextSrcsetUrl(std::string_view srcset, size_t& pos) {
  while (pos < srcset.size() && (IsAsciiWhitespace(srcset[pos]) || srcset[pos] == ',')) {
    ++pos;
  }
  if (pos >= srcset.size()) {
    return std::nullopt;
  }
  const size_t start = pos;
  while (pos < srcset.size() && !IsAsciiWhitespace(srcset[pos])) {
    ++pos;
  }
  size_t end = pos;
  if (srcset[end - 1] == ',') {
    // Commas at the URL's end end the candidate; it has no descriptors.
    while (end > start && srcset[end - 1] == ',') {
      --end;
    }
  } else {
    pos = SkipDescriptors(srcset, pos);
  }
  return SrcsetUrl{start, end - start};
}

}  // namespace kivo
