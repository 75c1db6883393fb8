#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "support/WideString.h"
#include "urllist/RegKey.h"

namespace kivo {

// Every value in the settings key.
enum class Setting {
  SaveFolder,
  UseProxy,
  ProxyName,
  ConnectTimeout,
  ReceiveTimeout,
  DialupConnect,
  DialupEntry,
  CommandBandMenuStyle,
  CommandBandMenuWidth,
  CommandBandToolStyle,
  CommandBandToolWidth,
  CommandBandToolMaximized,
  NameWidth,
  UrlWidth,
  LinkLevelWidth,
  LastTimeWidth,
  MaxFileSize,  // the largest download a patrol stores, in MiB; 0 sets no limit
};

// A setting's name in the store, its type and what a reader uses when the
// key or the value is missing or cannot be read.
struct SettingInfo {
  Setting Id;
  std::u16string_view Name;
  uint32_t Type;  // kRegDword or kRegSz
  uint32_t DefaultDword;
  std::u16string_view DefaultString;
};

// Returns the one table of all settings, in the order of the enum.
std::span<const SettingInfo> AllSettings();

// Returns the table row of `setting`.
const SettingInfo& InfoOf(Setting setting);

// Returns the name under which `setting` is stored.
std::u16string_view SettingName(Setting setting);

// Reads a number setting, or its table default when it cannot be read.
uint32_t ReadDwordSetting(RegKey& key, Setting setting);

// Reads a text setting through a buffer of capacityChars units (terminator
// included), or returns its table default when it cannot be read.
WideString ReadStringSetting(RegKey& key, Setting setting, int32_t capacityChars);

// Reads a text setting whole, however long, or returns its table default
// when it cannot be read. It ends at its first NUL, the stored terminator.
WideString ReadWholeStringSetting(RegKey& key, Setting setting);

// Stores a number setting as 4 little-endian bytes. True when it is on disk.
bool WriteDwordSetting(RegKey& key, Setting setting, uint32_t value);

// Stores a text setting with its terminator, (length + 1) * 2 bytes. True
// when it is on disk.
bool WriteStringSetting(RegKey& key, Setting setting, std::u16string_view value);

}  // namespace kivo
