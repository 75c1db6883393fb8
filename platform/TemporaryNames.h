#pragma once

#include <string>
#include <string_view>

namespace kivo::platform {

// The names of the temporary files that durable writes (platform/AtomicFile.h)
// put beside their targets, and the removal of those a killed run left
// behind.
//
// A temporary file is named "<target name>.tmp-<pid>-<start>-<boot>-<random>":
// the writer's process id, its start time in clock ticks since boot, the
// first eight hexadecimal digits of the kernel's boot id, and six lower-case
// letters or digits. While its file is open the writer also holds a lock
// (flock) on it. A writer that cannot learn its start time or the boot id
// writes 0 and "00000000", which no sweep of the same boot takes for gone.
//
// A writer counts as gone when:
//  - the name carries this boot's id, and no process with that id and start
//    time runs; or
//  - the name carries another boot's id, and the file last changed before
//    this boot began. A file of another id that changed since may be written
//    by another machine that shares the folder, and is kept.
// Even then the file is kept while anybody holds a lock on it, and only
// regular files of the user who runs the sweep are ever removed.

// Returns a fresh candidate name for a temporary file beside `hostTarget`
// that names the calling process as its writer; each call draws new letters.
std::string TemporaryNameFor(const std::string& hostTarget);

// True when the bare file name `hostName` has exactly the form above.
bool IsTemporaryName(std::string_view hostName);

// Removes every temporary file named as above whose writer is gone from
// `folder` (not from its subfolders), and nothing else.
void RemoveStaleTemporaries(std::u16string_view folder);

}  // namespace kivo::platform
