#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/HostFile.h"
#include "platform/ProgramFolder.h"

namespace kivo::platform {
namespace {

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

LockAttempt Failed(LockFailure failure, std::string path, int error) {
  LockAttempt attempt;
  attempt.Failure = failure;
  attempt.Path = std::move(path);
  attempt.Reason = std::strerror(error);
  return attempt;
}

}  // namespace

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire() {
  return Attempt().Lock;
}

LockAttempt InstanceLock::Attempt() {
  const std::string folder = HostPath(ProgramFolder());
  // ProgramFolder creates the folder quietly; creating it once more names
  // the reason it is missing ("File exists" when a file stands in its place).
  if (!IsFolder(folder) && ::mkdir(folder.c_str(), 0700) != 0) {
    return Failed(LockFailure::FolderUnusable, folder, errno);
  }
  const std::string path = HostPath(ProgramFile(u"Kivo.lock"));
  UniqueFd file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!file.IsValid()) {
    return Failed(LockFailure::LockFileUnusable, path, errno);
  }
  int result = -1;
  do {
    result = ::flock(file.Get(), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    if (errno == EWOULDBLOCK) {
      LockAttempt attempt;
      attempt.Failure = LockFailure::HeldElsewhere;
      return attempt;
    }
    return Failed(LockFailure::LockFileUnusable, path, errno);
  }
  LockAttempt attempt;
  attempt.Lock = std::unique_ptr<InstanceLock>(new InstanceLock(std::move(file)));
  return attempt;
}

}  // namespace kivo::platform
