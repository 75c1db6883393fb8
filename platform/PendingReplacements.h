#pragma once

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kivo::platform {

// New versions of files, complete on disk but not yet in place. Commit syncs
// each file system they lie on once, renames every new version over its
// original and then syncs each folder it renamed in: the rule of
// platform/AtomicFile.h, applied to a whole rewrite pass at the cost of one
// sync per file system instead of one per page. New versions that are never
// committed are deleted.
class PendingReplacements {
 public:
  // Syncs file systems with `syncFileSystem` (given a host path in one;
  // false on failure), or with the host's syncfs when it is empty.
  explicit PendingReplacements(
      std::function<bool(const std::string& path)> syncFileSystem = nullptr);
  PendingReplacements(const PendingReplacements&) = delete;
  PendingReplacements& operator=(const PendingReplacements&) = delete;
  ~PendingReplacements();

  // Takes over the new version at `tempPath` (host paths) that is to replace `targetPath`.
  void Add(std::string tempPath, std::string targetPath);
  // Has Commit make durable the files already written in `folder` (a host
  // path) too: what is saved after the commit names them, so their file
  // system is synced even when nothing in it is replaced.
  void KeepDurable(std::string folder) { durableFolders_.insert(std::move(folder)); }
  // Syncs and renames every new version; returns how many originals were replaced. A new
  // version whose file system could not be synced is deleted and its original kept.
  int Commit();

  int Count() const { return static_cast<int>(pending_.size()); }

 private:
  struct Replacement {
    std::string TempPath;
    std::string TargetPath;
  };
  std::vector<Replacement> pending_;
  std::set<std::string> durableFolders_;
  std::function<bool(const std::string& path)> syncFileSystem_;
};

}  // namespace kivo::platform
