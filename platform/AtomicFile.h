#pragma once

#include <string>
#include <string_view>

#include "platform/DurableWriteCalls.h"
#include "platform/UniqueFd.h"

// Durable writes. Every file the program replaces (the list file, the
// settings file, the rewritten pages) and every backup it keeps goes through
// this component, so there is one temporary-name scheme, one copy routine and
// one rule for syncing.
//
// The rule: new contents are written to a fresh file beside the target, which
// is flushed to disk before it is renamed over the target; the folder is
// flushed after the rename. What a caller can rely on:
//  - After the process dies at any point (a crash, a kill), the target holds
//    either its old contents or the complete new ones, never a mix or a
//    shortened file. At worst a temporary file "<name>.tmp-..." is left
//    beside it; nothing ever reads such a file, and RemoveStaleTemporaries
//    (platform/TemporaryNames.h) removes it once its writer is gone.
//  - After a power cut, the same holds; and once a replacement has reported
//    success, the new contents are the ones that survive.
namespace kivo::platform {

// A fresh, empty file beside a target, open for writing.
struct SiblingFile {
  UniqueFd File;         // invalid when no file could be created
  std::string HostPath;  // its host path; empty when none was created
};

// Creates a new file beside `hostTarget`, named and locked as
// platform/TemporaryNames.h describes, never reusing an existing name. New
// files get mode 0666 less the umask. A target that is empty, ends with "/"
// or holds a NUL gives none.
SiblingFile CreateSiblingFile(const std::string& hostTarget);

// Copies the rest of the file open at `from` to the file open at `to`. False
// on any read or write error, so that a copy cut short is never taken as done.
bool CopyFileContents(int from, int to);

// Flushes the folder that holds `hostPath`, so that a rename in it survives a
// power cut. A folder that cannot be flushed does not undo the rename, so
// there is no result.
void SyncFolderOf(const std::string& hostPath);

// Replaces the file at `path` with `bytes` under the rule above, through
// `calls` (the host's own unless a test fails some step on purpose). An
// existing file's permission bits are kept. On any failure the old file is
// untouched, the fresh file is removed and the result is false.
bool ReplaceFileAtomically(std::u16string_view path, std::string_view bytes,
                           const DurableWriteCalls& calls = DurableWriteCalls::Host());

// Keeps the current file at `path` as `backupPath`, replacing an older backup
// in one step, without changing `path`. It links the file when the file
// system allows it and copies it otherwise, so even a file that cannot be
// read is kept. True when the backup exists afterwards.
bool KeepBackupCopy(std::u16string_view path, std::u16string_view backupPath);

}  // namespace kivo::platform
