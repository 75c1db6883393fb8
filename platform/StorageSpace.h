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

// Returns why files cannot be stored in `folder` (a missing folder, a file in
// its place, no write permission, a name too long), or the empty text when
// the folder is usable. The folder is never created.
std::u16string FolderProblem(std::u16string_view folder);

}  // namespace kivo::platform
