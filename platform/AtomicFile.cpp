#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/HostFile.h"
#include "platform/ReplacementFile.h"
#include "platform/TemporaryNames.h"

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

bool IsUsableHostPath(const std::string& hostPath) {
  return !hostPath.empty() && hostPath.find('\0') == std::string::npos && hostPath.back() != '/';
}

// Fills `to` with a copy of the file at `hostPath`.
bool CopyFileInto(const std::string& hostPath, int to) {
  UniqueFd from(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
  return from.IsValid() && CopyFileContents(from.Get(), to);
}

}  // namespace

SiblingFile CreateSiblingFile(const std::string& hostTarget) {
  SiblingFile sibling;
  if (!IsUsableHostPath(hostTarget)) {
    return sibling;
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string candidate = TemporaryNameFor(hostTarget);
    int fd = -1;
    do {
      fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      // The lock tells a sweep that the file is in use even where its
      // writer cannot be looked up; a file system without locks only loses
      // that second safeguard.
      ::flock(fd, LOCK_EX | LOCK_NB);
      sibling.File = UniqueFd(fd);
      sibling.HostPath = std::move(candidate);
      return sibling;
    }
    if (errno != EEXIST) {
      break;
    }
  }
  return sibling;
}

bool CopyFileContents(int from, int to) {
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

void SyncFolderOf(const std::string& hostPath) {
  UniqueFd dir(::open(FolderOf(hostPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.IsValid()) {
    ::fsync(dir.Get());
  }
}

bool ReplaceFileAtomically(std::u16string_view path, std::string_view bytes,
                           const DurableWriteCalls& calls) {
  ReplacementFile fresh(path, calls);
  fresh.Write(bytes);
  return fresh.Commit();
}

bool KeepBackupCopy(std::u16string_view path, std::u16string_view backupPath) {
  const std::string hostPath = HostPath(path);
  const std::string hostBackup = HostPath(backupPath);
  if (!IsUsableHostPath(hostPath)) {
    return false;
  }
  SiblingFile fresh = CreateSiblingFile(hostBackup);
  if (!fresh.File.IsValid()) {
    return false;
  }
  // A hard link keeps the very bytes, even of a file we may not read; the
  // fresh name is only reserved for it.
  fresh.File.Reset();
  const std::string& freshPath = fresh.HostPath;
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
  SyncFolderOf(hostBackup);
  return true;
}

}  // namespace kivo::platform
