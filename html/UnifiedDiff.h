#pragma once

#include <string>
#include <string_view>

#include "html/TextDiff.h"

namespace kivo {

// Whether a unified diff marks its parts with terminal colours: the file
// lines bold, the hunk lines cyan, removed lines red and added lines green,
// with their changed words in reverse video.
enum class DiffColour { Plain, Terminal };

// Writes the hunks of `diff` as a unified diff in UTF-8, headed by "--- "
// `oldLabel` and "+++ " `newLabel` (UTF-8); empty when there are no hunks.
// Control characters of the texts are written as U+FFFD and those of the
// labels as "?", so that a page can never send escape sequences to the
// terminal.
std::string FormatUnifiedDiff(const TextDiff& diff, std::string_view oldLabel,
                              std::string_view newLabel, DiffColour colour);

}  // namespace kivo
