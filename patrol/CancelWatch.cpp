#include "patrol/CancelWatch.h"

#include <cstdint>

#include "patrol/PatrolRunning.h"

namespace kivo {

bool CancelWatch::ShouldAbandon() {
  const int32_t state = PatrolRunning.load();
  if (state == kPatrolGoing) {
    return false;
  }
  if (state != kPatrolCancelled) {
    gaveUp_ = true;
    return true;
  }
  const Clock::time_point now = Clock::now();
  if (!cancelSeen_) {
    cancelSeen_ = now;
  }
  gaveUp_ = now - *cancelSeen_ >= grace_;
  return gaveUp_;
}

}  // namespace kivo
