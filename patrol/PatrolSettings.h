#pragma once

#include <cstdint>

#include "platform/HttpSessionOptions.h"
#include "support/WideString.h"
#include "urllist/Settings.h"

namespace kivo {

// What a patrol reads from the settings store when it starts.
struct PatrolSettings {
  // The folder for entries without their own folder; never empty, ends with "/".
  WideString SaveFolder;
  HttpSessionOptions Session;
  // The largest download that is stored, in bytes (MaxFileSize); 0 sets no limit.
  uint64_t MaxFileBytes = 0;
  // How many requests may be in flight at once (Connections), 1..16.
  int32_t Connections = kDefaultConnections;
  // What tells the patrol that a page is unchanged (ChangeTest); a stored
  // number beyond the known ones reads as the default, SameText.
  ChangeTest Change = ChangeTest::SameText;
};

// Opens the settings key for reading, reads the save folder (whole, however
// long), the proxy, the two time-outs (clamped, in milliseconds), the size
// limit, the connection count (clamped) and the change test, and closes the key again. A
// missing key or value gives the defaults.
PatrolSettings ReadPatrolSettings();

}  // namespace kivo
