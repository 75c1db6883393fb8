#pragma once

#include <chrono>
#include <optional>

namespace kivo {

// Decides when a download in progress is given up: at once after an
// abandon, and once the grace has passed since a cancel was first seen. The
// worker sees a cancel within a poll slice of the HTTP layer.
class CancelWatch {
 public:
  explicit CancelWatch(std::chrono::milliseconds grace) : grace_(grace) {}

  // True when the download in progress must be given up.
  bool ShouldAbandon();
  // True once a download has been given up for a cancel.
  bool GaveUp() const { return gaveUp_; }

 private:
  using Clock = std::chrono::steady_clock;

  const std::chrono::milliseconds grace_;
  std::optional<Clock::time_point> cancelSeen_;
  bool gaveUp_ = false;
};

}  // namespace kivo
