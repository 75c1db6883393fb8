#pragma once

#include <string>
#include <string_view>

namespace kivo::platform {

// The names of the program's own files in the program folder: the list of
// watched pages, the copy of a list that could not be read whole, and the
// lock that keeps two instances from writing the list at once.
inline constexpr std::u16string_view kListFileName = u"Kivo.dat";
inline constexpr std::u16string_view kListBackupName = u"Kivo.dat.bak";
inline constexpr std::u16string_view kLockFileName = u"Kivo.lock";

// Returns the program folder as an absolute path with a trailing "/":
// $KIVO_HOME when it is set and not empty (a relative one taken from the
// working directory), otherwise ~/Kivo/. The folder is created (mode 0700 for the
// default one) when it does not exist yet. It stands for both the folder of
// the executable and the root folder: the list file, the placeholder image
// and the temporary download file live there.
std::u16string ProgramFolder();

// Returns the full path of `name` inside the program folder.
std::u16string ProgramFile(std::u16string_view name);

// Returns `path` with the working directory put before it when it is
// relative, so that a folder typed by the user names the same place whatever
// folder a later run starts in. An absolute path, and any path when there is
// no usable working directory, comes back as it is.
std::u16string AbsolutePath(std::u16string_view path);

}  // namespace kivo::platform
