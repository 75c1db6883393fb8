#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "urllist/UrlList.h"

namespace kivo {

// Reads and writes the list file "Kivo.dat": a 32-bit version followed by one
// record per entry, little-endian throughout. Versions 0 to 2 lack some of
// the later fields; a version above 3 is read like version 3, and the file is
// always written as version 3. It knows nothing of any list view.
class UrlListFile {
 public:
  static constexpr int32_t kWrittenVersion = 3;
  // The longest server prefix the reader accepts, in code units with the NUL.
  static constexpr uint32_t kMaxServerUnits = 1024;

  // Binds the object to `path`, usually the program folder's "Kivo.dat".
  explicit UrlListFile(std::u16string path);

  // Returns the object bound to the program folder's list file, the one that
  // both programs read and write.
  static UrlListFile InProgramFolder();

  // Appends every readable entry to `list`. True when the file was missing or
  // read whole; false when it exists but could not be read whole, in which
  // case the entries before the damage are still appended.
  bool Load(UrlList& list);

  // Saves `list` atomically, replacing the file only once the new one is
  // complete on disk. When the last Load found the file damaged, the file is
  // first kept as "<path>.bak". True on success; on failure the previous file
  // is untouched. Stale temporary files of killed runs in the file's folder
  // are removed first.
  bool Save(const UrlList& list);

  // Returns the file's contents for `list` in the version-3 layout.
  static std::string Encode(const UrlList& list);

  const std::u16string& Path() const { return path_; }
  std::u16string BackupPath() const { return path_ + u".bak"; }

 private:
  std::u16string path_;
  // Set when the file on disk holds something the last Load could not read,
  // so that the first save keeps it aside instead of replacing it.
  bool keepBackup_ = false;
};

}  // namespace kivo
