#include "platform/RegistryDocument.h"

#include <algorithm>
#include <utility>

namespace kivo::platform {
namespace {

constexpr char16_t FoldAscii(char16_t ch) {
  return (ch >= u'a' && ch <= u'z') ? static_cast<char16_t>(ch - u'a' + u'A') : ch;
}

}  // namespace

bool SameRegistryName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

const RegistryKeyEntry* RegistryDocument::FindKey(std::u16string_view path) const {
  for (const RegistryKeyEntry& key : keys_) {
    if (SameRegistryName(key.Path, path)) {
      return &key;
    }
  }
  return nullptr;
}

RegistryKeyEntry* RegistryDocument::FindMutableKey(std::u16string_view path) {
  return const_cast<RegistryKeyEntry*>(std::as_const(*this).FindKey(path));
}

bool RegistryDocument::HasKey(std::u16string_view path) const {
  for (const RegistryKeyEntry& key : keys_) {
    const std::u16string_view keyPath = key.Path;
    if (SameRegistryName(keyPath, path)) {
      return true;
    }
    if (keyPath.size() > path.size() && keyPath[path.size()] == u'\\' &&
        SameRegistryName(keyPath.substr(0, path.size()), path)) {
      return true;
    }
  }
  return false;
}

RegistryKeyEntry& RegistryDocument::AddKey(std::u16string_view path) {
  if (RegistryKeyEntry* key = FindMutableKey(path)) {
    return *key;
  }
  keys_.push_back(RegistryKeyEntry{std::u16string(path), {}});
  return keys_.back();
}

const RegistryValue* RegistryDocument::FindValue(std::u16string_view path,
                                                 std::u16string_view name) const {
  const RegistryKeyEntry* key = FindKey(path);
  if (key == nullptr) {
    return nullptr;
  }
  for (const RegistryValue& value : key->Values) {
    if (SameRegistryName(value.Name, name)) {
      return &value;
    }
  }
  return nullptr;
}

void RegistryDocument::SetValue(std::u16string_view path, std::u16string_view name, uint32_t type,
                                std::string_view data) {
  RegistryKeyEntry& key = AddKey(path);
  for (RegistryValue& value : key.Values) {
    if (SameRegistryName(value.Name, name)) {
      value.Type = type;
      value.Data.assign(data);
      return;
    }
  }
  key.Values.push_back(RegistryValue{std::u16string(name), type, std::string(data)});
}

}  // namespace kivo::platform
