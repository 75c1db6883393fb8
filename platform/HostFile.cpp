#include "platform/HostFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Utf8.h"

namespace kivo::platform {
namespace {

constexpr uint32_t kReadAccess = 0x80000000u;
constexpr uint32_t kWriteAccess = 0x40000000u;

std::optional<int> CreationFlags(uint32_t rule) {
  switch (rule) {
    case 1:
      return O_CREAT | O_EXCL;
    case 2:
      return O_CREAT | O_TRUNC;
    case 3:
      return 0;
    case 4:
      return O_CREAT;
    case 5:
      return O_TRUNC;
    default:
      return std::nullopt;
  }
}

std::optional<int> AccessFlags(uint32_t access) {
  const bool read = (access & kReadAccess) != 0;
  const bool write = (access & kWriteAccess) != 0;
  if (read && write) {
    return O_RDWR;
  }
  if (write) {
    return O_WRONLY;
  }
  if (read) {
    return O_RDONLY;
  }
  return std::nullopt;
}

}  // namespace

std::string HostPath(std::u16string_view path) {
  return Utf8FromUtf16(path);
}

UniqueFd OpenWithModeWord(std::u16string_view path, uint32_t modeWord) {
  const auto access = AccessFlags(modeWord & 0xC0000000u);
  const auto creation = CreationFlags(modeWord & 0xFu);
  if (!access || !creation || path.empty()) {
    return UniqueFd();
  }
  const std::string hostPath = HostPath(path);
  if (hostPath.find('\0') != std::string::npos) {
    return UniqueFd();
  }
  int fd = -1;
  do {
    fd = ::open(hostPath.c_str(), *access | *creation | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  UniqueFd file(fd);
  struct stat info {};
  if (!file.IsValid() || ::fstat(file.Get(), &info) != 0 || S_ISDIR(info.st_mode)) {
    return UniqueFd();
  }
  return file;
}

bool PathExists(std::u16string_view path) {
  const std::string hostPath = HostPath(path);
  if (hostPath.empty() || hostPath.find('\0') != std::string::npos) {
    return false;
  }
  struct stat info {};
  return ::lstat(hostPath.c_str(), &info) == 0;
}

int64_t ReadSome(int fd, void* dest, int64_t size) {
  ssize_t n = -1;
  do {
    n = ::read(fd, dest, static_cast<size_t>(size));
  } while (n < 0 && errno == EINTR);
  return n;
}

bool WriteAll(int fd, const void* src, int64_t size) {
  const auto* p = static_cast<const unsigned char*>(src);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, static_cast<size_t>(size));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    p += n;
    size -= n;
  }
  return true;
}

std::optional<uint64_t> FileSize(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    return std::nullopt;
  }
  return static_cast<uint64_t>(info.st_size);
}

std::optional<FileStamp> StampOf(std::u16string_view path) {
  const std::string hostPath = HostPath(path);
  struct stat info {};
  if (hostPath.empty() || hostPath.find('\0') != std::string::npos ||
      ::lstat(hostPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  constexpr int64_t kNsPerSecond = 1000000000;
  return FileStamp{static_cast<uint64_t>(info.st_size),
                   static_cast<int64_t>(info.st_mtim.tv_sec) * kNsPerSecond +
                       static_cast<int64_t>(info.st_mtim.tv_nsec)};
}

}  // namespace kivo::platform
