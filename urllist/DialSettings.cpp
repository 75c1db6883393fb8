#include "urllist/DialSettings.h"

#include "support/Limits.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

DialSettings ReadDialSettings() {
  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  DialSettings settings;
  settings.Connect = ReadDwordSetting(key, Setting::DialupConnect) != 0;
  settings.EntryName =
      std::u16string(ReadStringSetting(key, Setting::DialupEntry, kMaxDialupEntryChars + 1).View());
  return settings;
}

}  // namespace kivo
