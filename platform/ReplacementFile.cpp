#include "platform/ReplacementFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/HostFile.h"

namespace kivo::platform {

ReplacementFile::ReplacementFile(std::u16string_view path, const DurableWriteCalls& calls)
    : calls_(calls), targetPath_(HostPath(path)) {
  // The temporary file must lie in the same folder: rename only replaces a
  // file atomically within one file system.
  SiblingFile sibling = CreateSiblingFile(targetPath_);
  fd_ = std::move(sibling.File);
  tempPath_ = std::move(sibling.HostPath);
  if (fd_.IsValid()) {
    block_.reserve(kBlockSize);
  }
}

ReplacementFile::~ReplacementFile() {
  Discard();
}

void ReplacementFile::Write(std::string_view bytes) {
  if (!fd_.IsValid() || failed_) {
    return;
  }
  if (block_.size() + bytes.size() < kBlockSize) {
    block_.append(bytes);
    return;
  }
  // Fill the current block up, write it, and write whole blocks straight
  // from the caller's bytes.
  const size_t fill = kBlockSize - block_.size();
  block_.append(bytes.substr(0, fill));
  Flush();
  bytes.remove_prefix(fill);
  while (bytes.size() >= kBlockSize && !failed_) {
    failed_ = !calls_.Write(fd_.Get(), bytes.data(), static_cast<int64_t>(kBlockSize));
    bytes.remove_prefix(kBlockSize);
  }
  block_.append(bytes);
}

void ReplacementFile::Flush() {
  if (!block_.empty() && !failed_) {
    failed_ = !calls_.Write(fd_.Get(), block_.data(), static_cast<int64_t>(block_.size()));
  }
  block_.clear();
}

bool ReplacementFile::FinishWriting() {
  Flush();
  struct stat original {};
  if (::stat(targetPath_.c_str(), &original) == 0) {
    failed_ = failed_ || ::fchmod(fd_.Get(), original.st_mode & 07777) != 0;
  }
  return !failed_;
}

bool ReplacementFile::Stage(PendingReplacements& pending) {
  if (!fd_.IsValid() || !FinishWriting() || !fd_.Reset()) {
    Discard();
    return false;
  }
  pending.Add(std::exchange(tempPath_, std::string()), targetPath_);
  return true;
}

bool ReplacementFile::Commit() {
  if (!fd_.IsValid()) {
    return false;
  }
  FinishWriting();
  failed_ = failed_ || !calls_.Sync(fd_.Get());
  failed_ = !fd_.Reset() || failed_;
  if (failed_ || !calls_.Rename(tempPath_, targetPath_)) {
    Discard();
    return false;
  }
  tempPath_.clear();
  calls_.SyncFolder(targetPath_);
  return true;
}

void ReplacementFile::Discard() {
  fd_.Reset();
  if (!tempPath_.empty()) {
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
  }
}

}  // namespace kivo::platform
