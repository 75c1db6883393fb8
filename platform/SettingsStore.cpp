#include "platform/SettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/HostFile.h"
#include "platform/LockFile.h"
#include "platform/RegistryText.h"
#include "platform/UniqueFd.h"
#include "platform/Utf8.h"

namespace kivo::platform {
namespace {

constexpr int64_t kReadChunk = 64 * 1024;

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') {
    return home;
  }
  // The reentrant lookup, because two threads may open settings at once.
  passwd entry{};
  passwd* found = nullptr;
  std::string scratch(16 * 1024, '\0');
  if (::getpwuid_r(::getuid(), &entry, scratch.data(), scratch.size(), &found) != 0 ||
      found == nullptr || entry.pw_dir == nullptr) {
    return "/tmp";
  }
  return entry.pw_dir;
}

// Creates the folder that holds `hostPath` and its missing parents. The
// settings are private to the user, so new folders get mode 0700.
void CreateParentFolders(const std::string& hostPath) {
  for (size_t slash = hostPath.find('/', 1); slash != std::string::npos;
       slash = hostPath.find('/', slash + 1)) {
    ::mkdir(hostPath.substr(0, slash).c_str(), 0700);
  }
}

// Reads at most kMaxFileBytes of the file. `whole` tells whether that was all
// of it; a missing file reads as empty and whole.
std::string ReadBounded(const std::string& hostPath, bool& whole) {
  whole = true;
  std::string text;
  UniqueFd file(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.IsValid()) {
    whole = errno == ENOENT;
    return text;
  }
  std::string chunk(kReadChunk, '\0');
  for (;;) {
    const int64_t got = ReadSome(file.Get(), chunk.data(), kReadChunk);
    if (got < 0) {
      whole = false;
      return text;
    }
    if (got == 0) {
      return text;
    }
    if (text.size() + static_cast<uint64_t>(got) > SettingsStore::kMaxFileBytes) {
      // Only whole lines are kept, so that a value cut in the middle is not
      // mistaken for a shorter one.
      text.append(chunk.data(), SettingsStore::kMaxFileBytes - text.size());
      text.resize(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
      whole = false;
      return text;
    }
    text.append(chunk.data(), static_cast<size_t>(got));
  }
}

// Holds an exclusive flock on the writers' lock file while it lives.
class WriterLock {
 public:
  explicit WriterLock(const std::string& lockPath) : file_(OpenLockFile(lockPath)) {
    if (file_.IsValid()) {
      LockExclusively(file_.Get(), LockWait::Wait);
    }
  }

 private:
  UniqueFd file_;
};

}  // namespace

std::u16string SettingsFilePath() {
  const char* configured = std::getenv("XDG_CONFIG_HOME");
  // Relative values are invalid for this variable and are ignored.
  std::string folder = (configured != nullptr && configured[0] == '/') ? std::string(configured)
                                                                       : HomeFolder() + "/.config";
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  return Utf16FromUtf8(folder + "/kivo/settings.reg");
}

SettingsStore::SettingsStore(std::u16string path) : path_(std::move(path)) {}

RegistryDocument SettingsStore::Read() const {
  bool whole = true;
  return ParseRegistryText(ReadBounded(HostPath(path_), whole)).Document;
}

bool SettingsStore::Update(const std::function<bool(RegistryDocument&)>& change) {
  const std::string hostPath = HostPath(path_);
  if (hostPath.empty() || hostPath.find('\0') != std::string::npos) {
    return false;
  }
  CreateParentFolders(hostPath);
  // A lock file that cannot be made (a read-only folder) must not stop the
  // write: the replacement below then fails or succeeds on its own.
  WriterLock lock(hostPath + ".lock");
  bool whole = true;
  RegistryParseResult current = ParseRegistryText(ReadBounded(hostPath, whole));
  if (!change(current.Document)) {
    return true;
  }
  if ((!whole || !current.Clean) && PathExists(path_)) {
    // What could not be read is kept aside before it is replaced, so that
    // nothing the user had is lost silently.
    if (!KeepBackupCopy(path_, path_ + u".bak")) {
      return false;
    }
  }
  const std::string text = FormatRegistryText(current.Document);
  if (text.size() > kMaxFileBytes) {
    return false;
  }
  return ReplaceFileAtomically(path_, text);
}

}  // namespace kivo::platform
