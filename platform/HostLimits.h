#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace kivo::platform {

// What one patrol has learnt about the hosts that push back, each host named by its origin
// (scheme, name and port): how many of its requests may be in flight at once, and until when
// its next request must wait. A host starts at the patrol's connection count. A push-back (a
// 429 or 503, a connection refused or left waiting, a transfer too slow) lowers its limit for
// the rest of the patrol to the count of other requests that the host was serving at the
// time, never below 1: a server that turns away the third request at once serves two. A
// Retry-After defers the host's next request, but one host may defer a patrol by at most
// kMaxRetryAfter in all, so that a server that asks for a pause in every answer cannot hold a
// patrol for hours. It reads no clock: the caller passes the time.
class HostLimits {
 public:
  using Clock = std::chrono::steady_clock;

  // Lets every host have up to `connections` requests in flight until it pushes back.
  explicit HostLimits(int32_t connections);

  // Returns how many requests may be in flight to origin at once.
  int32_t Limit(const std::string& origin) const;
  // Lowers origin's limit after a push-back that came while it served `others` other requests.
  void PushBack(const std::string& origin, int32_t others);
  // Defers origin's next request until `wait` after `now`, as far as its share allows.
  void Defer(const std::string& origin, std::chrono::seconds wait, Clock::time_point now);
  // True while origin's next request must wait.
  bool Deferred(const std::string& origin, Clock::time_point now) const;
  // Counts one response that origin has answered.
  void Answered(const std::string& origin);
  // Returns how many responses origin has answered so far.
  uint64_t Answers(const std::string& origin) const;

 private:
  struct Host {
    int32_t Limit = 1;
    Clock::time_point Until{};
    Clock::duration Deferred{};  // what its Retry-After headers have cost the patrol so far
    uint64_t Answers = 0;
  };

  Host& Of(const std::string& origin);

  const int32_t connections_;
  std::map<std::string, Host, std::less<>> hosts_;
};

}  // namespace kivo::platform
