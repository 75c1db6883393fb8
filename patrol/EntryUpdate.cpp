#include "patrol/EntryUpdate.h"

namespace kivo {

void ApplyEntryUpdate(UrlEntry& entry, const EntryUpdate& update) {
  entry.Status = update.Status;
  entry.LocalFile.Assign(update.LocalFile);
  entry.HasLastTime = update.HasLastTime;
  entry.LastTime = update.LastTime;
}

}  // namespace kivo
