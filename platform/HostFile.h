#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace kivo::platform {

// Converts a UTF-16 path to the host's byte path (UTF-8). Escaped bytes
// (U+DC80..U+DCFF) become their raw bytes again.
std::string HostPath(std::u16string_view path);

// Opens `path` with a Windows-style creation mode word: bits 31 and 30 give
// read and write access, the low four bits the creation rule (1 create new,
// 2 create or truncate, 3 open existing, 4 open always, 5 truncate existing).
// Directories are refused. The descriptor is close-on-exec; new files get
// mode 0666 less the umask.
UniqueFd OpenWithModeWord(std::u16string_view path, uint32_t modeWord);

// Returns true when something exists at `path`, without following a final
// symbolic link: a directory or a dangling link counts as existing.
bool PathExists(std::u16string_view path);

// Reads up to `size` bytes, retrying on EINTR. Returns the count, 0 at end of
// file, or -1 on error.
int64_t ReadSome(int fd, void* dest, int64_t size);

// Writes all `size` bytes, retrying short writes and EINTR. False on error.
bool WriteAll(int fd, const void* src, int64_t size);

// Returns the size of the open file, or nothing when it cannot be read.
std::optional<uint64_t> FileSize(int fd);

// The size and modification time of a file, which tell whether it has been
// changed since they were taken.
struct FileStamp {
  uint64_t Size = 0;
  int64_t ModifiedNs = 0;  // nanoseconds since 1970 UTC

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// Returns the stamp of the regular file at `path` (a final symbolic link is not
// followed), or nothing when there is none.
std::optional<FileStamp> StampOf(std::u16string_view path);

}  // namespace kivo::platform
