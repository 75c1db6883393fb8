#include "platform/InstanceLock.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "platform/HostFile.h"
#include "platform/LockFile.h"
#include "platform/ProgramFolder.h"

namespace kivo::platform {
namespace {

constexpr std::string_view kKivoName = "kivo\n";
constexpr std::string_view kKivoCliName = "kivo-cli\n";
// A name is a few bytes; reading a little more shows a longer text as
// someone else's.
constexpr size_t kNameReadBytes = 16;

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

LockAttempt Failed(LockFailure failure, std::string path, int error) {
  LockAttempt attempt;
  attempt.Failure = failure;
  attempt.Path = std::move(path);
  attempt.Error = error;
  return attempt;
}

std::string_view NameOf(LockHolder holder) {
  switch (holder) {
    case LockHolder::Kivo:
      return kKivoName;
    case LockHolder::KivoCli:
      return kKivoCliName;
    default:
      return {};
  }
}

// Replaces the lock file's text with `holder`'s name. A failure only costs
// a refused start the holder's name.
void WriteName(int fd, LockHolder holder) {
  const std::string_view name = NameOf(holder);
  if (::pwrite(fd, name.data(), name.size(), 0) == static_cast<ssize_t>(name.size())) {
    [[maybe_unused]] const int truncated = ::ftruncate(fd, static_cast<off_t>(name.size()));
  }
}

LockHolder ReadName(int fd) {
  char text[kNameReadBytes];
  const ssize_t got = ::pread(fd, text, sizeof text, 0);
  const std::string_view name(text, got > 0 ? static_cast<size_t>(got) : 0);
  if (name == kKivoName) {
    return LockHolder::Kivo;
  }
  if (name == kKivoCliName) {
    return LockHolder::KivoCli;
  }
  return LockHolder::Unknown;
}

}  // namespace

InstanceLock::~InstanceLock() {
  [[maybe_unused]] const int truncated = ::ftruncate(file_.Get(), 0);
}

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(LockHolder self) {
  return Attempt(self).Lock;
}

LockAttempt InstanceLock::Attempt(LockHolder self) {
  const std::string folder = HostPath(ProgramFolder());
  // ProgramFolder creates the folder quietly; creating it once more names
  // the reason it is missing ("File exists" when a file stands in its place).
  if (!IsFolder(folder) && ::mkdir(folder.c_str(), 0700) != 0) {
    return Failed(LockFailure::FolderUnusable, folder, errno);
  }
  const std::string path = HostPath(ProgramFile(kLockFileName));
  UniqueFd file = OpenLockFile(path);
  if (!file.IsValid()) {
    return Failed(LockFailure::LockFileUnusable, path, errno);
  }
  if (!LockExclusively(file.Get(), LockWait::DontWait)) {
    if (errno != EWOULDBLOCK) {
      return Failed(LockFailure::LockFileUnusable, path, errno);
    }
    LockAttempt attempt;
    attempt.Failure = LockFailure::HeldElsewhere;
    attempt.Holder = ReadName(file.Get());
    return attempt;
  }
  WriteName(file.Get(), self);
  LockAttempt attempt;
  attempt.Lock = std::unique_ptr<InstanceLock>(new InstanceLock(std::move(file)));
  return attempt;
}

}  // namespace kivo::platform
