#pragma once

#include <string>

#include "platform/UniqueFd.h"

namespace kivo::platform {

// Whether taking a lock may wait for its holder to let go.
enum class LockWait { Wait, DontWait };

// Opens the lock file at `path` for reading and writing, creating it (mode
// 0600) when it is missing. A symbolic link at the name is never followed:
// the open fails (errno ELOOP) instead of creating or touching a file at the
// link's target, outside the program's folders. Returns an invalid
// descriptor on failure, with errno set.
UniqueFd OpenLockFile(const std::string& path);

// Takes an exclusive flock on `fd`, again after an interrupting signal.
// False when it cannot be taken, with errno set (EWOULDBLOCK: another holder
// has it and `wait` is DontWait).
bool LockExclusively(int fd, LockWait wait);

}  // namespace kivo::platform
