#include "patrol/PatrolSettings.h"

#include <algorithm>
#include <string>

#include "platform/ProgramFolder.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

namespace {

// Buffer sizes in characters, terminator included, as the worker reads them.
constexpr int32_t kSaveFolderChars = kMaxFolderChars + 1;
constexpr int32_t kProxyNameChars = kMaxProxyNameChars + 1;

}  // namespace

uint32_t ClampTimeoutSeconds(uint32_t seconds) {
  // Both time-outs share one range; the settings table holds it.
  const SettingInfo& rule = InfoOf(Setting::ConnectTimeout);
  return std::clamp(seconds, rule.MinValue, rule.MaxValue);
}

WideString NormaliseFolder(std::u16string_view folder) {
  if (folder.empty()) {
    return WideString(platform::ProgramFolder());
  }
  WideString result(folder);
  if (folder.back() != u'/') {
    result.AppendChar(u'/');
  }
  return result;
}

PatrolSettings ReadPatrolSettings() {
  PatrolSettings settings;
  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  // A save folder that is missing or empty means the program folder; the
  // worker would otherwise write bare names into its current directory.
  settings.SaveFolder =
      NormaliseFolder(ReadStringSetting(key, Setting::SaveFolder, kSaveFolderChars).View());
  settings.Session.UseProxy = ReadDwordSetting(key, Setting::UseProxy) != 0;
  if (settings.Session.UseProxy) {
    settings.Session.ProxyName =
        std::u16string(ReadStringSetting(key, Setting::ProxyName, kProxyNameChars).View());
  }
  // Clamped before the multiplication, so a hand-edited value can neither
  // overflow nor leave a patrol without a usable time-out.
  settings.Session.ConnectTimeoutMs =
      ClampTimeoutSeconds(ReadDwordSetting(key, Setting::ConnectTimeout)) * 1000;
  settings.Session.ReceiveTimeoutMs =
      ClampTimeoutSeconds(ReadDwordSetting(key, Setting::ReceiveTimeout)) * 1000;
  key.Close();
  return settings;
}

}  // namespace kivo
