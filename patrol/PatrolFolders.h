#pragma once

#include <string_view>

#include "patrol/PatrolList.h"
#include "support/WideString.h"
#include "urllist/UrlEntry.h"

namespace kivo {

// Returns the folder that the files of `entry` go to: its own folder when it
// uses one (an empty one is the program folder), otherwise `saveFolder`.
WideString EntryFolder(const UrlEntry& entry, std::u16string_view programFolder,
                       const WideString& saveFolder);

// Removes the temporary files that killed runs left, once their writers are
// gone, from every folder a patrol over `list` writes to: the program folder,
// the save folder and the user entries' own folders.
void RemoveStaleTemporaries(const PatrolList& list, std::u16string_view programFolder,
                            const WideString& saveFolder);

}  // namespace kivo
