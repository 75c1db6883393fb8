#pragma once

#include <cstdint>

#include "support/SystemTime.h"
#include "support/WideString.h"
#include "urllist/UrlEntry.h"

namespace kivo {

// The four fields a patrol changes on a user entry, carried as one value so
// that the thread that owns the entry can apply them all at once.
struct EntryUpdate {
  int32_t Status = 1;
  WideString LocalFile;
  int32_t HasLastTime = 0;
  SystemTime LastTime;
};

// Writes the fields of `update` into `entry`; nothing else of it changes.
void ApplyEntryUpdate(UrlEntry& entry, const EntryUpdate& update);

}  // namespace kivo
