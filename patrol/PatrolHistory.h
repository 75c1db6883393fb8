#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "patrol/HistoryQueries.h"
#include "patrol/HistoryRecords.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

namespace kivo {

// Who opens the history.
enum class HistoryAccess {
  Write,  // the holder of the instance lock, for a patrol
  Read,   // anyone, without the instance lock, also while another program patrols
};

// What the history can do.
enum class HistoryState {
  Writable,  // records and answers
  ReadOnly,  // answers only: a reader, or a writer that had to stop writing
  Off,       // neither: no history
};

// How the history commits and waits. The defaults suit a patrol; tests set
// others to reach the edge cases.
struct HistoryOptions {
  // How long a write waits for another program's lock before the history
  // gives up writing for this patrol.
  std::chrono::milliseconds BusyTimeout{2000};
  // Recorded checks are committed together once this many are waiting ...
  uint32_t CommitEvery = 256;
  // ... or once the first of them is this many milliseconds older than the
  // check being recorded, so that a patrol killed with kill -9 loses at most
  // that much of its history.
  int64_t CommitInterval = 1000;
  // The database's largest size in pages (of 4 KiB); 0 sets no limit.
  uint32_t MaxPages = 0;
  // Checks that stored nothing (unchanged, 304, same content, failed) are
  // deleted when a patrol begins once they are this many milliseconds older
  // than it; every check that describes a stored copy is kept.
  int64_t KeepUnstored = int64_t{90} * 24 * 60 * 60 * 1000;
};

// The patrol history: the database "KivoHistory.db" in the program folder,
// which records every patrol and every URL it asked for (see
// patrol/HistoryRecords.h), and answers what a patrol and the front ends
// need to know about earlier copies.
//
// It never costs a patrol or the list: a missing database is created; a
// damaged one is moved aside, kept, and begun afresh (the whole file is
// checked only when the last program that wrote it did not end in order:
// killed, or stopped by an error); one written by a newer
// version is left alone; a full disk or another program's lock stops the
// writing for this object's life. Each of these is reported once, as a
// message value, and every later write is a quiet no-op.
//
// Writes use the write-ahead log, so readers in other processes see every
// committed patrol while a patrol runs, and never wait for it. Only the holder
// of the instance lock opens it for writing; one object is used by one
// thread at a time, and an object serves one patrol at a time.
class PatrolHistory {
 public:
  // Opens the history at `path`. A writer names a damaged database it moves
  // aside after `now` (milliseconds since 1970 UTC); a reader never changes
  // the file and never creates it.
  PatrolHistory(HistoryAccess access, std::u16string_view path, int64_t now,
                const HistoryOptions& options = {});
  PatrolHistory(const PatrolHistory&) = delete;
  PatrolHistory& operator=(const PatrolHistory&) = delete;
  // Commits what was recorded and not yet committed.
  ~PatrolHistory();

  // Returns the path of the history in the program folder.
  static std::u16string DefaultPath();

  // Returns what the history can do now.
  HistoryState State() const { return state_; }
  // Returns the messages not yet taken, oldest first, and forgets them.
  std::vector<HistoryMessage> TakeMessages();
  // Answers questions about earlier copies (nothing when the history is off).
  HistoryQueries& Queries() { return queries_; }

  // Starts recording a patrol that began at `startedAt`, first deleting the
  // checks that stored nothing and are older than options.KeepUnstored; ends
  // one still open.
  void BeginPatrol(int64_t startedAt, PatrolTrigger trigger);
  // Records one URL asked for in the patrol begun last.
  void Record(const HistoryCheck& check);
  // Commits the checks recorded so far.
  void Commit();
  // Records the end of the patrol begun last, with its counts, and commits.
  void FinishPatrol(int64_t finishedAt);
  // Returns how the user entries of the patrol begun last have come out so
  // far; they are counted even while the history cannot write.
  const PatrolCounts& Counts() const { return counts_; }

 private:
  void OpenForWriting(int64_t now);
  void OpenForReading();
  // Opens, checks and brings the database up to date; the problem, if any.
  HistoryProblem TryOpenForWriting(std::string& detail);
  // True when the last program that wrote the database of `version` ended in
  // order (no log or journal was left, and its last patrol recorded its end);
  // nothing when that cannot be read.
  std::optional<bool> EndedInOrder(int64_t version, bool uncleanFiles);
  // Runs SQLite's quick check of the whole file; the problem, if any.
  HistoryProblem QuickCheck(std::string& detail);
  // Deletes the checks that stored nothing from before `before`; false when
  // writing had to stop.
  bool Prune(int64_t before);
  // Moves a damaged database aside, named after `now`; the new path, or empty.
  std::u16string MoveAside(int64_t now);
  // Prepares the statements that record a patrol.
  bool PrepareWrites();
  // Writes the patrol's counts, and its end when `finishedAt` is given, and
  // commits the batch.
  void CommitBatch(std::optional<int64_t> finishedAt);
  // Stops writing after `error`, with one message.
  void StopWriting(const platform::SqliteError& error);
  void Tell(HistoryProblem problem, std::u16string path, std::string detail);

  std::u16string path_;
  HistoryOptions options_;
  HistoryState state_ = HistoryState::Off;
  std::vector<HistoryMessage> messages_;
  platform::SqliteDatabase database_;
  platform::SqliteStatement pruneChecks_;
  platform::SqliteStatement insertPatrol_;
  platform::SqliteStatement insertCheck_;
  platform::SqliteStatement updatePatrol_;
  HistoryQueries queries_{database_};
  bool patrolOpen_ = false;
  int64_t patrolId_ = 0;  // 0 while the patrol is not being written
  PatrolCounts counts_;
  bool inBatch_ = false;
  uint32_t batchSize_ = 0;
  int64_t batchStartedAt_ = 0;
};

}  // namespace kivo
