#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "support/OwnedPtrArray.h"
#include "support/SystemTime.h"
#include "support/WideString.h"

namespace kivo {

// One watched page: its title, address, how far to follow links, the page's
// last known modification time and the per-entry download options. Fields
// keep their order and meaning from the list file.
struct UrlEntry {
  int32_t ListIndex = -1;  // row index, assigned before a patrol; never stored
  int32_t Status = 0;      // 0 never fetched, 1 fetched and not yet viewed, 2 viewed
  WideString Name;
  WideString Url;
  int32_t LinkLevel = 0;
  WideString LocalFile;
  int32_t HasLastTime = 0;
  SystemTime LastTime;
  int32_t GetImages = 1;
  int32_t OnlyListedServers = 1;
  OwnedPtrArray<WideString> Servers;  // URL prefixes admitted besides the page's own server
  int32_t UseOwnFolder = 0;
  WideString OwnFolder;  // full path ending with '/'; the program folder by default

  // Constructs an entry with the defaults of a new entry and an empty own
  // folder; it touches no file, so temporary entries cost nothing.
  UrlEntry() = default;
  // Constructs a new entry as the entry editor offers it: the defaults, with
  // `programFolder` (the resolved program folder) as its own folder.
  explicit UrlEntry(std::u16string_view programFolder);
  UrlEntry(const UrlEntry&) = delete;
  UrlEntry& operator=(const UrlEntry&) = delete;

  // Returns a deep copy, server prefixes included, for temporary entries.
  std::unique_ptr<UrlEntry> Clone() const;
};

}  // namespace kivo
