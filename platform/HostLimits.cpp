#include "platform/HostLimits.h"

#include <algorithm>

#include "platform/HttpResponseHead.h"

namespace kivo::platform {

HostLimits::HostLimits(int32_t connections) : connections_(std::max(connections, 1)) {}

HostLimits::Host& HostLimits::Of(const std::string& origin) {
  const auto [host, added] = hosts_.try_emplace(origin);
  if (added) {
    host->second.Limit = connections_;
  }
  return host->second;
}

int32_t HostLimits::Limit(const std::string& origin) const {
  const auto host = hosts_.find(origin);
  return host == hosts_.end() ? connections_ : host->second.Limit;
}

void HostLimits::PushBack(const std::string& origin, int32_t others) {
  Host& host = Of(origin);
  host.Limit = std::clamp(others, 1, host.Limit);
}

void HostLimits::Defer(const std::string& origin, std::chrono::seconds wait,
                       Clock::time_point now) {
  Host& host = Of(origin);
  const Clock::time_point from = std::max(host.Until, now);
  const Clock::duration left =
      std::chrono::duration_cast<Clock::duration>(kMaxRetryAfter) - host.Deferred;
  const Clock::duration extension =
      std::clamp<Clock::duration>(now + std::chrono::duration_cast<Clock::duration>(wait) - from,
                                  Clock::duration::zero(), left);
  host.Until = from + extension;
  host.Deferred += extension;
}

bool HostLimits::Deferred(const std::string& origin, Clock::time_point now) const {
  const auto host = hosts_.find(origin);
  return host != hosts_.end() && now < host->second.Until;
}

void HostLimits::Answered(const std::string& origin) {
  ++Of(origin).Answers;
}

uint64_t HostLimits::Answers(const std::string& origin) const {
  const auto host = hosts_.find(origin);
  return host == hosts_.end() ? 0 : host->second.Answers;
}

}  // namespace kivo::platform
