#pragma once

#include <string_view>

namespace kivo::platform {

// Replaces the file at `path` with `bytes` so that readers see either the old
// or the new contents, never a mix: the bytes go to a fresh file in the same
// folder, which is flushed to disk and then renamed over `path`. An existing
// file's permission bits are kept. On any failure the old file is untouched,
// the fresh file is removed and the result is false.
bool ReplaceFileAtomically(std::u16string_view path, std::string_view bytes);

// Keeps the current file at `path` as `backupPath`, replacing an older backup
// in one step, without changing `path`. It links the file when the file
// system allows it and copies it otherwise, so even a file that cannot be
// read is kept. True when the backup exists afterwards.
bool KeepBackupCopy(std::u16string_view path, std::u16string_view backupPath);

}  // namespace kivo::platform
