#pragma once

#include <cstdint>

#include "platform/HttpSession.h"
#include "support/WideString.h"

namespace kivo {

// What a patrol reads from the settings store when it starts.
struct PatrolSettings {
  // The folder for entries without their own folder; never empty, ends with "/".
  WideString SaveFolder;
  HttpSessionOptions Session;
};

// Opens the settings key for reading, reads the save folder, the proxy and
// the two time-outs (clamped, in milliseconds) and closes the key again. A
// missing key or value gives the defaults.
PatrolSettings ReadPatrolSettings();

}  // namespace kivo
