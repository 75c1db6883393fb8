#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace kivo::test {

// A fresh folder under the system's temporary directory, removed with all its
// contents when the object is destroyed.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  // The folder's path, without a trailing "/".
  const std::string& Path() const { return path_; }
  // The path of `name` inside the folder, as UTF-16.
  std::u16string Wide(const std::string& name) const;
  // The path of `name` inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes `bytes` to `path`, replacing the file. Returns false on failure.
bool WriteBytes(const std::string& path, const std::string& bytes);
// Reads a whole file; an unreadable file gives an empty string.
std::string ReadBytes(const std::string& path);
// Widens ASCII or UTF-8 text for tests.
std::u16string U16(const std::string& utf8);
// Narrows UTF-16 text to UTF-8, for messages and comparisons.
std::string Utf8(std::u16string_view text);
// Returns what `write` writes to a stream (a temporary file).
std::string Written(const std::function<void(std::FILE*)>& write);

}  // namespace kivo::test
