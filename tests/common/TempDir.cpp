#include "common/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Utf8.h"

namespace kivo::test {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/kivo-test-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr) {
    path_ = pattern;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) {
    // Tests may leave read-only folders behind; make them writable first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
      }
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
}

std::u16string TempDir::Wide(const std::string& name) const {
  return U16(File(name));
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  // Read in one piece: a character at a time is slow for large files in the sanitizer builds.
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::move(bytes).str();
}

std::u16string U16(const std::string& utf8) {
  return platform::Utf16FromUtf8(utf8);
}

std::string Utf8(std::u16string_view text) {
  return platform::Utf8FromUtf16(text);
}

std::string Written(const std::function<void(std::FILE*)>& write) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) {
    return "no temporary file";
  }
  write(file);
  std::rewind(file);
  std::string text;
  for (int ch = std::fgetc(file); ch != EOF; ch = std::fgetc(file)) {
    text.push_back(static_cast<char>(ch));
  }
  std::fclose(file);
  return text;
}

}  // namespace kivo::test
