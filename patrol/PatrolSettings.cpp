#include "patrol/PatrolSettings.h"

#include <algorithm>
#include <string>

#include "urllist/EditRules.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

namespace {

// The proxy name's buffer in characters, terminator included.
constexpr int32_t kProxyNameChars = kMaxProxyNameChars + 1;
constexpr uint64_t kBytesPerMiB = uint64_t{1} << 20;

}  // namespace

PatrolSettings ReadPatrolSettings() {
  PatrolSettings settings;
  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  // A save folder that is missing or empty means the program folder; the
  // worker would otherwise write bare names into its current directory. A
  // long one is used whole: cut down, it would name its parent folder.
  settings.SaveFolder = NormaliseFolder(ReadWholeStringSetting(key, Setting::SaveFolder).View());
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
  settings.MaxFileBytes = ReadDwordSetting(key, Setting::MaxFileSize) * kBytesPerMiB;
  settings.Connections =
      static_cast<int32_t>(ClampConnections(ReadDwordSetting(key, Setting::Connections)));
  settings.Change =
      static_cast<ChangeTest>(std::min(ReadDwordSetting(key, Setting::ChangeTest), kMaxChangeTest));
  key.Close();
  return settings;
}

}  // namespace kivo
