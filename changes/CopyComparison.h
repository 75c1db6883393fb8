#pragma once

#include <cstdint>
#include <string_view>

#include "html/TextDiff.h"
#include "platform/CodePage.h"

namespace kivo {

// Whether a stored copy could be read for comparing.
enum class CopyRead {
  Read,        // read whole
  Missing,     // no file at its path
  Unreadable,  // there, but it cannot be read
  NotText,     // an image, video or archive: no text to compare
  TooLarge,    // larger than kMaxComparedBytes
};

// The biggest copy whose text is compared. Pages this size take seconds to
// read and diff, and a larger "page" is almost always a download that a
// patrol stored, not a page anyone reads.
inline constexpr uint64_t kMaxComparedBytes = uint64_t{32} << 20;

// The comparison of two stored copies: how each could be read and, when
// both were, the diff of their visible text.
struct CopyComparison {
  CopyRead Older = CopyRead::Read;
  CopyRead Newer = CopyRead::Read;
  TextDiff Diff;  // Identical with no hunks unless both were read

  bool BothRead() const { return Older == CopyRead::Read && Newer == CopyRead::Read; }
};

// Compares the visible text of the copies at `olderPath` and `newerPath`,
// pages in the code page `codePage`, within `limits`. The copies' links
// have been rewritten since they were stored, but their text is as
// downloaded, so the diff shows what changed on the page.
CopyComparison CompareCopies(std::u16string_view olderPath, std::u16string_view newerPath,
                             const platform::CodePage& codePage, const DiffLimits& limits = {});

}  // namespace kivo
