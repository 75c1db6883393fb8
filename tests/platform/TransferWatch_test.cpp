#include "platform/TransferWatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <utility>

namespace kivo::platform {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kNever{INT64_MAX / 4};
constexpr milliseconds kHorizon{4000000};

// A server's behaviour: an optional burst, then `bytesEach` every `everyMs`.
struct Case {
  const char* name;
  int64_t timeoutMs;
  int64_t burstAtMs;
  uint64_t burstBytes;
  int64_t everyMs;
  uint64_t bytesEach;
  HttpError error;  // what the watch says first, and when
  int64_t atMs;
};

// Runs the watch on a fake clock the way HttpConnections::Wait does: it wakes for the next
// arrival or when the watch may fire, whichever comes first, and checks after each wake.
std::pair<HttpError, int64_t> Watch(const Case& c) {
  TransferWatch watch{milliseconds(c.timeoutMs)};
  watch.Begin(TransferWatch::Duration::zero());
  milliseconds now{0};
  milliseconds burst = c.burstBytes > 0 ? milliseconds(c.burstAtMs) : kNever;
  milliseconds trickle = c.everyMs > 0 ? milliseconds(c.everyMs) : kNever;
  HttpError error = HttpError::None;
  while (error == HttpError::None && now < kHorizon) {
    const auto left = std::chrono::ceil<milliseconds>(watch.Remaining(now));
    now = std::min({burst, trickle, kHorizon, now + std::max(left, milliseconds(1))});
    if (now == burst) {
      watch.Received(c.burstBytes, now);
      burst = kNever;
    }
    if (now == trickle) {
      watch.Received(c.bytesEach, now);
      trickle += milliseconds(c.everyMs);
    }
    error = watch.Check(now);
  }
  return {error, now.count()};
}

// The default receive time-out is 20 s. The trickle floor is first checked just after a
// minute; a 1 MiB burst earns 1024 s at the floor rate, and with 64 B/s after it the average
// falls under 1 KiB/s once 1048576 + 64 t < 1024 t (t = 1092.25 s).
TEST(TransferWatchTest, StallsDripsAndTricklesEndAndHonestServersDoNot) {
  using enum HttpError;
  const Case cases[] = {
      {"silent", 20000, 0, 0, 0, 0, ReceiveTimeout, 20000},
      {"silent after data", 20000, 15000, 2000, 0, 0, ReceiveTimeout, 35000},
      {"drips 10 B/s", 20000, 0, 0, 1000, 10, TooSlow, 20000},
      {"trickles 64 B/s", 20000, 0, 0, 1000, 64, TooSlow, 60001},
      {"a little over 1 KiB/s", 20000, 0, 0, 1000, 1100, None, kHorizon.count()},
      {"fast, then trickles", 20000, 1000, 1 << 20, 1000, 64, TooSlow, 1092251},
      {"no receive time-out", 0, 0, 0, 0, 0, TooSlow, 60001},
      {"a long time-out delays the average", 600000, 590000, 2000, 0, 0, TooSlow, 600001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Watch(c), std::make_pair(c.error, c.atMs));
  }
}

}  // namespace
}  // namespace kivo::platform
