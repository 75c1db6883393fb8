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

// The program that holds the instance lock, as its lock file names it.
enum class LockHolder {
  Unknown,  // not named (yet), or named by something else
  Kivo,     // the desktop program
  KivoCli,  // the command line
};

// The outcome of one attempt to take the instance lock.
struct LockAttempt {
  std::unique_ptr<InstanceLock> Lock;  // null unless Failure is None
  LockFailure Failure = LockFailure::None;
  std::string Path;                         // the folder or lock file that failed
  int Error = 0;                            // errno for FolderUnusable and LockFileUnusable
  LockHolder Holder = LockHolder::Unknown;  // for HeldElsewhere: who holds it
};

// The per-user lock that keeps two instances from writing the same list
// file: an exclusive flock on "Kivo.lock" in the program folder, held while
// the object lives. The system drops it when the process ends, however it
// ends, so a crashed instance never leaves a stale lock behind.
//
// The holder writes its own name into the lock file, so that a refused start
// can say which program it waits for. The name is written right after the
// lock is taken: a start refused in that instant finds no name yet.
class InstanceLock {
 public:
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  // Clears the name before the lock goes, so that no later start reads it.
  ~InstanceLock();

  // Takes the lock for `self` without waiting; nullptr while another
  // instance holds it or when the lock file cannot be used.
  static std::unique_ptr<InstanceLock> TryAcquire(LockHolder self);

  // Takes the lock for `self` without waiting, and says what failed, or who
  // holds it, when it cannot.
  static LockAttempt Attempt(LockHolder self);

 private:
  explicit InstanceLock(UniqueFd file) : file_(std::move(file)) {}

  UniqueFd file_;
};

}  // namespace kivo::platform
