#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "patrol/HistoryRecords.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

namespace kivo {

// The questions the patrol and the front ends ask the history. Each gives
// nothing (or an empty list) when the history is off or a read fails, so a
// caller falls back to what it would do without history.
class HistoryQueries {
 public:
  // Asks `database`, which must outlive the object; a closed one answers nothing.
  explicit HistoryQueries(platform::SqliteDatabase& database) : database_(database) {}
  HistoryQueries(const HistoryQueries&) = delete;
  HistoryQueries& operator=(const HistoryQueries&) = delete;

  // Returns the record of the check that stored the copy at `path` (the
  // newest, if the name was used more than once): its digests and validators.
  std::optional<HistoryCheck> CopyAt(std::u16string_view path);

  // Returns the newest record of a copy of `url` stored as a `kind` of URL
  // (the same URL may also have been stored as a page, and rewritten): its
  // path, size, modification time, digest and validators.
  std::optional<HistoryCheck> LatestCopyOf(std::u16string_view url, CheckedKind kind);

  // Returns the record of the copy at `path`, then those of the copies it
  // follows, walking back, at most `limit` of them; a loop ends the walk.
  std::vector<HistoryCheck> CopyChain(std::u16string_view path, size_t limit);

  // Returns the checks of the user entry whose current copy is `localFile`,
  // newest first, at most `limit`: every copy of its chain, and every check
  // that followed one of them (unchanged, failed). Before its first copy the
  // entry is known only by `url`, so checks of that URL that followed no copy
  // and stored none count too. A copy outside the chain (one whose successor
  // the history missed) is left out: it is no step of this chain.
  std::vector<HistoryCheck> EntryHistory(std::u16string_view url, std::u16string_view localFile,
                                         size_t limit);

  // Returns the last `count` patrols, newest first, each with the checks of
  // its user entries in the order they were made.
  std::vector<PatrolLog> RecentPatrols(size_t count);

  // Returns the first failure of a read since the last call, if any: an
  // answer cut short by damage or a lock looks like a short history, so the
  // caller must be able to tell it apart.
  std::optional<platform::SqliteError> TakeReadFailure() { return std::exchange(readFailure_, {}); }

 private:
  // Returns the statement for `sql`, compiled on first use; invalid when the
  // database is closed or the statement does not compile.
  platform::SqliteStatement* Statement(platform::SqliteStatement& slot, std::string_view sql);
  // Steps `statement` and returns its rows as checks, then resets it.
  std::vector<HistoryCheck> Checks(platform::SqliteStatement& statement);
  // Keeps the connection's last error as the read failure, unless one is kept.
  void NoteFailure();

  platform::SqliteDatabase& database_;
  platform::SqliteStatement copyAt_;
  platform::SqliteStatement latestCopy_;
  platform::SqliteStatement entryHistory_;
  platform::SqliteStatement patrols_;
  platform::SqliteStatement patrolEntries_;
  std::optional<platform::SqliteError> readFailure_;
};

}  // namespace kivo
