#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kivo::platform {

// Returns the bytes an unprivileged writer may still use on the file system
// that holds `path`, or nothing when that cannot be found out.
std::optional<uint64_t> FreeBytes(std::u16string_view path);

// A stand-in for FreeBytes, so that tests can run low on space without
// filling a disk.
using FreeSpaceProbe = std::function<std::optional<uint64_t>(std::u16string_view path)>;

// True when the last failed system call (errno) failed for lack of space or
// of quota. Call it right after the failure, before anything else.
bool LastErrorIsOutOfSpace();

// Returns why files cannot be stored in `folder`, as an errno value (ENOENT
// for a missing folder, ENOTDIR for a file in its place, EACCES without write
// permission, ENAMETOOLONG, EINVAL for a name no path can hold), or 0 when the
// folder is usable. The folder is never created.
int32_t FolderProblem(std::u16string_view folder);

// Returns the system's words for the errno value `error`.
std::u16string SystemErrorText(int32_t error);

}  // namespace kivo::platform
