#pragma once

#include <cstdint>
#include <string_view>

#include "patrol/HistoryRecords.h"
#include "platform/SqliteStatement.h"

namespace kivo {

// The statement that records one check in the history's table of checks.
extern const std::string_view kInsertCheckSql;

// Binds `check`, of the patrol `patrolId`, to a statement compiled from
// kInsertCheckSql. Empty texts and missing values are bound as NULL, and an
// ETag that could not be sent back (platform::IsAcceptableEtag) is not kept.
void BindCheck(platform::SqliteStatement& statement, int64_t patrolId, const HistoryCheck& check);

}  // namespace kivo
