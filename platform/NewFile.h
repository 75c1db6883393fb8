#pragma once

#include <string_view>

#include "platform/UniqueFd.h"

namespace kivo::platform {

// How an exclusive create ended.
enum class CreateOutcome { Created, Exists, Failed };

struct NewFile {
  UniqueFd File;  // open for writing when Outcome is Created
  CreateOutcome Outcome = CreateOutcome::Failed;
};

// Creates `path` for writing only when nothing of that name exists yet: a file, a directory or
// a symbolic link (even a dangling one) gives Exists, and no link is ever followed. New files get
// mode 0644 less the umask.
NewFile CreateNewFile(std::u16string_view path);

// Gives the file at `existing` the further name `path`, only when nothing of that name exists
// yet; no link is ever followed. Failed means the file system could not link the two (another
// file system, or one without hard links) and the caller should copy instead.
CreateOutcome LinkNewName(std::u16string_view existing, std::u16string_view path);

// Removes the file at `path`; true when it is gone.
bool RemoveFile(std::u16string_view path);

}  // namespace kivo::platform
