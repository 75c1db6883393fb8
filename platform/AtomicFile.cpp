#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

#include "platform/HostFile.h"
#include "platform/UniqueFd.h"

namespace kivo::platform {
namespace {

constexpr int kNameAttempts = 64;
constexpr int64_t kCopyChunk = 64 * 1024;

std::string FolderOf(const std::string& hostPath) {
  const size_t slash = hostPath.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : hostPath.substr(0, slash);
}

// Creates a new, empty file beside `hostPath` under an unused name and returns
// it together with that name. New files get mode 0666 less the umask, like
// every other file the program creates.
UniqueFd CreateSiblingFile(const std::string& hostPath, std::string& siblingPath) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device entropy;
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof(kLetters)) - 2);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    siblingPath = hostPath + ".tmp-";
    for (int i = 0; i < 8; ++i) {
      siblingPath.push_back(kLetters[pick(entropy)]);
    }
    int fd = -1;
    do {
      fd = ::open(siblingPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      return UniqueFd(fd);
    }
    if (errno != EEXIST) {
      break;
    }
  }
  siblingPath.clear();
  return UniqueFd();
}

// Flushes the folder so that a rename in it survives a power loss. A folder
// that cannot be flushed does not undo the rename, so the result is ignored.
void SyncFolder(const std::string& folder) {
  UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.IsValid()) {
    ::fsync(dir.Get());
  }
}

bool IsUsableHostPath(const std::string& hostPath) {
  return !hostPath.empty() && hostPath.find('\0') == std::string::npos && hostPath.back() != '/';
}

bool CopyContents(int from, int to) {
  std::string chunk(kCopyChunk, '\0');
  for (;;) {
    const int64_t got = ReadSome(from, chunk.data(), kCopyChunk);
    if (got < 0) {
      return false;
    }
    if (got == 0) {
      return true;
    }
    if (!WriteAll(to, chunk.data(), got)) {
      return false;
    }
  }
}

// Fills `to` with a copy of the file at `hostPath`.
bool CopyFileInto(const std::string& hostPath, int to) {
  UniqueFd from(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
  return from.IsValid() && CopyContents(from.Get(), to);
}

}  // namespace

bool ReplaceFileAtomically(std::u16string_view path, std::string_view bytes) {
  const std::string hostPath = HostPath(path);
  if (!IsUsableHostPath(hostPath)) {
    return false;
  }
  std::string freshPath;
  UniqueFd fresh = CreateSiblingFile(hostPath, freshPath);
  if (!fresh.IsValid()) {
    return false;
  }
  struct stat old {};
  bool ok = WriteAll(fresh.Get(), bytes.data(), static_cast<int64_t>(bytes.size()));
  if (ok && ::stat(hostPath.c_str(), &old) == 0) {
    ok = ::fchmod(fresh.Get(), old.st_mode & 07777) == 0;
  }
  ok = ok && ::fsync(fresh.Get()) == 0;
  ok = fresh.Reset() && ok;
  ok = ok && ::rename(freshPath.c_str(), hostPath.c_str()) == 0;
  if (!ok) {
    ::unlink(freshPath.c_str());
    return false;
  }
  SyncFolder(FolderOf(hostPath));
  return true;
}

bool KeepBackupCopy(std::u16string_view path, std::u16string_view backupPath) {
  const std::string hostPath = HostPath(path);
  const std::string hostBackup = HostPath(backupPath);
  if (!IsUsableHostPath(hostPath) || !IsUsableHostPath(hostBackup)) {
    return false;
  }
  std::string freshPath;
  UniqueFd fresh = CreateSiblingFile(hostBackup, freshPath);
  if (!fresh.IsValid()) {
    return false;
  }
  // A hard link keeps the very bytes, even of a file we may not read; the
  // fresh name is only reserved for it.
  bool ok = ::unlink(freshPath.c_str()) == 0 && ::link(hostPath.c_str(), freshPath.c_str()) == 0;
  if (!ok) {
    UniqueFd copy(::open(freshPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    ok = copy.IsValid() && CopyFileInto(hostPath, copy.Get()) && ::fsync(copy.Get()) == 0;
    ok = copy.Reset() && ok;
  }
  ok = ok && ::rename(freshPath.c_str(), hostBackup.c_str()) == 0;
  if (!ok) {
    ::unlink(freshPath.c_str());
    return false;
  }
  SyncFolder(FolderOf(hostBackup));
  return true;
}

}  // namespace kivo::platform
