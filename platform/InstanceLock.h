#pragma once

#include <memory>
#include <string>

#include "platform/UniqueFd.h"

namespace kivo::platform {

class InstanceLock;

// Why no instance lock was taken.
enum class LockFailure {
  None,              // the lock was taken
  HeldElsewhere,     // another instance holds it
  FolderUnusable,    // the program folder is not a folder and cannot be created
  LockFileUnusable,  // "Kivo.lock" cannot be opened or locked
};

// The outcome of one attempt to take the instance lock.
struct LockAttempt {
  std::unique_ptr<InstanceLock> Lock;  // null unless Failure is None
  LockFailure Failure = LockFailure::None;
  std::string Path;    // the folder or lock file that failed
  std::string Reason;  // the system's words for FolderUnusable and LockFileUnusable
};

// The per-user lock that keeps two instances from writing the same list
// file: an exclusive flock on "Kivo.lock" in the program folder, held while
// the object lives. The system drops it when the process ends, however it
// ends, so a crashed instance never leaves a stale lock behind.
class InstanceLock {
 public:
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock() = default;

  // Takes the lock without waiting; nullptr while another instance holds it
  // or when the lock file cannot be opened.
  static std::unique_ptr<InstanceLock> TryAcquire();

  // Takes the lock without waiting, and says what failed when it cannot.
  static LockAttempt Attempt();

 private:
  explicit InstanceLock(UniqueFd file) : file_(std::move(file)) {}

  UniqueFd file_;
};

}  // namespace kivo::platform
