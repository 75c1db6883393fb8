#pragma once

#include <memory>

#include "platform/UniqueFd.h"

namespace kivo::platform {

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

 private:
  explicit InstanceLock(UniqueFd file) : file_(std::move(file)) {}

  UniqueFd file_;
};

}  // namespace kivo::platform
