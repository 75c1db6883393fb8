#include "patrol/HistoryQueries.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "support/UnixTime.h"

namespace kivo {
namespace {

using platform::SqliteStatement;
using platform::SqliteStep;

// The columns of a check, in the order ReadCheck reads them.
constexpr std::string_view kCheckColumns =
    "id, patrol_id, checked_at, url, kind, outcome, failure, http_status, last_modified, etag, "
    "body_digest, text_digest, bytes_received, stored_path, stored_size, stored_modified, "
    "follows_path";

// Returns a query of checks: `before`, the select of every column, then `after`.
std::string CheckQuery(std::string_view before, std::string_view after) {
  return std::string(before) + "SELECT " + std::string(kCheckColumns) + " FROM checks " +
         std::string(after);
}

constexpr std::string_view kCopyAt = "WHERE stored_path = ?1 ORDER BY id DESC LIMIT 1";
constexpr std::string_view kLatestCopy =
    "WHERE url = ?1 AND kind = ?2 AND stored_path IS NOT NULL ORDER BY id DESC LIMIT 1";
// The chain is walked back through the copies each stored copy follows.
// UNION drops a path met before, so a loop ends the walk.
constexpr std::string_view kChain =
    "WITH RECURSIVE chain(path) AS (SELECT ?1 UNION SELECT checks.follows_path FROM chain "
    "JOIN checks ON checks.stored_path = chain.path WHERE checks.follows_path IS NOT NULL) ";
constexpr std::string_view kEntryHistory =
    "WHERE kind = 0 AND (stored_path IN chain OR follows_path IN chain "
    "OR (url = ?2 AND follows_path IS NULL AND stored_path IS NULL)) ORDER BY id DESC LIMIT ?3";
constexpr std::string_view kPatrolEntries = "WHERE patrol_id = ?1 AND kind = 0 ORDER BY id";
constexpr std::string_view kPatrols =
    "SELECT id, started_at, finished_at, trigger, updated, unchanged_last_modified, "
    "not_modified, same_content, failed FROM patrols ORDER BY id DESC LIMIT ?1";

// Turns a stored number into its enumerator; a number this version does not
// know (a newer program's) becomes `fallback`.
template <typename Enum>
Enum Decode(int64_t value, Enum last, Enum fallback) {
  if (value < 0 || value > static_cast<int64_t>(last)) {
    return fallback;
  }
  return static_cast<Enum>(value);
}

std::optional<platform::Sha256Digest> ReadDigest(const SqliteStatement& row, int column) {
  const std::string bytes = row.ColumnBytes(column);
  platform::Sha256Digest digest{};
  if (bytes.size() != digest.size()) {
    return std::nullopt;
  }
  std::copy(bytes.begin(), bytes.end(), digest.begin());
  return digest;
}

std::optional<int64_t> ReadOptional(const SqliteStatement& row, int column) {
  if (row.IsNull(column)) {
    return std::nullopt;
  }
  return row.ColumnInt(column);
}

HistoryCheck ReadCheck(const SqliteStatement& row) {
  HistoryCheck check;
  check.Id = row.ColumnInt(0);
  check.PatrolId = row.ColumnInt(1);
  check.CheckedAt = row.ColumnInt(2);
  check.Url = row.ColumnText(3);
  check.Kind = Decode(row.ColumnInt(4), CheckedKind::Image, CheckedKind::QueuedPage);
  check.Outcome = Decode(row.ColumnInt(5), CheckOutcome::Failed, CheckOutcome::Failed);
  check.Failure = Decode(row.ColumnInt(6), CheckFailure::StoreFailed, CheckFailure::Other);
  check.HttpStatus = static_cast<int32_t>(row.ColumnInt(7));
  if (const std::optional<int64_t> seconds = ReadOptional(row, 8)) {
    check.LastModified = SystemTimeOfUnixSeconds(*seconds);
  }
  check.ETag = row.ColumnBytes(9);
  check.BodyDigest = ReadDigest(row, 10);
  check.TextDigest = ReadDigest(row, 11);
  check.BytesReceived = static_cast<uint64_t>(std::max<int64_t>(row.ColumnInt(12), 0));
  check.StoredPath = row.ColumnText(13);
  if (const std::optional<int64_t> size = ReadOptional(row, 14); size && *size >= 0) {
    check.StoredSize = static_cast<uint64_t>(*size);
  }
  check.StoredModified = ReadOptional(row, 15);
  check.FollowsPath = row.ColumnText(16);
  return check;
}

PatrolRecord ReadPatrol(const SqliteStatement& row) {
  const auto count = [&row](int column) {
    return static_cast<uint32_t>(std::clamp<int64_t>(row.ColumnInt(column), 0, UINT32_MAX));
  };
  PatrolRecord patrol;
  patrol.Id = row.ColumnInt(0);
  patrol.StartedAt = row.ColumnInt(1);
  patrol.FinishedAt = ReadOptional(row, 2);
  patrol.Trigger = Decode(row.ColumnInt(3), PatrolTrigger::Scheduled, PatrolTrigger::Cli);
  patrol.Counts = {count(4), count(5), count(6), count(7), count(8)};
  return patrol;
}

// A limit as SQLite takes it: a size_t beyond int64_t means no limit.
int64_t Limit(size_t limit) {
  return static_cast<int64_t>(std::min<size_t>(limit, INT64_MAX));
}

}  // namespace

SqliteStatement* HistoryQueries::Statement(SqliteStatement& slot, std::string_view sql) {
  if (!database_.IsOpen()) {
    return nullptr;
  }
  if (!slot.IsValid()) {
    slot = database_.Prepare(sql);
  }
  if (!slot.IsValid()) {
    NoteFailure();
    return nullptr;
  }
  return &slot;
}

std::vector<HistoryCheck> HistoryQueries::Checks(SqliteStatement& statement) {
  std::vector<HistoryCheck> checks;
  SqliteStep step = SqliteStep::Done;
  while ((step = statement.Step()) == SqliteStep::Row) {
    checks.push_back(ReadCheck(statement));
  }
  if (step == SqliteStep::Failed) {
    NoteFailure();
  }
  statement.Reset();
  return checks;
}

void HistoryQueries::NoteFailure() {
  if (!readFailure_) {
    readFailure_ = database_.LastError();
  }
}

std::optional<HistoryCheck> HistoryQueries::CopyAt(std::u16string_view path) {
  SqliteStatement* statement = Statement(copyAt_, CheckQuery({}, kCopyAt));
  if (statement == nullptr || path.empty()) {
    return std::nullopt;
  }
  statement->BindText(1, path);
  std::vector<HistoryCheck> checks = Checks(*statement);
  return checks.empty() ? std::nullopt : std::optional(std::move(checks.front()));
}

std::optional<HistoryCheck> HistoryQueries::LatestCopyOf(std::u16string_view url,
                                                         CheckedKind kind) {
  SqliteStatement* statement = Statement(latestCopy_, CheckQuery({}, kLatestCopy));
  if (statement == nullptr) {
    return std::nullopt;
  }
  statement->BindText(1, url);
  statement->BindInt(2, static_cast<int64_t>(kind));
  std::vector<HistoryCheck> checks = Checks(*statement);
  return checks.empty() ? std::nullopt : std::optional(std::move(checks.front()));
}

std::vector<HistoryCheck> HistoryQueries::CopyChain(std::u16string_view path, size_t limit) {
  std::vector<HistoryCheck> chain;
  std::unordered_set<std::u16string> seen;
  std::u16string next(path);
  while (chain.size() < limit && seen.insert(next).second) {
    std::optional<HistoryCheck> copy = CopyAt(next);
    if (!copy) {
      break;
    }
    next = copy->FollowsPath;
    chain.push_back(std::move(*copy));
  }
  return chain;
}

std::vector<HistoryCheck> HistoryQueries::EntryHistory(std::u16string_view url,
                                                       std::u16string_view localFile,
                                                       size_t limit) {
  SqliteStatement* statement = Statement(entryHistory_, CheckQuery(kChain, kEntryHistory));
  if (statement == nullptr) {
    return {};
  }
  statement->BindText(1, localFile);
  statement->BindText(2, url);
  statement->BindInt(3, Limit(limit));
  return Checks(*statement);
}

std::vector<PatrolLog> HistoryQueries::RecentPatrols(size_t count) {
  SqliteStatement* patrols = Statement(patrols_, kPatrols);
  SqliteStatement* entries = Statement(patrolEntries_, CheckQuery({}, kPatrolEntries));
  if (patrols == nullptr || entries == nullptr) {
    return {};
  }
  std::vector<PatrolLog> logs;
  patrols->BindInt(1, Limit(count));
  SqliteStep step = SqliteStep::Done;
  while ((step = patrols->Step()) == SqliteStep::Row) {
    logs.push_back({ReadPatrol(*patrols), {}});
  }
  if (step == SqliteStep::Failed) {
    NoteFailure();
  }
  patrols->Reset();
  for (PatrolLog& log : logs) {
    entries->BindInt(1, log.Patrol.Id);
    log.Entries = Checks(*entries);
  }
  return logs;
}

}  // namespace kivo
