#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/RegistryDocument.h"

namespace kivo::platform {

// Returns the per-user settings file: $XDG_CONFIG_HOME/kivo/settings.reg when
// XDG_CONFIG_HOME holds an absolute path, otherwise ~/.config/kivo/settings.reg.
std::u16string SettingsFilePath();

// The settings file: one text file in the registry export format that holds
// every key and value. Readers never lock, because the file is only ever
// replaced whole; writers take an exclusive lock on "<file>.lock" and re-read
// the file under it, so that two writers in any threads or processes never
// lose each other's values.
class SettingsStore {
 public:
  // The largest file the store reads or writes; anything bigger is not a
  // settings file of this program.
  static constexpr uint64_t kMaxFileBytes = 16u << 20;

  // Binds the store to `path`, usually SettingsFilePath().
  explicit SettingsStore(std::u16string path);

  // Returns the keys and values as they are now. A missing or unreadable file
  // gives an empty document; unreadable lines are skipped.
  RegistryDocument Read() const;

  // Re-reads the file under the writers' lock and applies `change` to it;
  // when `change` returns true the file is replaced atomically, creating its
  // folder first. A file with lines that could not be read is first kept as
  // "<file>.bak". True when the change is on disk (or nothing had to change).
  bool Update(const std::function<bool(RegistryDocument&)>& change);

  const std::u16string& Path() const { return path_; }

 private:
  std::u16string path_;
};

}  // namespace kivo::platform
