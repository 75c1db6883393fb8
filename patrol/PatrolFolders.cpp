#include "patrol/PatrolFolders.h"

#include <set>
#include <string>

#include "platform/TemporaryNames.h"
#include "urllist/EditRules.h"

namespace kivo {

WideString EntryFolder(const UrlEntry& entry, std::u16string_view programFolder,
                       const WideString& saveFolder) {
  if (entry.UseOwnFolder == 0) {
    return saveFolder;
  }
  // An empty own folder means the program folder, already resolved.
  return entry.OwnFolder.IsEmpty() ? WideString(programFolder)
                                   : NormaliseFolder(entry.OwnFolder.View());
}

void RemoveStaleTemporaries(const PatrolList& list, std::u16string_view programFolder,
                            const WideString& saveFolder) {
  std::set<std::u16string> folders{std::u16string(programFolder),
                                   std::u16string(saveFolder.View())};
  for (int32_t i = 0; i < list.Count(); ++i) {
    if (list[i] != nullptr) {
      folders.emplace(EntryFolder(*list[i], programFolder, saveFolder).View());
    }
  }
  for (const std::u16string& folder : folders) {
    platform::RemoveStaleTemporaries(folder);
  }
}

}  // namespace kivo
