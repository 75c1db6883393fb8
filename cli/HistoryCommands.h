#pragma once

#include <cstdint>

#include "urllist/UrlEntry.h"
#include "urllist/UrlList.h"

namespace kivo {

// The commands that read the patrol history: they open it read-only, take
// no instance lock and change nothing, so they also work during another
// program's patrol. Results go to stdout, messages to stderr. Each returns
// the exit status.

// Prints the lines of `entry`'s history, newest first, one per check: its
// copy number ("-" when it stored none), time, outcome, size and path,
// separated by tabs.
int PrintEntryHistory(const UrlEntry& entry);

// Prints a unified diff of the visible text of copies `fromCopy` (older) and
// `toCopy` (newer) of `entry`, coloured when stdout is a terminal and
// NO_COLOR is not set; kExitNothingToCompare, after a message, when there
// is no diff to show.
int PrintCopyDiff(const UrlEntry& entry, int64_t fromCopy, int64_t toCopy);

// Prints the last `count` patrols, newest first: a line with when and how
// each was started and its counts, then a line per user entry with its
// outcome, its title in `list` (empty when no entry has its URL now) and its
// URL.
int PrintPatrolLog(const UrlList& list, int64_t count);

}  // namespace kivo
