#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <string>

#include "platform/HostFile.h"
#include "platform/ProgramFolder.h"

namespace kivo::platform {

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire() {
  const std::string path = HostPath(ProgramFile(u"Kivo.lock"));
  UniqueFd file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!file.IsValid()) {
    return nullptr;
  }
  int result = -1;
  do {
    result = ::flock(file.Get(), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    return nullptr;
  }
  return std::unique_ptr<InstanceLock>(new InstanceLock(std::move(file)));
}

}  // namespace kivo::platform
