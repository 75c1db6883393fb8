#include "platform/HostLimits.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/HttpResponseHead.h"

namespace kivo::platform {
namespace {

using std::chrono::seconds;
constexpr const char* kHost = "http://a.test";

// A host keeps the connection count until it pushes back; then it keeps the count of the
// requests it served beside the one it turned away, never less than 1 and never more again.
TEST(HostLimits, PushBacksLowerTheLimitForGood) {
  struct Case {
    const char* name;
    std::vector<int32_t> others;  // one push-back each, with this many others in flight
    int32_t limit;
  };
  const Case cases[] = {
      {"none", {}, 4},           {"beside two", {2}, 2},     {"alone", {0}, 1},
      {"never more", {3, 5}, 3}, {"lower again", {2, 1}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostLimits hosts(4);
    for (int32_t others : c.others) {
      hosts.PushBack(kHost, others);
    }
    EXPECT_EQ(hosts.Limit(kHost), c.limit);
    EXPECT_EQ(hosts.Limit("http://b.test"), 4);
  }
}

// A Retry-After defers the host's next request, but one host defers a patrol by at most
// kMaxRetryAfter in all, however often it asks.
TEST(HostLimits, RetryAfterDefersWithinItsShare) {
  const HostLimits::Clock::time_point start;
  struct Case {
    const char* name;
    std::vector<std::pair<seconds, seconds>> defers;  // when, how long
    seconds until;                                    // the first moment it is not deferred
  };
  const Case cases[] = {
      {"none", {}, seconds(0)},
      {"zero", {{seconds(0), seconds(0)}}, seconds(0)},
      {"once", {{seconds(5), seconds(30)}}, seconds(35)},
      {"a shorter one keeps the longer",
       {{seconds(0), seconds(30)}, {seconds(1), seconds(2)}},
       seconds(30)},
      {"the share runs out",
       {{seconds(0), kMaxRetryAfter}, {kMaxRetryAfter, seconds(60)}},
       kMaxRetryAfter},
      {"in pieces", {{seconds(0), seconds(100)}, {seconds(100), seconds(100)}}, kMaxRetryAfter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostLimits hosts(4);
    for (const auto& [when, wait] : c.defers) {
      hosts.Defer(kHost, wait, start + when);
    }
    if (c.until > seconds(0)) {
      EXPECT_TRUE(hosts.Deferred(kHost, start + c.until - seconds(1)));
    }
    EXPECT_FALSE(hosts.Deferred(kHost, start + c.until));
    EXPECT_FALSE(hosts.Deferred("http://b.test", start));
  }
}

}  // namespace
}  // namespace kivo::platform
