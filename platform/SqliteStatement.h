#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct sqlite3_stmt;

namespace kivo::platform {

// What one step of a statement gave.
enum class SqliteStep {
  Row,     // a row is ready to be read
  Done,    // the statement ran to its end
  Failed,  // it failed; the connection's LastError says why
};

// One compiled SQL statement, finalised when destroyed. Parameters are
// numbered from 1 and columns from 0, as in SQLite. Text is stored as UTF-8;
// UTF-16 text with escaped bytes (platform/Utf8.h) comes back unchanged.
class SqliteStatement {
 public:
  SqliteStatement() = default;
  explicit SqliteStatement(sqlite3_stmt* handle) : handle_(handle) {}
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;
  ~SqliteStatement();

  // True when the statement compiled.
  bool IsValid() const { return handle_ != nullptr; }

  // Binds an integer to parameter `index`.
  void BindInt(int index, int64_t value);
  // Binds UTF-16 text, stored as UTF-8.
  void BindText(int index, std::u16string_view text);
  // Binds bytes as text, unchanged (for header values such as an ETag).
  void BindBytesAsText(int index, std::string_view bytes);
  // Binds bytes as a blob.
  void BindBlob(int index, std::span<const uint8_t> bytes);
  // Binds SQL NULL.
  void BindNull(int index);

  // Runs the statement to its next row; a failed bind makes it fail at once.
  SqliteStep Step();
  // Makes the statement ready to run again and clears its bindings.
  void Reset();

  // True when column `column` of the current row is NULL.
  bool IsNull(int column) const;
  // Returns column `column` of the current row as an integer.
  int64_t ColumnInt(int column) const;
  // Returns column `column` of the current row as UTF-16 text.
  std::u16string ColumnText(int column) const;
  // Returns column `column` of the current row as its bytes, text or blob.
  std::string ColumnBytes(int column) const;

 private:
  // Notes the first bind that failed, so that Step reports it.
  void Check(int result);

  sqlite3_stmt* handle_ = nullptr;
  int bindResult_ = 0;
};

}  // namespace kivo::platform
