#include "platform/TransferWatch.h"

#include <algorithm>

namespace kivo::platform {
namespace {

// Beyond this many seconds the trickle floor is as good as never reached; it also keeps the
// conversion to the watch's finer unit from overflowing.
constexpr uint64_t kFarSeconds = uint64_t{1} << 32;

}  // namespace

TransferWatch::TransferWatch(std::chrono::milliseconds receiveTimeout)
    : receiveTimeout_(receiveTimeout) {}

void TransferWatch::Begin(Duration now) {
  begun_ = true;
  begunAt_ = now;
  lastDataAt_ = now;
  windowStart_ = now;
  windowBytes_ = 0;
  totalBytes_ = 0;
}

void TransferWatch::Received(uint64_t bytes, Duration now) {
  lastDataAt_ = now;
  windowBytes_ += bytes;
  totalBytes_ += bytes;
}

HttpError TransferWatch::Check(Duration now) {
  if (!begun_) {
    return HttpError::None;
  }
  if (receiveTimeout_ > Duration::zero()) {
    if (now - lastDataAt_ >= receiveTimeout_) {
      return HttpError::ReceiveTimeout;
    }
    if (now - windowStart_ >= receiveTimeout_) {
      if (windowBytes_ < kMinBytesPerWindow) {
        return HttpError::TooSlow;
      }
      windowStart_ = now;
      windowBytes_ = 0;
    }
  }
  return now > AverageDeadline() ? HttpError::TooSlow : HttpError::None;
}

TransferWatch::Duration TransferWatch::Remaining(Duration now) const {
  if (!begun_) {
    return Duration::max();
  }
  Duration deadline = AverageDeadline();
  if (receiveTimeout_ > Duration::zero()) {
    deadline = std::min({deadline, lastDataAt_ + receiveTimeout_, windowStart_ + receiveTimeout_});
  }
  if (deadline == Duration::max()) {
    return deadline;
  }
  return std::max(deadline - now, Duration::zero());
}

// The last moment at which the bytes so far still make the average: after the grace, and
// after the time that the floor rate would have taken to bring them.
TransferWatch::Duration TransferWatch::AverageDeadline() const {
  const uint64_t seconds = totalBytes_ / kMinAverageBytesPerSecond;
  if (seconds >= kFarSeconds) {
    return Duration::max();
  }
  const uint64_t rest = totalBytes_ % kMinAverageBytesPerSecond;
  const Duration earned =
      std::chrono::seconds(static_cast<int64_t>(seconds)) +
      std::chrono::duration_cast<Duration>(std::chrono::nanoseconds(
          static_cast<int64_t>(rest * 1'000'000'000 / kMinAverageBytesPerSecond)));
  const Duration grace = std::max<Duration>(kAverageGrace, receiveTimeout_);
  return begunAt_ + std::max(grace, earned);
}

}  // namespace kivo::platform
