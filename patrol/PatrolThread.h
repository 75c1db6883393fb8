#pragma once

#include <cstdint>
#include <thread>

#include "patrol/PatrolWorker.h"

namespace kivo {

// A patrol on a thread of its own, as the progress dialog runs it: Start sets
// PatrolRunning to kPatrolGoing and starts the worker; Join waits for its result.
// Destruction joins a worker that is still running.
class PatrolThread {
 public:
  PatrolThread() = default;
  PatrolThread(const PatrolThread&) = delete;
  PatrolThread& operator=(const PatrolThread&) = delete;
  ~PatrolThread();

  // Starts the worker; false when one is already running on this object.
  bool Start(const PatrolParams& params);
  // Waits for the worker and returns its result (0 when none was started).
  int32_t Join();

 private:
  std::thread thread_;
  int32_t result_ = 0;
};

}  // namespace kivo
