#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "support/Limits.h"
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
  Connections,  // how many requests a patrol keeps in flight at most
  ChangeTest,   // what, besides the Last-Modified time, tells a patrol that a page is unchanged
  Notify,       // 1: a patrol that updated entries tells the desktop
};

// Time-outs are kept in 10..600 seconds, whatever the settings file holds.
inline constexpr uint32_t kMinTimeoutSeconds = 10;
inline constexpr uint32_t kMaxTimeoutSeconds = 600;
// A patrol keeps 1..16 requests in flight; 1 fetches strictly one at a time.
inline constexpr uint32_t kMinConnections = 1;
inline constexpr uint32_t kMaxConnections = 16;
inline constexpr uint32_t kDefaultConnections = 4;

// What the ChangeTest setting's numbers mean. Every value keeps the Last-Modified test; the
// others also send the validators of the stored copy and compare what arrives with it.
enum class ChangeTest : uint32_t {
  LastModified = 0,  // the Last-Modified time alone: a page without one is changed every time
  SameBytes = 1,     // validators, then a body identical to the stored copy's is unchanged
  SameText = 2,      // validators, then a page whose visible text is the same is unchanged
};
inline constexpr uint32_t kMaxChangeTest = static_cast<uint32_t>(ChangeTest::SameText);

// What a setting holds, which decides how a typed value is checked.
enum class SettingKind {
  Folder,   // a folder path of at most MaxChars characters
  Text,     // free text of at most MaxChars characters
  Switch,   // 0 or 1; any other number counts as 1
  Timeout,  // seconds, clamped to MinValue..MaxValue
  Count,    // a count, clamped to MinValue..MaxValue
  Number,   // any unsigned number (window layout)
};

// A setting's name in the store, its type, what a reader uses when the key or
// the value is missing or cannot be read, and the rules of the page that
// edits it. The command line and the options pages read these rules here.
struct SettingInfo {
  Setting Id;
  std::u16string_view Name;
  uint32_t Type;  // kRegDword or kRegSz
  uint32_t DefaultDword;
  std::u16string_view DefaultString;
  SettingKind Kind;
  int32_t MaxChars = 0;   // Folder and Text: the longest value, terminator not counted
  uint32_t MinValue = 0;  // Timeout and Count: the range a value is clamped to
  uint32_t MaxValue = 0;
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
