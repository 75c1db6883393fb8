#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::platform {

// One named value of a key: its registry type and its raw bytes, kept as
// stored whatever the type.
struct RegistryValue {
  std::u16string Name;  // empty for the key's default value
  uint32_t Type = 0;
  std::string Data;

  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// One key with its values in the order they were first set.
struct RegistryKeyEntry {
  std::u16string Path;  // full path, root included: "HKEY_CURRENT_USER\\Software\\..."
  std::vector<RegistryValue> Values;

  friend bool operator==(const RegistryKeyEntry&, const RegistryKeyEntry&) = default;
};

// The keys and values of the settings store in memory. Key paths and value
// names are compared without regard to ASCII case, as the registry does;
// keys and values keep their order, so that a rewrite changes only what was
// set.
class RegistryDocument {
 public:
  // Returns the key with exactly this path, or nullptr.
  const RegistryKeyEntry* FindKey(std::u16string_view path) const;
  // Returns true when the key or any key below it is present: a key exists
  // as soon as one of its descendants does.
  bool HasKey(std::u16string_view path) const;
  // Returns the key with this path, adding it (without values) at the end
  // when it is not present yet.
  RegistryKeyEntry& AddKey(std::u16string_view path);
  // Returns the named value of the key, or nullptr.
  const RegistryValue* FindValue(std::u16string_view path, std::u16string_view name) const;
  // Sets the named value of the key, adding the key and the value as needed;
  // an existing value keeps its place.
  void SetValue(std::u16string_view path, std::u16string_view name, uint32_t type,
                std::string_view data);

  const std::vector<RegistryKeyEntry>& Keys() const { return keys_; }

  friend bool operator==(const RegistryDocument&, const RegistryDocument&) = default;

 private:
  RegistryKeyEntry* FindMutableKey(std::u16string_view path);

  std::vector<RegistryKeyEntry> keys_;
};

// Compares two names without regard to the case of ASCII letters.
bool SameRegistryName(std::u16string_view a, std::u16string_view b);

}  // namespace kivo::platform
