#include "patrol/PatrolSettings.h"

#include <string>

#include "urllist/EditRules.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

namespace {

// Buffer sizes in characters, terminator included, as the worker reads them.
// The save folder is read whole: the longest folder the options take,
// its final "/" and the terminator.
constexpr int32_t kSaveFolderChars = kMaxFolderChars + 2;
constexpr int32_t kProxyNameChars = 256;

}  // namespace

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
