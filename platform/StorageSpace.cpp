#include "platform/StorageSpace.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/HostFile.h"
#include "platform/Utf8.h"

namespace kivo::platform {
namespace {

// strerror_r comes in two forms; these take the text from whichever this C library has.
[[maybe_unused]] const char* ErrorText(int result, const char* buffer) {
  return result == 0 ? buffer : "unknown error";
}
[[maybe_unused]] const char* ErrorText(const char* result, const char* /*buffer*/) {
  return result;
}

}  // namespace

std::optional<uint64_t> FreeBytes(std::u16string_view path) {
  const std::string hostPath = HostPath(path);
  struct statvfs info {};
  if (hostPath.empty() || ::statvfs(hostPath.c_str(), &info) != 0) {
    return std::nullopt;
  }
  return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}

bool LastErrorIsOutOfSpace() {
  return errno == ENOSPC || errno == EDQUOT;
}

int32_t FolderProblem(std::u16string_view folder) {
  const std::string hostPath = HostPath(folder);
  if (hostPath.empty() || hostPath.find('\0') != std::string::npos) {
    return EINVAL;
  }
  struct stat info {};
  int error = 0;
  if (::stat(hostPath.c_str(), &info) != 0) {
    error = errno;
  } else if (!S_ISDIR(info.st_mode)) {
    error = ENOTDIR;
  } else if (::access(hostPath.c_str(), W_OK | X_OK) != 0) {
    error = errno;
  }
  return error;
}

std::u16string SystemErrorText(int32_t error) {
  char text[256] = {};
  return Utf16FromUtf8(ErrorText(::strerror_r(error, text, sizeof text), text));
}

}  // namespace kivo::platform
