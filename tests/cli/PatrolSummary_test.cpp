#include "cli/PatrolSummary.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

// The reasons are named only when they occur, in a fixed order, and "same
// content" is worded by what the change test compared.
TEST(PatrolSummary, CountsEachOutcomeAndSaysWhyEntriesWereUnchanged) {
  const struct {
    PatrolCounts Counts;
    ChangeTest Test;
    const char* Line;
  } cases[] = {
      {{0, 0, 0, 0, 0}, ChangeTest::SameText, "patrol: 0 updated, 0 unchanged, 0 failed"},
      {{2, 1, 0, 3, 1},
       ChangeTest::SameText,
       "patrol: 2 updated, 4 unchanged (1 by Last-Modified, 3 with the same text), 1 failed"},
      {{0, 0, 5, 1, 0},
       ChangeTest::SameBytes,
       "patrol: 0 updated, 6 unchanged (5 by 304, 1 with the same bytes), 0 failed"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PatrolSummary(c.Counts, c.Test), c.Line);
  }
}

}  // namespace
}  // namespace kivo
