#include "patrol/PatrolStorage.h"

#include "patrol/LocalCopy.h"
#include "platform/StorageSpace.h"

namespace kivo {

bool PatrolStorage::FolderUsable(const WideString& folder) {
  const auto [known, added] = folderUsable_.try_emplace(std::u16string(folder.View()), true);
  if (added) {
    const int32_t problem = platform::FolderProblem(folder.View());
    if (problem != 0) {
      known->second = false;
      folderErrors_.push_back(PatrolError{PatrolErrorKind::UnusableFolder, known->first, problem});
    }
  }
  return known->second;
}

bool PatrolStorage::Store(const DownloadBody& body, const WideString& folder,
                          std::u16string_view url, WideString& localPath) {
  bool noRoom = false;
  const auto mayWrite = [&] {
    noRoom = !HasRoom(folder.View(), body.Size());
    return !noRoom;
  };
  // A temporary file is linked to its new name where the file system allows
  // it, which costs no space; only a copy is held to the floor.
  const bool stored =
      body.InFile()
          ? SaveAsLocalCopy(body.FilePath(), folder.View(), url, localPath, mayWrite)
          : mayWrite() && SaveBytesAsLocalCopy(body.Bytes(), folder.View(), url, localPath);
  if (stored) {
    return true;
  }
  const std::optional<uint64_t> free = noRoom ? std::nullopt : FreeBytes(folder.View());
  if (noRoom || (free && *free < limits_.MinFreeBytes)) {
    NoteOutOfSpace(folder.View());
  }
  return false;
}

bool PatrolStorage::StoreAgain(std::u16string_view earlier, uint64_t size, const WideString& folder,
                               std::u16string_view url, WideString& localPath) {
  bool noRoom = false;
  const auto mayCopy = [&] {
    noRoom = !HasRoom(folder.View(), size);
    return !noRoom;
  };
  if (SaveAsLocalCopy(earlier, folder.View(), url, localPath, mayCopy)) {
    return true;
  }
  if (noRoom) {
    NoteOutOfSpace(folder.View());
  }
  return false;
}

std::vector<PatrolError> PatrolStorage::Problems() const {
  std::vector<PatrolError> problems = folderErrors_;
  if (spaceFolder_) {
    problems.push_back(PatrolError{PatrolErrorKind::OutOfSpace, *spaceFolder_, 0});
  }
  return problems;
}

std::optional<uint64_t> PatrolStorage::FreeBytes(std::u16string_view folder) const {
  return limits_.FreeSpace ? limits_.FreeSpace(folder) : platform::FreeBytes(folder);
}

bool PatrolStorage::HasRoom(std::u16string_view folder, uint64_t count) {
  if (limits_.MinFreeBytes == 0) {
    return true;
  }
  for (;;) {
    const std::optional<uint64_t> free = FreeBytes(folder);
    if (!free || *free >= limits_.MinFreeBytes + count) {
      return true;
    }
    if (!bodies_.DropNewestSpilled()) {
      return false;
    }
  }
}

}  // namespace kivo
