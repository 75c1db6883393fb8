#pragma once

// Single settings of the current user, written before a test and read after
// it, each through a key opened for that one value.

#include <cstdint>
#include <string>
#include <string_view>

#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo::test {

// Stores a number setting; false when the settings file cannot be written.
inline bool Store(Setting setting, uint32_t value) {
  RegKey key;
  return key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath) &&
         WriteDwordSetting(key, setting, value);
}

// Stores a text setting; false when the settings file cannot be written.
inline bool Store(Setting setting, std::u16string_view value) {
  RegKey key;
  return key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath) &&
         WriteStringSetting(key, setting, value);
}

// The stored number, or the setting's default.
inline uint32_t StoredNumber(Setting setting) {
  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  return ReadDwordSetting(key, setting);
}

// The stored text, up to 2047 units, or the setting's default.
inline std::u16string StoredText(Setting setting) {
  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  return std::u16string(ReadStringSetting(key, setting, 2048).View());
}

}  // namespace kivo::test
