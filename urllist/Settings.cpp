#include "urllist/Settings.h"

#include <memory>
#include <optional>
#include <string>

namespace kivo {
namespace {

using enum SettingKind;

// The only place where the names, types, read defaults and editing rules are
// written.
constexpr SettingInfo kSettings[] = {
    {Setting::SaveFolder, u"SaveFolder", kRegSz, 0, u"", Folder, kMaxFolderChars},
    {Setting::UseProxy, u"UseProxy", kRegDword, 0, u"", Switch},
    {Setting::ProxyName, u"ProxyName", kRegSz, 0, u"", Text, kMaxProxyNameChars},
    {Setting::ConnectTimeout, u"ConnectTimeout", kRegDword, 20, u"", Timeout, 0, kMinTimeoutSeconds,
     kMaxTimeoutSeconds},
    {Setting::ReceiveTimeout, u"ReceiveTimeout", kRegDword, 20, u"", Timeout, 0, kMinTimeoutSeconds,
     kMaxTimeoutSeconds},
    {Setting::DialupConnect, u"DialupConnect", kRegDword, 0, u"", Switch},
    {Setting::DialupEntry, u"DialupEntry", kRegSz, 0, u"", Text, kMaxDialupEntryChars},
    {Setting::CommandBandMenuStyle, u"CommandBandMenuStyle", kRegDword, 260, u"", Number},
    {Setting::CommandBandMenuWidth, u"CommandBandMenuWidth", kRegDword, 174, u"", Number},
    {Setting::CommandBandToolStyle, u"CommandBandToolStyle", kRegDword, 4, u"", Number},
    {Setting::CommandBandToolWidth, u"CommandBandToolWidth", kRegDword, 442, u"", Number},
    {Setting::CommandBandToolMaximized, u"CommandBandToolMaximized", kRegDword, 0, u"", Number},
    {Setting::NameWidth, u"NameWidth", kRegDword, 200, u"", Number},
    {Setting::UrlWidth, u"UrlWidth", kRegDword, 266, u"", Number},
    {Setting::LinkLevelWidth, u"LinkLevelWidth", kRegDword, 39, u"", Number},
    {Setting::LastTimeWidth, u"LastTimeWidth", kRegDword, 116, u"", Number},
    {Setting::MaxFileSize, u"MaxFileSize", kRegDword, 1024, u"", Number},
    {Setting::Connections, u"Connections", kRegDword, kDefaultConnections, u"", Count, 0,
     kMinConnections, kMaxConnections},
    {Setting::ChangeTest, u"ChangeTest", kRegDword, static_cast<uint32_t>(ChangeTest::SameText),
     u"", Count, 0, 0, kMaxChangeTest},
    {Setting::Notify, u"Notify", kRegDword, 1, u"", Switch},
};

constexpr bool TableFollowsEnum() {
  for (size_t i = 0; i < std::size(kSettings); ++i) {
    if (static_cast<size_t>(kSettings[i].Id) != i) {
      return false;
    }
  }
  return true;
}
static_assert(TableFollowsEnum(), "the settings table must list every Setting in enum order");
static_assert(std::size(kSettings) == static_cast<size_t>(Setting::Notify) + 1);

}  // namespace

std::span<const SettingInfo> AllSettings() {
  return kSettings;
}

const SettingInfo& InfoOf(Setting setting) {
  return kSettings[static_cast<size_t>(setting)];
}

std::u16string_view SettingName(Setting setting) {
  return InfoOf(setting).Name;
}

uint32_t ReadDwordSetting(RegKey& key, Setting setting) {
  const SettingInfo& info = InfoOf(setting);
  return key.ReadDword(info.Name, info.DefaultDword);
}

WideString ReadStringSetting(RegKey& key, Setting setting, int32_t capacityChars) {
  const SettingInfo& info = InfoOf(setting);
  if (capacityChars <= 0) {
    return WideString(info.DefaultString);
  }
  auto buffer = std::make_unique<char16_t[]>(static_cast<size_t>(capacityChars));
  const uint32_t capacityBytes = static_cast<uint32_t>(capacityChars) * sizeof(char16_t);
  if (key.ReadString(info.Name, buffer.get(), capacityBytes) == nullptr) {
    return WideString(info.DefaultString);
  }
  return WideString(buffer.get());
}

WideString ReadWholeStringSetting(RegKey& key, Setting setting) {
  const SettingInfo& info = InfoOf(setting);
  std::optional<std::u16string> value = key.ReadWholeString(info.Name);
  if (!value) {
    return WideString(info.DefaultString);
  }
  return WideString(std::u16string_view(*value).substr(0, value->find(u'\0')));
}

bool WriteDwordSetting(RegKey& key, Setting setting, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return key.WriteValue(SettingName(setting), kRegDword, bytes, sizeof bytes);
}

bool WriteStringSetting(RegKey& key, Setting setting, std::u16string_view value) {
  std::string bytes;
  bytes.reserve((value.size() + 1) * 2);
  for (char16_t unit : value) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  bytes.append(2, '\0');
  if (bytes.size() > UINT32_MAX) {
    return false;
  }
  return key.WriteValue(SettingName(setting), kRegSz, bytes.data(),
                        static_cast<uint32_t>(bytes.size()));
}

}  // namespace kivo
