#include "platform/PendingReplacements.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/UniqueFd.h"

namespace kivo::platform {
namespace {

// Syncs the file system that holds `path`; false when that fails.
bool SyncFileSystemOf(const std::string& path) {
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  return file.IsValid() && ::syncfs(file.Get()) == 0;
}

}  // namespace

PendingReplacements::PendingReplacements(
    std::function<bool(const std::string& path)> syncFileSystem)
    : syncFileSystem_(syncFileSystem ? std::move(syncFileSystem) : SyncFileSystemOf) {}

PendingReplacements::~PendingReplacements() {
  for (const Replacement& replacement : pending_) {
    ::unlink(replacement.TempPath.c_str());
  }
}

void PendingReplacements::Add(std::string tempPath, std::string targetPath) {
  pending_.push_back(Replacement{std::move(tempPath), std::move(targetPath)});
}

int PendingReplacements::Commit() {
  std::set<dev_t> synced;
  std::set<dev_t> failed;
  std::set<std::string> folders;
  for (const std::string& folder : durableFolders_) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 && !synced.contains(info.st_dev) &&
        !failed.contains(info.st_dev)) {
      (syncFileSystem_(folder) ? synced : failed).insert(info.st_dev);
    }
  }
  int replaced = 0;
  for (const Replacement& replacement : pending_) {
    struct stat info {};
    bool durable = ::stat(replacement.TempPath.c_str(), &info) == 0;
    if (durable && !synced.contains(info.st_dev) && !failed.contains(info.st_dev)) {
      (syncFileSystem_(replacement.TempPath) ? synced : failed).insert(info.st_dev);
    }
    durable = durable && synced.contains(info.st_dev);
    if (durable && std::rename(replacement.TempPath.c_str(), replacement.TargetPath.c_str()) == 0) {
      ++replaced;
      folders.insert(replacement.TargetPath.substr(0, replacement.TargetPath.rfind('/') + 1));
      continue;
    }
    ::unlink(replacement.TempPath.c_str());
  }
  pending_.clear();
  for (const std::string& folder : folders) {
    SyncFolderOf(folder);
  }
  return replaced;
}

}  // namespace kivo::platform
