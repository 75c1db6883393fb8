#pragma once

#include <cstdint>

#include "platform/HttpSession.h"
#include "support/WideString.h"

namespace kivo {

// Time-outs are kept in 10..600 seconds, whatever the settings file holds.
inline constexpr uint32_t kMinTimeoutSeconds = 10;
inline constexpr uint32_t kMaxTimeoutSeconds = 600;

// What a patrol reads from the settings store when it starts.
struct PatrolSettings {
  // The folder for entries without their own folder; never empty, ends with "/".
  WideString SaveFolder;
  HttpSessionOptions Session;
  // The largest download that is stored, in bytes (MaxFileSize); 0 sets no limit.
  uint64_t MaxFileBytes = 0;
};

// Clamps a time-out in seconds to 10..600, as the options page stores it.
uint32_t ClampTimeoutSeconds(uint32_t seconds);

// Returns folder with a trailing "/", or the program folder when it is empty.
WideString NormaliseFolder(std::u16string_view folder);

// Opens the settings key for reading, reads the save folder (whole, however
// long), the proxy, the two time-outs (clamped, in milliseconds) and the size
// limit, and closes the key again. A missing key or value gives the defaults.
PatrolSettings ReadPatrolSettings();

}  // namespace kivo
