#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "patrol/HistoryQueries.h"
#include "patrol/HistoryRecords.h"

namespace kivo {

// One line of an entry's history: a check that a patrol recorded, or a copy
// that was stored before the history began.
struct CopyLine {
  // The check as recorded. A copy from before the history has only its
  // outcome (Stored), its path and, when the file is there, its size.
  HistoryCheck Check;
  bool BeforeHistory = false;
  // 1 for the newest copy, 2 for the one before it, and so on; 0 for a
  // check that stored no copy (unchanged or failed).
  int32_t CopyNumber = 0;
};

// The history of one user entry, newest line first.
struct EntryCopies {
  std::vector<CopyLine> Lines;
  // True when copies older than the oldest line may exist: it is a copy
  // from before the history, or the lines were cut at their limit.
  bool EarlierUnknown = false;
  // Why the history could not be read, when it exists but cannot be used.
  std::vector<HistoryMessage> Problems;
};

// How many lines of an entry are read at most: years of daily patrols.
inline constexpr size_t kMaxEntryLines = 2000;

// Reads the lines of the user entry `url` whose current copy is `localFile`
// from `queries`, at most `limit` of them. A copy that the entry, or its
// oldest recorded copy, has but the history never recorded becomes the
// oldest line, marked as from before the history.
EntryCopies ReadEntryCopies(HistoryQueries& queries, std::u16string_view url,
                            std::u16string_view localFile, size_t limit = kMaxEntryLines);

// Opens the program folder's history for reading, without the instance
// lock, and reads the entry's lines from it. Without a history the entry's
// current copy is its only line.
EntryCopies LoadEntryCopies(std::u16string_view url, std::u16string_view localFile,
                            size_t limit = kMaxEntryLines);

// Returns the index of the line of copy `number`, or nothing.
std::optional<size_t> FindCopy(const EntryCopies& copies, int64_t number);

// Returns the index of the newest copy older than the line at `index`, or
// nothing when none is known.
std::optional<size_t> CopyBefore(const EntryCopies& copies, size_t index);

// Returns the copy a line stands for: the copy it stored or, for a check
// that stored none, the copy that stayed the entry's; empty when neither.
std::u16string_view CopyPathOf(const CopyLine& line);

}  // namespace kivo
