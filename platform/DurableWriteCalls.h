#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kivo::platform {

// The system calls by which a durable write (platform/AtomicFile.h) puts a
// new version of a file in place, one member per step. The program always
// uses Host(); tests pass their own to make any one step fail and to see
// that the old file survives it.
struct DurableWriteCalls {
  // Writes all `size` bytes at `src` to `fd`; false on any error.
  std::function<bool(int fd, const void* src, int64_t size)> Write;
  // Flushes the file open at `fd` to disk; false on failure.
  std::function<bool(int fd)> Sync;
  // Renames the host path `from` over `to`; false on failure.
  std::function<bool(const std::string& from, const std::string& to)> Rename;
  // Flushes the folder that holds the host path `hostPath`.
  std::function<void(const std::string& hostPath)> SyncFolder;

  // The host system's own calls.
  static const DurableWriteCalls& Host();
};

}  // namespace kivo::platform
