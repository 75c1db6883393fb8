#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/SqliteDatabase.h"

namespace kivo {

// The history's schema, as the steps that build it: step N turns a database
// of version N (its user_version) into one of version N + 1, and step 0
// starts from an empty database. A new version only ever appends a step, and
// a step only adds, so that an older program can still read what it knows.
std::span<const std::string_view> HistorySchemaSteps();

// What bringing a schema up to date found.
struct SchemaMigration {
  int64_t FoundVersion = 0;  // the version before the steps ran
  // The version is newer than the steps, or negative (not one of ours): the
  // database was left alone.
  bool Newer = false;
  platform::SqliteError Error;
};

// Brings `database` to the version after the last of `steps`, running the
// missing steps in one transaction, so that a failure leaves the version it
// found. A database newer than the steps is left unchanged.
SchemaMigration MigrateSchema(platform::SqliteDatabase& database,
                              std::span<const std::string_view> steps);

}  // namespace kivo
