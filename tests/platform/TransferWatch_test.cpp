#include "platform/TransferWatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace kivo::platform {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kNever{INT64_MAX / 4};

// A server's behaviour: an optional burst, then a steady trickle of `bytesEach` every
// `everyMs`, watched with a receive time-out until `endMs`.
struct Case {
  const char* name;
  int64_t timeoutMs;
  int64_t burstAtMs;
  uint64_t burstBytes;
  int64_t everyMs;
  uint64_t bytesEach;
  int64_t endMs;
  HttpError error;  // what the watch says first
  int64_t atMs;     // and when
};

struct Verdict {
  HttpError Error;
  int64_t AtMs;
};

// Runs the watch on a fake clock the way HttpConnections::Wait does: it wakes for the next
// arrival or when the watch may fire, whichever comes first, and checks after each wake.
Verdict Watch(const Case& c) {
  TransferWatch watch{milliseconds(c.timeoutMs)};
  watch.Begin(TransferWatch::Duration::zero());
  milliseconds now{0};
  milliseconds burst = c.burstBytes > 0 ? milliseconds(c.burstAtMs) : kNever;
  milliseconds trickle = c.everyMs > 0 ? milliseconds(c.everyMs) : kNever;
  while (now < milliseconds(c.endMs)) {
    const auto left = std::chrono::ceil<milliseconds>(watch.Remaining(now));
    now = std::min({burst, trickle, milliseconds(c.endMs), now + std::max(left, milliseconds(1))});
    if (now == burst) {
      watch.Received(c.burstBytes, now);
      burst = kNever;
    }
    if (now == trickle) {
      watch.Received(c.bytesEach, now);
      trickle += milliseconds(c.everyMs);
    }
    const HttpError error = watch.Check(now);
    if (error != HttpError::None) {
      return {error, now.count()};
    }
  }
  return {HttpError::None, now.count()};
}

// The default receive time-out is 20 s. The trickle floor is first checked just after a
// minute; a 1 MiB burst earns 1024 s at the floor rate, and with 64 B/s after it the average
// falls under 1 KiB/s once 1048576 + 64 t < 1024 t (t = 1092.25 s).
TEST(TransferWatchTest, StallsDripsAndTricklesEndAndHonestServersDoNot) {
  const Case cases[] = {
      {"silent", 20000, 0, 0, 0, 0, 100000, HttpError::ReceiveTimeout, 20000},
      {"silent after data", 20000, 15000, 2000, 0, 0, 100000, HttpError::ReceiveTimeout, 35000},
      {"drips 10 B/s", 20000, 0, 0, 1000, 10, 100000, HttpError::TooSlow, 20000},
      {"trickles 64 B/s", 20000, 0, 0, 1000, 64, 100000, HttpError::TooSlow, 60001},
      {"trickles just under 1 KiB/s", 20000, 0, 0, 1000, 1000, 200000, HttpError::TooSlow, 60001},
      {"a little over 1 KiB/s", 20000, 0, 0, 1000, 1100, 3600000, HttpError::None, 3600000},
      {"fast, then trickles", 20000, 1000, 1 << 20, 1000, 64, 3600000, HttpError::TooSlow, 1092251},
      {"no receive time-out", 0, 0, 0, 0, 0, 100000, HttpError::TooSlow, 60001},
      {"a long time-out delays the average", 600000, 590000, 2000, 0, 0, 2000000,
       HttpError::TooSlow, 600001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Verdict verdict = Watch(c);
    EXPECT_EQ(verdict.Error, c.error);
    EXPECT_EQ(verdict.AtMs, c.atMs);
  }
}

TEST(TransferWatchTest, NothingIsWatchedBeforeTheConnection) {
  TransferWatch watch{milliseconds(20000)};
  EXPECT_EQ(watch.Check(std::chrono::hours(1)), HttpError::None);
  EXPECT_EQ(watch.Remaining(std::chrono::hours(1)), TransferWatch::Duration::max());
}

}  // namespace
}  // namespace kivo::platform
