#include "patrol/FetchVerdict.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

// An answer that the server's load may have caused is asked again when the download was
// fetched ahead or ran beside another request to its host; every other answer counts.
TEST(FetchVerdictTest, AnswersTheLoadMayHaveCausedAreAskedAgain) {
  using enum platform::HttpError;
  using enum BodyOutcome;
  using enum FetchVerdict;
  struct Case {
    const char* name;
    FetchFacts facts;  // fetched ahead, beside another, error, status, body
    FetchVerdict verdict;
  };
  const Case cases[] = {
      {"a page", {true, true, None, 200, Accepted}, Final},
      {"unchanged", {true, true, None, 200, Unchanged}, Final},
      {"not modified", {true, true, None, 304, Refused}, Final},
      {"304 to a conditional request", {true, true, None, 304, NotModified}, Final},
      {"missing", {true, true, None, 404, Refused}, Final},
      {"too large", {true, true, None, 200, Failed}, Final},
      {"503 fetched ahead", {true, false, None, 503, Refused}, AskAgain},
      {"429 beside another", {false, true, None, 429, Refused}, AskAgain},
      {"500 fetched ahead", {true, false, None, 500, Refused}, AskAgain},
      {"503 alone at its turn", {false, false, None, 503, Refused}, Final},
      {"time-out beside another", {false, true, ReceiveTimeout, 0, Pending}, AskAgain},
      {"reset in the body", {true, false, Transport, 200, Accepted}, AskAgain},
      {"time-out alone at its turn", {false, false, ReceiveTimeout, 0, Pending}, Final},
      {"redirect loop", {true, true, Redirect, 302, Pending}, Final},
      {"no room", {true, false, Abandoned, 200, Dropped}, AskAgain},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(JudgeFetch(c.facts), c.verdict);
  }
}

}  // namespace
}  // namespace kivo
