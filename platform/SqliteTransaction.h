#pragma once

#include "platform/SqliteDatabase.h"

namespace kivo::platform {

// One write transaction, rolled back when destroyed before it was committed.
// It starts with BEGIN IMMEDIATE, so the write lock is taken at once and a
// busy database fails here rather than halfway through the writes.
class SqliteTransaction {
 public:
  // Begins the transaction on `database`; IsActive tells whether it began.
  explicit SqliteTransaction(SqliteDatabase& database);
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;
  ~SqliteTransaction();

  // True from a successful begin until the commit or the rollback.
  bool IsActive() const { return active_; }
  // The failure of the begin, or None.
  const SqliteError& BeginError() const { return beginError_; }
  // Commits the writes; on failure they are rolled back and the error says why.
  SqliteError Commit();

 private:
  SqliteDatabase& database_;
  SqliteError beginError_;
  bool active_ = false;
};

}  // namespace kivo::platform
