#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

enum class DiffLineKind { Kept, Removed, Added };

// A run of code units within one line.
struct DiffSpan {
  size_t Begin = 0;
  size_t Length = 0;
};

// One line of a hunk.
struct DiffLine {
  DiffLineKind Kind = DiffLineKind::Kept;
  std::u16string Text;
  // For a removed or added line whose words were compared with the lines on
  // the other side of its change: the runs that differ, in order. Empty for
  // kept lines, for lines that were only removed or only added, and when
  // the words were too different to compare.
  std::vector<DiffSpan> Changed;
};

// Changed lines with the kept lines around them, as in a unified diff. Within
// each change the removed lines come before the added ones.
struct DiffHunk {
  size_t OldStart = 0;  // how many lines of the old text come before the hunk
  size_t OldCount = 0;  // kept and removed lines in the hunk
  size_t NewStart = 0;  // how many lines of the new text come before the hunk
  size_t NewCount = 0;  // kept and added lines in the hunk
  std::vector<DiffLine> Lines;
};

enum class TextDiffStatus {
  Identical,     // the texts are the same: no hunks
  Compared,      // hunks, with the changed words of every replaced line marked
  LinesOnly,     // hunks, but some replaced lines were too different to mark their words
  TooDifferent,  // the texts differ too much to compare within the bounds: no hunks
};

struct TextDiff {
  TextDiffStatus Status = TextDiffStatus::Identical;
  std::vector<DiffHunk> Hunks;
};

// How much work one comparison may do, in comparisons of lines and of words,
// and how large a text it takes on at all. Two versions of a 1 MB page with
// ordinary changes need a twentieth of the work; one whose every line
// changed, or moved, is too different. The size bounds keep the memory of
// the search within a few hundred megabytes whatever the texts hold.
struct DiffLimits {
  int64_t LineWork = int64_t{16} << 20;
  int64_t WordWork = int64_t{8} << 20;
  size_t MaxLines = size_t{1} << 21;        // in either text
  size_t MaxChangeUnits = size_t{1} << 21;  // in the lines of one change, for its words
  size_t ContextLines = 3;
};

// Compares the old text `before` with the new text `after`: their lines
// (separated by "\n"; a final "\n" ends the last line), then the words of
// the lines that one change removed against those it added, so that a
// changed line shows which words changed. A word is a run of letters or
// digits, a run of white space, or any other single character.
TextDiff DiffTexts(std::u16string_view before, std::u16string_view after,
                   const DiffLimits& limits = {});

}  // namespace kivo
