#include "patrol/PatrolHistory.h"

#include <algorithm>
#include <string>

#include "patrol/HistoryRows.h"
#include "patrol/HistorySchema.h"
#include "platform/HostFile.h"
#include "platform/KeptNames.h"
#include "platform/ProgramFolder.h"
#include "support/UnixTime.h"

namespace kivo {
namespace {

using platform::SqliteError;
using platform::SqliteFailure;
using platform::SqliteStep;

// How many numbered names a damaged database may try when its first is taken.
constexpr int kAsideAttempts = 100;

constexpr std::string_view kPruneChecks =
    "DELETE FROM checks WHERE stored_path IS NULL AND checked_at < ?1";
constexpr std::string_view kInsertPatrol =
    "INSERT INTO patrols(started_at, trigger) VALUES(?1, ?2)";
constexpr std::string_view kUpdatePatrol =
    "UPDATE patrols SET finished_at = coalesce(?2, finished_at), updated = ?3, "
    "unchanged_last_modified = ?4, not_modified = ?5, same_content = ?6, failed = ?7 "
    "WHERE id = ?1";

HistoryProblem ProblemOf(SqliteFailure failure) {
  switch (failure) {
    case SqliteFailure::NotADatabase:
    case SqliteFailure::Corrupt:
      return HistoryProblem::Damaged;
    case SqliteFailure::CannotOpen:
    case SqliteFailure::ReadOnly:
      return HistoryProblem::Unusable;
    case SqliteFailure::Full:
      return HistoryProblem::Full;
    case SqliteFailure::Busy:
      return HistoryProblem::Locked;
    default:
      return HistoryProblem::Failed;
  }
}

// Adds the outcome of a user entry's check to the patrol's counts.
void Count(PatrolCounts& counts, CheckOutcome outcome) {
  switch (outcome) {
    case CheckOutcome::Stored:
      ++counts.Updated;
      return;
    case CheckOutcome::UnchangedLastModified:
      ++counts.UnchangedLastModified;
      return;
    case CheckOutcome::NotModified:
      ++counts.NotModified;
      return;
    case CheckOutcome::SameContent:
      ++counts.SameContent;
      return;
    case CheckOutcome::Failed:
      ++counts.Failed;
      return;
  }
}

}  // namespace

PatrolHistory::PatrolHistory(HistoryAccess access, std::u16string_view path, int64_t now,
                             const HistoryOptions& options)
    : path_(path), options_(options) {
  if (access == HistoryAccess::Write) {
    OpenForWriting(now);
  } else {
    OpenForReading();
  }
}

PatrolHistory::~PatrolHistory() {
  Commit();
}

std::u16string PatrolHistory::DefaultPath() {
  return platform::ProgramFile(platform::kHistoryDatabaseName);
}

std::vector<HistoryMessage> PatrolHistory::TakeMessages() {
  if (std::optional<SqliteError> failure = queries_.TakeReadFailure()) {
    const HistoryProblem problem = ProblemOf(failure->Failure);
    if (std::none_of(messages_.begin(), messages_.end(), [problem](const HistoryMessage& message) {
          return message.Problem == problem;
        })) {
      Tell(problem, path_, std::move(failure->Message));
    }
  }
  return std::exchange(messages_, {});
}

void PatrolHistory::Tell(HistoryProblem problem, std::u16string path, std::string detail) {
  messages_.push_back({problem, std::move(path), std::move(detail)});
}

void PatrolHistory::OpenForWriting(int64_t now) {
  std::string detail;
  HistoryProblem problem = TryOpenForWriting(detail);
  if (problem == HistoryProblem::Damaged) {
    database_.Close();
    const std::u16string aside = MoveAside(now);
    if (aside.empty()) {
      Tell(HistoryProblem::Damaged, path_, detail);
      return;
    }
    Tell(HistoryProblem::MovedAside, aside, detail);
    problem = TryOpenForWriting(detail);
  }
  if (problem == HistoryProblem::None) {
    state_ = HistoryState::Writable;
    return;
  }
  database_.Close();
  Tell(problem, path_, detail);
}

HistoryProblem PatrolHistory::TryOpenForWriting(std::string& detail) {
  const auto failed = [&detail](const SqliteError& error) {
    detail = error.Message;
    return ProblemOf(error.Failure);
  };
  // A log with frames in it, or a journal, left beside the file means that
  // the last program writing it did not close it; once opened, the log is in
  // use and tells nothing any more. A reader leaves an empty log behind,
  // since it may not remove it, and that says nothing about the writer.
  const std::optional<platform::FileStamp> log = platform::StampOf(path_ + u"-wal");
  const bool uncleanFiles = (log && log->Size > 0) || platform::PathExists(path_ + u"-journal");
  const SqliteError opened = database_.Open(path_, platform::SqliteOpenMode::ReadWriteCreate);
  if (opened.Failed()) {
    return failed(opened);
  }
  database_.SetBusyTimeout(options_.BusyTimeout);
  if (options_.MaxPages != 0) {
    database_.Execute("PRAGMA max_page_count = " + std::to_string(options_.MaxPages));
  }
  // A newer version's database is left as it is, journal mode included.
  // Reading the version also reads the file's header, so a file that is no
  // database at all is found here.
  const std::optional<int64_t> version = database_.QueryInt("PRAGMA user_version");
  if (!version) {
    return failed(database_.LastError());
  }
  const auto known = static_cast<int64_t>(HistorySchemaSteps().size());
  if (*version > known || *version < 0) {
    detail = "version " + std::to_string(*version);
    return HistoryProblem::NewerSchema;
  }
  // The quick check reads the whole file, so it runs only after a run that
  // did not end in order; damage found then is found before anything is
  // written.
  const std::optional<bool> clean = EndedInOrder(*version, uncleanFiles);
  if (!clean) {
    return failed(database_.LastError());
  }
  if (!*clean) {
    if (const HistoryProblem problem = QuickCheck(detail); problem != HistoryProblem::None) {
      return problem;
    }
  }
  platform::SqliteStatement journal = database_.Prepare("PRAGMA journal_mode = WAL");
  if (journal.Step() != SqliteStep::Row) {
    return failed(database_.LastError());
  }
  journal = {};
  // In WAL mode NORMAL syncs at checkpoints only: a commit survives the
  // process being killed, and a power cut loses at most the last commits.
  database_.Execute("PRAGMA synchronous = NORMAL");
  const SchemaMigration migration = MigrateSchema(database_, HistorySchemaSteps());
  if (migration.Error.Failed()) {
    return failed(migration.Error);
  }
  if (!PrepareWrites()) {
    return failed(database_.LastError());
  }
  return HistoryProblem::None;
}

std::optional<bool> PatrolHistory::EndedInOrder(int64_t version, bool uncleanFiles) {
  if (uncleanFiles) {
    return false;
  }
  if (version == 0) {
    return true;  // a new or empty file: nothing to check
  }
  // A patrol that was killed, or that had to stop writing, never recorded
  // its end.
  platform::SqliteStatement last =
      database_.Prepare("SELECT finished_at IS NOT NULL FROM patrols ORDER BY id DESC LIMIT 1");
  const SqliteStep step = last.Step();
  if (step == SqliteStep::Failed || !last.IsValid()) {
    return std::nullopt;
  }
  return step == SqliteStep::Done || last.ColumnInt(0) != 0;
}

HistoryProblem PatrolHistory::QuickCheck(std::string& detail) {
  platform::SqliteStatement check = database_.Prepare("PRAGMA quick_check(1)");
  if (check.Step() != SqliteStep::Row) {
    const SqliteError error = database_.LastError();
    detail = error.Message;
    return ProblemOf(error.Failure);
  }
  if (const std::string verdict = check.ColumnBytes(0); verdict != "ok") {
    detail = verdict;
    return HistoryProblem::Damaged;
  }
  return HistoryProblem::None;
}

std::u16string PatrolHistory::MoveAside(int64_t now) {
  const auto widen = [](const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
  };
  const std::u16string base = path_ + u".damaged-" + widen(CompactUtcText(now));
  for (int attempt = 0; attempt < kAsideAttempts; ++attempt) {
    const std::u16string aside = attempt == 0 ? base : base + u'-' + widen(std::to_string(attempt));
    if (platform::SqliteDatabase::MoveFiles(path_, aside)) {
      return aside;
    }
    if (!platform::PathExists(aside)) {
      return {};
    }
  }
  return {};
}

bool PatrolHistory::PrepareWrites() {
  pruneChecks_ = database_.Prepare(kPruneChecks);
  insertPatrol_ = database_.Prepare(kInsertPatrol);
  insertCheck_ = database_.Prepare(kInsertCheckSql);
  updatePatrol_ = database_.Prepare(kUpdatePatrol);
  return pruneChecks_.IsValid() && insertPatrol_.IsValid() && insertCheck_.IsValid() &&
         updatePatrol_.IsValid();
}

void PatrolHistory::OpenForReading() {
  if (!platform::PathExists(path_)) {
    Tell(HistoryProblem::Missing, path_, {});
    return;
  }
  const SqliteError opened = database_.Open(path_, platform::SqliteOpenMode::ReadOnly);
  if (opened.Failed()) {
    Tell(ProblemOf(opened.Failure), path_, opened.Message);
    return;
  }
  database_.SetBusyTimeout(options_.BusyTimeout);
  const std::optional<int64_t> version = database_.QueryInt("PRAGMA user_version");
  if (!version || *version == 0) {
    const SqliteError error = database_.LastError();
    database_.Close();
    if (version) {
      Tell(HistoryProblem::Missing, path_, {});
    } else {
      Tell(ProblemOf(error.Failure), path_, error.Message);
    }
    return;
  }
  if (*version > static_cast<int64_t>(HistorySchemaSteps().size()) || *version < 0) {
    Tell(HistoryProblem::NewerSchema, path_, "version " + std::to_string(*version));
  }
  state_ = HistoryState::ReadOnly;
}

void PatrolHistory::BeginPatrol(int64_t startedAt, PatrolTrigger trigger) {
  Commit();
  patrolOpen_ = true;
  patrolId_ = 0;
  counts_ = {};
  if (state_ != HistoryState::Writable || !Prune(startedAt - options_.KeepUnstored)) {
    return;
  }
  // The patrol's row is committed at once, so that even a patrol killed
  // before its first batch shows that it ran.
  insertPatrol_.BindInt(1, startedAt);
  insertPatrol_.BindInt(2, static_cast<int64_t>(trigger));
  const SqliteStep step = insertPatrol_.Step();
  const SqliteError error = step == SqliteStep::Failed ? database_.LastError() : SqliteError{};
  insertPatrol_.Reset();
  if (error.Failed()) {
    StopWriting(error);
    return;
  }
  patrolId_ = database_.LastInsertRowId();
}

bool PatrolHistory::Prune(int64_t before) {
  pruneChecks_.BindInt(1, before);
  const SqliteStep step = pruneChecks_.Step();
  const SqliteError error = step == SqliteStep::Failed ? database_.LastError() : SqliteError{};
  pruneChecks_.Reset();
  if (error.Failed()) {
    StopWriting(error);
    return false;
  }
  return true;
}

void PatrolHistory::Record(const HistoryCheck& check) {
  if (!patrolOpen_) {
    return;
  }
  if (check.Kind == CheckedKind::EntryPage) {
    Count(counts_, check.Outcome);
  }
  if (state_ != HistoryState::Writable || patrolId_ == 0) {
    return;
  }
  if (!inBatch_) {
    const SqliteError error = database_.Execute("BEGIN IMMEDIATE");
    if (error.Failed()) {
      StopWriting(error);
      return;
    }
    inBatch_ = true;
    batchSize_ = 0;
    batchStartedAt_ = check.CheckedAt;
  }
  BindCheck(insertCheck_, patrolId_, check);
  const SqliteStep step = insertCheck_.Step();
  const SqliteError error = step == SqliteStep::Failed ? database_.LastError() : SqliteError{};
  insertCheck_.Reset();
  if (error.Failed()) {
    StopWriting(error);
    return;
  }
  ++batchSize_;
  if (batchSize_ >= options_.CommitEvery ||
      check.CheckedAt - batchStartedAt_ >= options_.CommitInterval) {
    Commit();
  }
}

void PatrolHistory::Commit() {
  if (inBatch_) {
    CommitBatch(std::nullopt);
  }
}

void PatrolHistory::FinishPatrol(int64_t finishedAt) {
  if (!patrolOpen_) {
    return;
  }
  CommitBatch(finishedAt);
  patrolOpen_ = false;
  patrolId_ = 0;
}

void PatrolHistory::CommitBatch(std::optional<int64_t> finishedAt) {
  if (state_ != HistoryState::Writable || patrolId_ == 0) {
    return;
  }
  updatePatrol_.BindInt(1, patrolId_);
  if (finishedAt) {
    updatePatrol_.BindInt(2, *finishedAt);
  } else {
    updatePatrol_.BindNull(2);
  }
  updatePatrol_.BindInt(3, counts_.Updated);
  updatePatrol_.BindInt(4, counts_.UnchangedLastModified);
  updatePatrol_.BindInt(5, counts_.NotModified);
  updatePatrol_.BindInt(6, counts_.SameContent);
  updatePatrol_.BindInt(7, counts_.Failed);
  const SqliteStep step = updatePatrol_.Step();
  SqliteError error = step == SqliteStep::Failed ? database_.LastError() : SqliteError{};
  updatePatrol_.Reset();
  if (!error.Failed() && inBatch_) {
    error = database_.Execute("COMMIT");
    inBatch_ = error.Failed();
  }
  if (error.Failed()) {
    StopWriting(error);
  }
}

void PatrolHistory::StopWriting(const SqliteError& error) {
  if (inBatch_) {
    database_.Execute("ROLLBACK");
    inBatch_ = false;
  }
  if (state_ == HistoryState::Writable) {
    state_ = HistoryState::ReadOnly;
    Tell(ProblemOf(error.Failure), path_, error.Message);
  }
}

}  // namespace kivo
