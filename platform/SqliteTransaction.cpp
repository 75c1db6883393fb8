#include "platform/SqliteTransaction.h"

namespace kivo::platform {

SqliteTransaction::SqliteTransaction(SqliteDatabase& database) : database_(database) {
  beginError_ = database_.Execute("BEGIN IMMEDIATE");
  active_ = !beginError_.Failed();
}

SqliteTransaction::~SqliteTransaction() {
  if (active_) {
    database_.Execute("ROLLBACK");
  }
}

SqliteError SqliteTransaction::Commit() {
  if (!active_) {
    return {SqliteFailure::Other, 0, "no transaction"};
  }
  active_ = false;
  SqliteError error = database_.Execute("COMMIT");
  if (error.Failed()) {
    // A commit that failed (busy, full) may leave the transaction open; it
    // must not hold the write lock past this call.
    database_.Execute("ROLLBACK");
  }
  return error;
}

}  // namespace kivo::platform
