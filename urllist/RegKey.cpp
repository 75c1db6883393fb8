#include "urllist/RegKey.h"

#include <algorithm>
#include <cstring>

#include "platform/RegistryText.h"
#include "platform/SettingsStore.h"

namespace kivo {
namespace {

constexpr std::u16string_view kCurrentUserRoot = u"HKEY_CURRENT_USER\\";

std::u16string FullKeyPath(RegRoot root, std::u16string_view path) {
  switch (root) {
    case RegRoot::CurrentUser:
      break;
  }
  return std::u16string(kCurrentUserRoot) + std::u16string(path);
}

}  // namespace

bool RegKey::Open(RegRoot root, std::u16string_view path) {
  Close();
  if (!platform::IsStorableRegistryName(path)) {
    return false;
  }
  storePath_ = platform::SettingsFilePath();
  keyPath_ = FullKeyPath(root, path);
  return true;
}

bool RegKey::OpenForRead(RegRoot root, std::u16string_view path) {
  if (!Open(root, path)) {
    return false;
  }
  open_ = platform::SettingsStore(storePath_).Read().HasKey(keyPath_);
  return open_;
}

bool RegKey::OpenForWrite(RegRoot root, std::u16string_view path) {
  if (!Open(root, path)) {
    return false;
  }
  const std::u16string keyPath = keyPath_;
  open_ = platform::SettingsStore(storePath_).Update([&keyPath](platform::RegistryDocument& doc) {
    if (doc.HasKey(keyPath)) {
      return false;
    }
    doc.AddKey(keyPath);
    return true;
  });
  return open_;
}

bool RegKey::ReadRaw(std::u16string_view name, std::string& bytes) const {
  if (!open_) {
    return false;
  }
  const platform::RegistryDocument document = platform::SettingsStore(storePath_).Read();
  const platform::RegistryValue* value = document.FindValue(keyPath_, name);
  if (value == nullptr) {
    return false;
  }
  bytes = value->Data;
  return true;
}

uint32_t RegKey::ReadDword(std::u16string_view name, uint32_t defaultValue) {
  std::string bytes;
  if (!ReadRaw(name, bytes) || bytes.size() > 4) {
    return defaultValue;
  }
  uint32_t value = 0;
  for (size_t i = bytes.size(); i-- > 0;) {
    value = value << 8 | static_cast<uint8_t>(bytes[i]);
  }
  return value;
}

char16_t* RegKey::ReadString(std::u16string_view name, char16_t* buffer, uint32_t capacityBytes) {
  const size_t capacityUnits = capacityBytes / sizeof(char16_t);
  if (buffer == nullptr || capacityUnits == 0) {
    return nullptr;
  }
  buffer[0] = u'\0';
  std::string bytes;
  if (!ReadRaw(name, bytes)) {
    return nullptr;
  }
  // One unit of the buffer is always left for the terminator, so a value
  // stored without one, or longer than the buffer, still ends in it.
  const size_t units = std::min(bytes.size() / 2, capacityUnits - 1);
  for (size_t i = 0; i < units; ++i) {
    buffer[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                      static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
  }
  buffer[units] = u'\0';
  return buffer;
}

std::optional<std::u16string> RegKey::ReadWholeString(std::u16string_view name) {
  std::string bytes;
  if (!ReadRaw(name, bytes)) {
    return std::nullopt;
  }
  std::u16string text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                    static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
  }
  return text;
}

bool RegKey::WriteValue(std::u16string_view name, uint32_t type, const void* data, uint32_t size) {
  if (!open_ || (data == nullptr && size != 0) || !platform::IsStorableRegistryName(name)) {
    return false;
  }
  const std::string_view bytes(static_cast<const char*>(data), size);
  const std::u16string& keyPath = keyPath_;
  return platform::SettingsStore(storePath_).Update([&](platform::RegistryDocument& document) {
    document.SetValue(keyPath, name, type, bytes);
    return true;
  });
}

bool RegKey::Close() {
  if (!open_) {
    return false;
  }
  open_ = false;
  return true;
}

}  // namespace kivo
