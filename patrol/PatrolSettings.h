#pragma once

#include <cstdint>

#include "platform/HttpSession.h"
#include "support/WideString.h"
#include "urllist/Settings.h"

namespace kivo {

// What a patrol reads from the settings store when it starts.
struct PatrolSettings {
  // The folder for entries without their own folder; never empty, ends with "/".
  WideString SaveFolder;
  HttpSessionOptions Session;
};

// Clamps a time-out in seconds to 10..600, as the options page stores it.
uint32_t ClampTimeoutSeconds(uint32_t seconds);

// Returns folder with a trailing "/", or the program folder when it is empty.
WideString NormaliseFolder(std::u16string_view folder);

// Opens the settings key for reading, reads the save folder, the proxy and
// the two time-outs (clamped, in milliseconds) and closes the key again. A
// missing key or value gives the defaults.
PatrolSettings ReadPatrolSettings();

}  // namespace kivo
