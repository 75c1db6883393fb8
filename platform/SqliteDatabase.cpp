#include "platform/SqliteDatabase.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <stdio.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "platform/HostFile.h"
#include "platform/SqliteStatement.h"

namespace kivo::platform {
namespace {

// Renames without replacing; false when `to` exists or the rename fails.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

}  // namespace

SqliteFailure SqliteFailureOf(int code) {
  switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return SqliteFailure::None;
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return SqliteFailure::CannotOpen;
    case SQLITE_NOTADB:
      return SqliteFailure::NotADatabase;
    case SQLITE_CORRUPT:
      return SqliteFailure::Corrupt;
    case SQLITE_FULL:
      return SqliteFailure::Full;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return SqliteFailure::Busy;
    case SQLITE_READONLY:
      return SqliteFailure::ReadOnly;
    default:
      return SqliteFailure::Other;
  }
}

SqliteDatabase::SqliteDatabase(SqliteDatabase&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SqliteDatabase& SqliteDatabase::operator=(SqliteDatabase&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

SqliteDatabase::~SqliteDatabase() {
  Close();
}

SqliteError SqliteDatabase::Open(std::u16string_view path, SqliteOpenMode mode) {
  Close();
  const int flags = mode == SqliteOpenMode::ReadOnly ? SQLITE_OPEN_READONLY
                                                     : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  // SQLite hands back a handle even when opening fails, to carry the error.
  const int result =
      ::sqlite3_open_v2(HostPath(path).c_str(), &handle_,
                        flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, nullptr);
  if (result == SQLITE_OK) {
    return {};
  }
  SqliteError error = LastError();
  if (handle_ == nullptr) {
    error = {SqliteFailureOf(result), result, ::sqlite3_errstr(result)};
  }
  Close();
  return error;
}

void SqliteDatabase::Close() {
  // close_v2 leaves the connection to the last statement that still needs it.
  ::sqlite3_close_v2(std::exchange(handle_, nullptr));
}

void SqliteDatabase::SetBusyTimeout(std::chrono::milliseconds timeout) {
  ::sqlite3_busy_timeout(handle_, static_cast<int>(timeout.count()));
}

SqliteError SqliteDatabase::Execute(std::string_view sql) {
  const std::string text(sql);
  if (handle_ == nullptr) {
    return {SqliteFailure::Other, SQLITE_MISUSE, "no database"};
  }
  if (::sqlite3_exec(handle_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    return LastError();
  }
  return {};
}

SqliteStatement SqliteDatabase::Prepare(std::string_view sql) {
  sqlite3_stmt* statement = nullptr;
  if (handle_ != nullptr) {
    ::sqlite3_prepare_v3(handle_, sql.data(), static_cast<int>(sql.size()),
                         SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
  }
  return SqliteStatement(statement);
}

std::optional<int64_t> SqliteDatabase::QueryInt(std::string_view sql) {
  SqliteStatement statement = Prepare(sql);
  if (!statement.IsValid() || statement.Step() != SqliteStep::Row) {
    return std::nullopt;
  }
  return statement.ColumnInt(0);
}

int64_t SqliteDatabase::LastInsertRowId() const {
  return handle_ == nullptr ? 0 : ::sqlite3_last_insert_rowid(handle_);
}

SqliteError SqliteDatabase::LastError() const {
  if (handle_ == nullptr) {
    return {SqliteFailure::Other, SQLITE_MISUSE, "no database"};
  }
  const int code = ::sqlite3_extended_errcode(handle_);
  return {SqliteFailureOf(code), code, ::sqlite3_errmsg(handle_)};
}

bool SqliteDatabase::MoveFiles(std::u16string_view from, std::u16string_view to) {
  const std::string source = HostPath(from);
  const std::string target = HostPath(to);
  if (!RenameNoReplace(source, target)) {
    return false;
  }
  // The log holds committed pages not yet in the file, so it goes along with
  // it; the shared-memory index is rebuilt from the log and is only dropped.
  for (const char* suffix : {"-wal", "-journal"}) {
    RenameNoReplace(source + suffix, target + suffix);
  }
  ::unlink((source + "-shm").c_str());
  return true;
}

}  // namespace kivo::platform
