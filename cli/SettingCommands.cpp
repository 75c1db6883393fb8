#include "cli/SettingCommands.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "platform/FileExists.h"
#include "platform/ProgramFolder.h"
#include "platform/Utf8.h"
#include "urllist/EditRules.h"
#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

namespace {

const SettingInfo* FindSetting(std::u16string_view name) {
  for (const SettingInfo& info : AllSettings()) {
    if (info.Name == name) {
      return &info;
    }
  }
  return nullptr;
}

bool IsText(SettingKind kind) {
  return kind == SettingKind::Folder || kind == SettingKind::Text;
}

std::string Utf8(std::u16string_view text) {
  return platform::Utf8FromUtf16(text);
}

std::string ValueText(RegKey& key, const SettingInfo& rule) {
  if (!IsText(rule.Kind)) {
    return std::to_string(ReadDwordSetting(key, rule.Id));
  }
  // A folder is shown whole, as the patrol uses it, even when a hand-edited
  // file holds a longer one than "set" takes.
  WideString text = rule.Kind == SettingKind::Folder
                        ? ReadWholeStringSetting(key, rule.Id)
                        : ReadStringSetting(key, rule.Id, rule.MaxChars + 1);
  // The save-folder page shows a missing or empty folder as the program
  // folder, which is where a patrol then stores its files.
  if (rule.Kind == SettingKind::Folder && text.IsEmpty()) {
    return Utf8(platform::ProgramFolder());
  }
  return Utf8(text.View());
}

int Refuse(std::FILE* err, const std::string& message) {
  std::fprintf(err, "kivo-cli: %s\n", message.c_str());
  return 2;
}

}  // namespace

std::string FolderTooLongMessage() {
  return "the folder is longer than " + std::to_string(kMaxFolderChars) + " characters";
}

void WarnIfFolderMissing(const std::u16string& folder, std::FILE* err) {
  if (!FileExists(folder)) {
    std::fprintf(err,
                 "kivo-cli: note: the folder %s does not exist yet; create it before patrolling\n",
                 Utf8(folder).c_str());
  }
}

int GetSettings(const std::optional<std::u16string>& name, std::FILE* out) {
  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  int status = 0;
  if (name.has_value()) {
    const SettingInfo* rule = FindSetting(*name);
    if (rule == nullptr) {
      status = Refuse(stderr, "unknown setting '" + Utf8(*name) + "' (\"get\" lists them all)");
    } else {
      std::fprintf(out, "%s\n", ValueText(key, *rule).c_str());
    }
  } else {
    for (const SettingInfo& rule : AllSettings()) {
      std::fprintf(out, "%s=%s\n", Utf8(rule.Name).c_str(), ValueText(key, rule).c_str());
    }
  }
  key.Close();
  return status;
}

int SetSetting(const std::u16string& name, const std::u16string& value, std::FILE* err) {
  const SettingInfo* rule = FindSetting(name);
  if (rule == nullptr) {
    return Refuse(err, "unknown setting '" + Utf8(name) + "' (\"get\" lists them all)");
  }
  std::u16string text = value;
  uint32_t number = 0;
  if (rule->Kind == SettingKind::Folder) {
    std::optional<WideString> folder = NormaliseTypedFolder(value);
    if (!folder) {
      return Refuse(err, FolderTooLongMessage());
    }
    text = folder->View();
    WarnIfFolderMissing(text, err);
  } else if (rule->Kind == SettingKind::Text) {
    if (value.size() > static_cast<size_t>(rule->MaxChars)) {
      return Refuse(
          err, Utf8(name) + " takes at most " + std::to_string(rule->MaxChars) + " characters");
    }
  } else {
    std::optional<uint32_t> parsed = ParseUnsignedDecimal(value);
    if (!parsed) {
      return Refuse(err, Utf8(name) + " needs an unsigned number, not '" + Utf8(value) + "'");
    }
    number = *parsed;
    if (rule->Kind == SettingKind::Timeout) {
      number = ClampTimeoutSeconds(number);
    } else if (rule->Kind == SettingKind::Count) {
      number = std::clamp(number, rule->MinValue, rule->MaxValue);
    } else if (rule->Kind == SettingKind::Switch) {
      number = number != 0 ? 1 : 0;
    }
  }
  RegKey key;
  key.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath);
  const bool written = IsText(rule->Kind) ? WriteStringSetting(key, rule->Id, text)
                                          : WriteDwordSetting(key, rule->Id, number);
  key.Close();
  if (!written) {
    std::fprintf(err, "kivo-cli: could not write the setting %s\n", Utf8(name).c_str());
    return 1;
  }
  return 0;
}

}  // namespace kivo
