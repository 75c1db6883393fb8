#pragma once

#include <string>
#include <string_view>

namespace kivo::platform {

// Returns the program folder as an absolute path with a trailing "/":
// $KIVO_HOME when it is set and not empty (a relative one taken from the
// working directory), otherwise ~/Kivo/. The folder is created (mode 0700 for the
// default one) when it does not exist yet. It stands for both the folder of
// the executable and the root folder: the list file, the placeholder image
// and the temporary download file live there.
std::u16string ProgramFolder();

// Returns the full path of `name` inside the program folder.
std::u16string ProgramFile(std::u16string_view name);

}  // namespace kivo::platform
