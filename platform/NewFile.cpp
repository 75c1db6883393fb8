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

bool RemoveFile(std::u16string_view path) {
  const std::string hostPath = HostPath(path);
  if (hostPath.empty() || hostPath.find('\0') != std::string::npos) {
    return false;
  }
  return ::unlink(hostPath.c_str()) == 0 || errno == ENOENT;
}

}  // namespace kivo::platform
