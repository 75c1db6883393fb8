#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "patrol/BodyStore.h"
#include "patrol/DownloadBody.h"
#include "patrol/FetchReport.h"
#include "patrol/PatrolView.h"
#include "support/WideString.h"

namespace kivo {

// Stores one patrol's downloads under free names in their folders, and keeps
// the folder and space problems it meets, to be reported once at the end of
// the patrol so that an unattended patrol is not held up in its middle.
class PatrolStorage {
 public:
  // `limits` gives the free-space floor and its probe; `bodies` holds the downloads fetched
  // ahead, whose temporary files give their room up to a store that needs it.
  PatrolStorage(const FetchLimits& limits, BodyStore& bodies) : limits_(limits), bodies_(bodies) {}
  PatrolStorage(const PatrolStorage&) = delete;
  PatrolStorage& operator=(const PatrolStorage&) = delete;

  // True when files can be stored in folder; a folder that cannot be used is
  // noted, once, instead of failing in silence.
  bool FolderUsable(const WideString& folder);
  // Stores `body` under a free name in folder; localPath receives the chosen
  // path. Bytes written there, from memory or copied from a temporary file
  // that cannot be linked, must leave the floor free. A store that fails for
  // lack of space notes it, which stops the patrol; any other failure costs
  // only this file.
  bool Store(const DownloadBody& body, const WideString& folder, std::u16string_view url,
             WideString& localPath);
  // Stores the earlier copy at `earlier` (of `size` bytes) again under a free
  // name in folder, as Store stores a download: a second name of the same
  // file where the file system allows it, otherwise a copy held to the floor.
  bool StoreAgain(std::u16string_view earlier, uint64_t size, const WideString& folder,
                  std::u16string_view url, WideString& localPath);
  // Notes that the file system holding `folder` is (nearly) full.
  void NoteOutOfSpace(std::u16string_view folder) { spaceFolder_ = std::u16string(folder); }
  // True once a file system has been found (nearly) full.
  bool OutOfSpace() const { return spaceFolder_.has_value(); }
  // Returns the problems met: the unusable folders in the order they were
  // met, then the lack of space, if any.
  std::vector<PatrolError> Problems() const;

 private:
  std::optional<uint64_t> FreeBytes(std::u16string_view folder) const;
  // True when `count` more bytes leave the floor free in folder, once the downloads fetched
  // ahead have given up their temporary files as far as needed: one connection would not have
  // had them.
  bool HasRoom(std::u16string_view folder, uint64_t count);

  const FetchLimits limits_;
  BodyStore& bodies_;
  std::unordered_map<std::u16string, bool> folderUsable_;
  std::vector<PatrolError> folderErrors_;
  // The folder whose file system ran out of space, once the patrol stops for it.
  std::optional<std::u16string> spaceFolder_;
};

}  // namespace kivo
