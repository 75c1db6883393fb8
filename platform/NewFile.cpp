#include "platform/NewFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/HostFile.h"

namespace kivo::platform {

NewFile CreateNewFile(std::u16string_view path) {
  NewFile result;
  const std::string hostPath = HostPath(path);
  if (hostPath.empty() || hostPath.find('\0') != std::string::npos) {
    return result;
  }
  int fd = -1;
  do {
    fd = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    result.File = UniqueFd(fd);
    result.Outcome = CreateOutcome::Created;
  } else if (errno == EEXIST) {
    result.Outcome = CreateOutcome::Exists;
  }
  return result;
}

CreateOutcome LinkNewName(std::u16string_view existing, std::u16string_view path) {
  const std::string from = HostPath(existing);
  const std::string to = HostPath(path);
  if (from.empty() || to.empty() || from.find('\0') != std::string::npos ||
      to.find('\0') != std::string::npos) {
    return CreateOutcome::Failed;
  }
  // linkat without AT_SYMLINK_FOLLOW never follows `existing` if it is a link, and no call
  // ever follows a link standing at the new name: that gives EEXIST.
  if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) == 0) {
    return CreateOutcome::Created;
  }
  return errno == EEXIST ? CreateOutcome::Exists : CreateOutcome::Failed;
}

bool RemoveFile(std::u16string_view path) {
  const std::string hostPath = HostPath(path);
  if (hostPath.empty() || hostPath.find('\0') != std::string::npos) {
    return false;
  }
  return ::unlink(hostPath.c_str()) == 0 || errno == ENOENT;
}

}  // namespace kivo::platform
