#include "platform/SqliteStatement.h"

#include <sqlite3.h>

#include <utility>

#include "platform/Utf8.h"

namespace kivo::platform {

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      bindResult_(std::exchange(other.bindResult_, 0)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    ::sqlite3_finalize(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
    bindResult_ = std::exchange(other.bindResult_, 0);
  }
  return *this;
}

SqliteStatement::~SqliteStatement() {
  ::sqlite3_finalize(handle_);
}

void SqliteStatement::Check(int result) {
  if (bindResult_ == SQLITE_OK) {
    bindResult_ = result;
  }
}

void SqliteStatement::BindInt(int index, int64_t value) {
  Check(::sqlite3_bind_int64(handle_, index, value));
}

void SqliteStatement::BindText(int index, std::u16string_view text) {
  BindBytesAsText(index, Utf8FromUtf16(text));
}

void SqliteStatement::BindBytesAsText(int index, std::string_view bytes) {
  Check(::sqlite3_bind_text64(handle_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT,
                              SQLITE_UTF8));
}

void SqliteStatement::BindBlob(int index, std::span<const uint8_t> bytes) {
  Check(::sqlite3_bind_blob64(handle_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
}

void SqliteStatement::BindNull(int index) {
  Check(::sqlite3_bind_null(handle_, index));
}

SqliteStep SqliteStatement::Step() {
  if (handle_ == nullptr || bindResult_ != SQLITE_OK) {
    return SqliteStep::Failed;
  }
  const int result = ::sqlite3_step(handle_);
  if (result == SQLITE_ROW) {
    return SqliteStep::Row;
  }
  return result == SQLITE_DONE ? SqliteStep::Done : SqliteStep::Failed;
}

void SqliteStatement::Reset() {
  ::sqlite3_reset(handle_);
  ::sqlite3_clear_bindings(handle_);
  bindResult_ = SQLITE_OK;
}

bool SqliteStatement::IsNull(int column) const {
  return ::sqlite3_column_type(handle_, column) == SQLITE_NULL;
}

int64_t SqliteStatement::ColumnInt(int column) const {
  return ::sqlite3_column_int64(handle_, column);
}

std::u16string SqliteStatement::ColumnText(int column) const {
  return Utf16FromUtf8(ColumnBytes(column));
}

std::string SqliteStatement::ColumnBytes(int column) const {
  // The pointer must be fetched before the size, as SQLite documents.
  const auto* bytes = static_cast<const char*>(::sqlite3_column_blob(handle_, column));
  const int size = ::sqlite3_column_bytes(handle_, column);
  return bytes == nullptr ? std::string() : std::string(bytes, static_cast<size_t>(size));
}

}  // namespace kivo::platform
