#pragma once

#include <string>
#include <string_view>

#include "platform/DurableWriteCalls.h"
#include "platform/PendingReplacements.h"
#include "platform/UniqueFd.h"

namespace kivo::platform {

// A new version of a file, written beside it and put in its place only once
// it is complete, with the guarantees of platform/AtomicFile.h: a full disk,
// a crash or a power cut never leaves a shortened file.
//
// Output is collected in blocks of kBlockSize bytes and written one block at
// a time. Until Commit succeeds the original file is untouched; a
// replacement that is not committed is deleted on destruction.
class ReplacementFile {
 public:
  static constexpr size_t kBlockSize = size_t{64} << 10;

  // Creates a fresh temporary file in the folder of `path`; `calls` writes,
  // syncs and renames it.
  explicit ReplacementFile(std::u16string_view path,
                           const DurableWriteCalls& calls = DurableWriteCalls::Host());
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  ~ReplacementFile();

  // True when the temporary file was created.
  bool IsOpen() const { return fd_.IsValid(); }
  // Appends `bytes` to the new version.
  void Write(std::string_view bytes);
  // Writes what is left, gives the new version the original's permissions,
  // syncs it to disk, renames it over the original and syncs the folder.
  // True when the original has been replaced; otherwise it is unchanged.
  bool Commit();
  // Writes what is left and gives the new version the original's permissions
  // like Commit, but leaves syncing and renaming to `pending`, which does
  // both for many files at once. True when the new version was handed over.
  bool Stage(PendingReplacements& pending);

 private:
  void Flush();
  // Flushes the block and copies the original's permissions; false on failure.
  bool FinishWriting();
  void Discard();

  const DurableWriteCalls& calls_;
  std::string targetPath_;  // host paths
  std::string tempPath_;
  UniqueFd fd_;
  std::string block_;
  bool failed_ = false;
};

}  // namespace kivo::platform
