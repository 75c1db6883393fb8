#pragma once

#include <string>
#include <string_view>

namespace kivo {

// How the line breaks of a piece of text count: folded into the white space
// around them, or ending a line as in a PRE element.
enum class LineBreaks { Fold, Keep };

// Collects the text a reader sees, piece by piece, in the form that diffs
// and digests compare: lines joined by "\n", no empty lines, every run of
// white space within a line folded into one space, and none at either end of
// a line. Invisible characters (controls, soft hyphens, zero-width spaces)
// are dropped, and units that did not decode or lone surrogates become
// U+FFFD.
class VisibleText {
 public:
  // Appends decoded text.
  void Add(std::u16string_view text, LineBreaks lineBreaks);
  // Appends one character.
  void AddCodePoint(char32_t codePoint);
  // Ends the current line, as a block element does.
  void EndLine();
  // Separates words, as the gap between two table cells does.
  void Separate();
  // Returns the text collected so far and starts afresh.
  std::u16string Take();

 private:
  enum class Gap { None, Space, Line };
  void AddUnit(char16_t unit, LineBreaks lineBreaks);
  void PutVisible(std::u16string_view units);

  std::u16string text_;
  Gap gap_ = Gap::None;
};

}  // namespace kivo
