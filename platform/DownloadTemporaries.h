#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kivo::platform {

// The numbered temporary files that a patrol keeps large downloads in, in
// the program folder: "Kivo", four or more digits, ".tmp" (Kivo0000.tmp,
// Kivo0001.tmp, ...). They are the program's own names there, never a
// stored copy's.

// Returns the name of temporary file `number` (0 or more).
std::u16string DownloadTemporaryName(int32_t number);

// True when the bare file name `name` has the form above.
bool IsDownloadTemporary(std::u16string_view name);

// Removes every regular file of the calling user named as above from
// `programFolder` (not from its subfolders), and nothing else. Only the
// holder of the instance lock may call it: the files of a patrol in progress
// would go too.
void RemoveDownloadTemporaries(std::u16string_view programFolder);

}  // namespace kivo::platform
