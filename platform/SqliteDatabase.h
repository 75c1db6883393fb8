#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace kivo::platform {

class SqliteStatement;

// How a database file is opened.
enum class SqliteOpenMode {
  ReadWriteCreate,  // read and write, creating the file when it is missing
  ReadOnly,         // read only; a missing file is not created
};

// What kind of failure SQLite reported, for callers that react to it.
enum class SqliteFailure {
  None,
  CannotOpen,    // the file or its folder cannot be opened, created or written
  NotADatabase,  // the file is not a database, or its header is damaged
  Corrupt,       // the database's pages are damaged
  Full,          // the disk is full, or the database reached its page limit
  Busy,          // another connection holds a lock that did not come free in time
  ReadOnly,      // a write on a connection or file that is read only
  Other,         // anything else: misuse, out of memory, an SQL error
};

// One failure: its kind, SQLite's extended result code and its own words.
struct SqliteError {
  SqliteFailure Failure = SqliteFailure::None;
  int Code = 0;
  std::string Message;

  bool Failed() const { return Failure != SqliteFailure::None; }
};

// Sorts an SQLite result code into a failure kind (None for OK, ROW and DONE).
SqliteFailure SqliteFailureOf(int code);

// One connection to an SQLite database file, closed when destroyed. Every
// operation reports failure as a value; none throws. A connection is used by
// one thread at a time.
class SqliteDatabase {
 public:
  SqliteDatabase() = default;
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;
  SqliteDatabase(SqliteDatabase&& other) noexcept;
  SqliteDatabase& operator=(SqliteDatabase&& other) noexcept;
  ~SqliteDatabase();

  // Opens `path` in `mode`, closing any connection held before; on failure the
  // object holds no connection and the error says why.
  SqliteError Open(std::u16string_view path, SqliteOpenMode mode);
  // Closes the connection; statements still alive keep it until they go.
  void Close();
  // True while a connection is held.
  bool IsOpen() const { return handle_ != nullptr; }

  // Waits up to `timeout` for another connection's lock before failing Busy.
  void SetBusyTimeout(std::chrono::milliseconds timeout);
  // Runs one or more SQL statements that return no rows needed by the caller.
  SqliteError Execute(std::string_view sql);
  // Compiles one statement; an invalid statement on failure (see LastError).
  SqliteStatement Prepare(std::string_view sql);
  // Returns the first column of the first row of `sql` as an integer, or
  // nothing when the statement fails or returns no row.
  std::optional<int64_t> QueryInt(std::string_view sql);
  // Returns the row id of the last row inserted on this connection.
  int64_t LastInsertRowId() const;
  // Returns the failure of the call that just failed on this connection.
  SqliteError LastError() const;

  // Renames the database file `from` to `to` together with its write-ahead log
  // and rollback journal, and removes its shared-memory index. Never replaces
  // an existing file; true when the database file itself was moved. Only for
  // a database no connection has open.
  static bool MoveFiles(std::u16string_view from, std::u16string_view to);

 private:
  sqlite3* handle_ = nullptr;
};

}  // namespace kivo::platform
