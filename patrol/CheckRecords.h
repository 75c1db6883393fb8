#pragma once

#include <cstdint>
#include <string_view>

#include "patrol/FetchAhead.h"
#include "patrol/HistoryRecords.h"

namespace kivo {

// Returns the current time in milliseconds since 1970 UTC, as the history
// records times.
int64_t NowMs();

// Returns the record of asking for `url` (a `kind` of URL, following the
// copy at `follows`, if any) as `fetched` left it: the outcome its answer
// gives (Stored once a body came; the caller changes that when the body was
// the same content or could not be stored), why it failed, the status, the
// validators seen, the bytes received and, for a body, its digest.
HistoryCheck CheckOfFetch(std::u16string_view url, CheckedKind kind, const FetchOutcome& fetched,
                          std::u16string_view follows);

// Returns why a download that gave nothing usable failed.
CheckFailure FailureOf(const FetchReport& report);

// Records the copy stored at `path` in `check`: its path, and its size and
// modification time as the disk has them now.
void NoteStoredCopy(HistoryCheck& check, std::u16string_view path);

// Records that nothing was stored after all, because the copy could not be
// written.
void NoteStoreFailed(HistoryCheck& check);

}  // namespace kivo
