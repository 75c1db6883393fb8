#include "platform/ProgramFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/HostFile.h"
#include "platform/Utf8.h"

namespace kivo::platform {
namespace {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') {
    return home;
  }
  // Services may run without HOME; the password database still knows it.
  const passwd* entry = ::getpwuid(::getuid());
  return (entry != nullptr && entry->pw_dir != nullptr) ? entry->pw_dir : "/tmp";
}

// Creates `folder` and its missing parents; existing folders are left alone.
void CreateFolders(const std::string& folder, mode_t mode) {
  // The folder is asked for once per stored page, so the common case of an
  // existing folder costs one stat and no mkdir calls.
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return;
  }
  for (size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), 0755);
  }
  ::mkdir(folder.c_str(), mode);
}

// Puts the working directory before a relative folder. Stored pages name the placeholder image
// and the list names local copies by full path, which must not depend on where a later run or
// the browser starts.
std::string AbsoluteFolder(std::string folder) {
  if (folder.starts_with('/')) {
    return folder;
  }
  std::string current(4096, '\0');
  while (::getcwd(current.data(), current.size()) == nullptr) {
    if (errno != ERANGE) {
      return folder;  // no usable working directory: nothing better to offer
    }
    current.resize(current.size() * 2);
  }
  current.resize(current.find('\0'));
  if (!current.ends_with('/')) {
    current.push_back('/');
  }
  return current + folder;
}

}  // namespace

std::u16string ProgramFolder() {
  const char* configured = std::getenv("KIVO_HOME");
  const bool useDefault = configured == nullptr || *configured == '\0';
  std::string folder =
      AbsoluteFolder(useDefault ? HomeFolder() + "/Kivo" : std::string(configured));
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  CreateFolders(folder, useDefault ? 0700 : 0755);
  if (folder != "/") {
    folder.push_back('/');
  }
  return Utf16FromUtf8(folder);
}

std::u16string ProgramFile(std::u16string_view name) {
  return ProgramFolder() + std::u16string(name);
}

std::u16string AbsolutePath(std::u16string_view path) {
  if (path.starts_with(u'/')) {
    return std::u16string(path);
  }
  return Utf16FromUtf8(AbsoluteFolder(HostPath(path)));
}

}  // namespace kivo::platform
