#include "html/VisibleText.h"

#include <utility>

#include "platform/Utf8.h"

namespace kivo {
namespace {

using platform::IsHighSurrogate;
using platform::IsLowSurrogate;

constexpr char16_t kReplacement = 0xFFFD;

// The spaces that a reader cannot tell apart from a plain space, the
// no-break and ideographic spaces among them.
bool IsFoldedSpace(char16_t u) {
  return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\f' || u == 0xA0 || u == 0x1680 ||
         (u >= 0x2000 && u <= 0x200A) || u == 0x202F || u == 0x205F || u == 0x3000;
}

// Characters that leave no mark on the page: controls, the soft hyphen, the
// zero-width space and the byte order mark.
bool IsInvisible(char16_t u) {
  return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0xAD || u == 0x200B || u == 0xFEFF;
}

}  // namespace

void VisibleText::Add(std::u16string_view text, LineBreaks lineBreaks) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      PutVisible(text.substr(i, 2));
      ++i;
    } else {
      AddUnit(unit, lineBreaks);
    }
  }
}

void VisibleText::AddCodePoint(char32_t codePoint) {
  if (codePoint < 0x10000) {
    AddUnit(static_cast<char16_t>(codePoint), LineBreaks::Fold);
    return;
  }
  const char32_t offset = codePoint - 0x10000;
  const char16_t pair[2] = {static_cast<char16_t>(0xD800 + (offset >> 10)),
                            static_cast<char16_t>(0xDC00 + (offset & 0x3FF))};
  PutVisible(std::u16string_view(pair, 2));
}

void VisibleText::EndLine() {
  gap_ = Gap::Line;
}

void VisibleText::Separate() {
  if (gap_ == Gap::None) {
    gap_ = Gap::Space;
  }
}

std::u16string VisibleText::Take() {
  gap_ = Gap::None;
  return std::exchange(text_, std::u16string());
}

void VisibleText::AddUnit(char16_t unit, LineBreaks lineBreaks) {
  if (lineBreaks == LineBreaks::Keep && (unit == '\n' || unit == '\r')) {
    EndLine();
  } else if (IsFoldedSpace(unit)) {
    Separate();
  } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
    // A lone half of a pair, or a byte that did not decode.
    const char16_t replacement = kReplacement;
    PutVisible(std::u16string_view(&replacement, 1));
  } else if (!IsInvisible(unit)) {
    PutVisible(std::u16string_view(&unit, 1));
  }
}

void VisibleText::PutVisible(std::u16string_view units) {
  // Gaps are written only once a visible character follows them, so no line
  // begins or ends with a space and no line is empty.
  if (!text_.empty() && gap_ != Gap::None) {
    text_.push_back(gap_ == Gap::Line ? u'\n' : u' ');
  }
  gap_ = Gap::None;
  text_.append(units);
}

}  // namespace kivo
