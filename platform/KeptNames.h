#pragma once

#include <string>
#include <string_view>

namespace kivo::platform {

// The patrol history database in the program folder. Its companions (the
// write-ahead log, the shared-memory index, a rollback journal, damaged
// copies moved aside) are its name followed by a suffix.
inline constexpr std::u16string_view kHistoryDatabaseName = u"KivoHistory.db";

// The names under which the program keeps its own files. A stored page or
// image must never take one of them, or a server could plant a file that the
// program would later read, replace or remove as its own:
// - in the program folder the list file with its backup and its temporary
//   siblings, the instance lock, the numbered temporary download files, the
//   placeholder image, and the history database with its companions;
// - in the settings folder the settings file with its lock, its backup and
//   its temporary siblings;
// - in every folder the temporary files of durable writes
//   (platform/TemporaryNames.h) and those of earlier versions.
class KeptNames {
 public:
  // Finds out once whether `folder` is the program folder or the settings
  // folder, whatever way its path is written.
  explicit KeptNames(std::u16string_view folder);

  // True when `name` inside the folder is one of the program's own.
  bool Contains(std::u16string_view name) const;

 private:
  bool programFolder_ = false;
  bool settingsFolder_ = false;
  std::u16string settingsName_;
};

}  // namespace kivo::platform
