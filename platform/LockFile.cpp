#include "platform/LockFile.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace kivo::platform {

UniqueFd OpenLockFile(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
}

bool LockExclusively(int fd, LockWait wait) {
  const int operation = wait == LockWait::Wait ? LOCK_EX : LOCK_EX | LOCK_NB;
  int result = -1;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

}  // namespace kivo::platform
