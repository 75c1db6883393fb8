#include "patrol/HistorySchema.h"

#include <string>

#include "platform/SqliteTransaction.h"

namespace kivo {
namespace {

// Version 1: the patrols, and every URL they asked for.
//  - Times are milliseconds since 1970 UTC, file times nanoseconds, and a
//    Last-Modified time seconds since 1970 (it has no finer part).
//  - An empty text is stored as NULL, so that "none" has one form.
//  - The partial indexes serve the look-ups of a stored copy by its path and
//    of the copies that follow it, and skip the rows that have no path.
constexpr std::string_view kVersion1 = R"sql(
CREATE TABLE patrols(
  id INTEGER PRIMARY KEY,
  started_at INTEGER NOT NULL,
  finished_at INTEGER,
  trigger INTEGER NOT NULL,
  updated INTEGER NOT NULL DEFAULT 0,
  unchanged_last_modified INTEGER NOT NULL DEFAULT 0,
  not_modified INTEGER NOT NULL DEFAULT 0,
  same_content INTEGER NOT NULL DEFAULT 0,
  failed INTEGER NOT NULL DEFAULT 0);
CREATE TABLE checks(
  id INTEGER PRIMARY KEY,
  patrol_id INTEGER NOT NULL REFERENCES patrols(id),
  checked_at INTEGER NOT NULL,
  url TEXT NOT NULL,
  kind INTEGER NOT NULL,
  outcome INTEGER NOT NULL,
  failure INTEGER NOT NULL DEFAULT 0,
  http_status INTEGER NOT NULL DEFAULT 0,
  last_modified INTEGER,
  etag TEXT,
  body_digest BLOB,
  text_digest BLOB,
  bytes_received INTEGER NOT NULL DEFAULT 0,
  stored_path TEXT,
  stored_size INTEGER,
  stored_modified INTEGER,
  follows_path TEXT);
CREATE INDEX checks_by_patrol ON checks(patrol_id, kind);
CREATE INDEX checks_by_url ON checks(url);
CREATE INDEX checks_by_stored_path ON checks(stored_path) WHERE stored_path IS NOT NULL;
CREATE INDEX checks_by_follows_path ON checks(follows_path) WHERE follows_path IS NOT NULL;
)sql";

// Version 2: the checks that stored nothing, by time, so that a patrol can
// delete the old ones without reading the whole table.
constexpr std::string_view kVersion2 = R"sql(
CREATE INDEX checks_unstored_by_time ON checks(checked_at) WHERE stored_path IS NULL;
)sql";

constexpr std::string_view kSteps[] = {kVersion1, kVersion2};

}  // namespace

std::span<const std::string_view> HistorySchemaSteps() {
  return kSteps;
}

SchemaMigration MigrateSchema(platform::SqliteDatabase& database,
                              std::span<const std::string_view> steps) {
  SchemaMigration migration;
  const int64_t target = static_cast<int64_t>(steps.size());
  const std::optional<int64_t> version = database.QueryInt("PRAGMA user_version");
  if (!version) {
    migration.Error = database.LastError();
    return migration;
  }
  migration.FoundVersion = *version;
  migration.Newer = *version > target || *version < 0;
  if (migration.Newer || *version == target) {
    return migration;
  }
  platform::SqliteTransaction transaction(database);
  if (!transaction.IsActive()) {
    migration.Error = transaction.BeginError();
    return migration;
  }
  for (int64_t step = *version; step < target; ++step) {
    migration.Error = database.Execute(steps[static_cast<size_t>(step)]);
    if (!migration.Error.Failed()) {
      migration.Error = database.Execute("PRAGMA user_version = " + std::to_string(step + 1));
    }
    if (migration.Error.Failed()) {
      return migration;
    }
  }
  migration.Error = transaction.Commit();
  return migration;
}

}  // namespace kivo
