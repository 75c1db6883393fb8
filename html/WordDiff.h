#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "html/TextDiff.h"

namespace kivo {

// The changed runs of each line on both sides of one change.
struct ChangedWords {
  std::vector<std::vector<DiffSpan>> Removed;  // one list per removed line
  std::vector<std::vector<DiffSpan>> Added;    // one list per added line
};

// Compares the words of the lines that one change removed with those of the
// lines it added, as one sequence each so that words may move between lines,
// and returns the runs of each line that differ. White space between two
// changed words is part of their run. Spends from `budget` like
// DiffSequences; false when the words were too different to compare, and
// then `words` is left empty.
bool CompareWords(const std::vector<std::u16string_view>& removed,
                  const std::vector<std::u16string_view>& added, int64_t& budget,
                  ChangedWords& words);

}  // namespace kivo
