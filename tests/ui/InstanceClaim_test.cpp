// How a start meets the copy that holds the program folder, with the
// raises and lock attempts scripted round by round.
#include "ui/InstanceClaim.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "common/ProgramHome.h"

namespace kivo {
namespace {

using platform::LockAttempt;
using platform::LockFailure;
using platform::LockHolder;

// One round as the start sees it: does a running copy answer, and if not,
// what does the lock say.
enum class Round { Answers, Free, HeldByKivo, HeldUnnamed, HeldByCli, Unusable };

struct ClaimCase {
  const char* Name;
  std::vector<Round> Rounds;  // the last one repeats
  ClaimResult Result;
  int Pauses;
  LockHolder Named;  // for a refusal: the holder it names
};

void PrintTo(const ClaimCase& c, std::ostream* out) {
  *out << c.Name;
}

class InstanceClaimTest : public testing::TestWithParam<ClaimCase> {};

TEST_P(InstanceClaimTest, RaisesWaitsOrRefuses) {
  const ClaimCase& c = GetParam();
  test::ProgramHome home;
  size_t round = 0;
  int pauses = 0;
  const auto now = [&] { return c.Rounds[std::min(round, c.Rounds.size() - 1)]; };
  const Claim claim =
      ClaimProgramFolder(ClaimSteps{[&] { return now() == Round::Answers; },
                                    [&] {
                                      LockAttempt attempt;
                                      switch (now()) {
                                        case Round::Free:
                                          return platform::InstanceLock::Attempt(LockHolder::Kivo);
                                        case Round::Unusable:
                                          attempt.Failure = LockFailure::LockFileUnusable;
                                          return attempt;
                                        default:
                                          attempt.Failure = LockFailure::HeldElsewhere;
                                          attempt.Holder =
                                              now() == Round::HeldByKivo  ? LockHolder::Kivo
                                              : now() == Round::HeldByCli ? LockHolder::KivoCli
                                                                          : LockHolder::Unknown;
                                          return attempt;
                                      }
                                    },
                                    [&] {
                                      ++pauses;
                                      ++round;
                                    }});
  EXPECT_EQ(claim.Result, c.Result);
  EXPECT_EQ(claim.Attempt.Lock != nullptr, c.Result == ClaimResult::Claimed);
  EXPECT_EQ(pauses, c.Pauses);
  if (c.Result == ClaimResult::Refused) {
    EXPECT_EQ(claim.Attempt.Holder, c.Named);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, InstanceClaimTest,
    testing::Values(
        ClaimCase{"FreeFolder", {Round::Free}, ClaimResult::Claimed, 0, LockHolder::Unknown},
        ClaimCase{"RunningKivo", {Round::Answers}, ClaimResult::Raised, 0, LockHolder::Unknown},
        // Two kivo started at once: the loser waits for the winner's window.
        ClaimCase{"KivoAboutToListen",
                  {Round::HeldUnnamed, Round::HeldByKivo, Round::HeldByKivo, Round::Answers},
                  ClaimResult::Raised,
                  3,
                  LockHolder::Unknown},
        ClaimCase{"KivoThatEnded",
                  {Round::HeldByKivo, Round::Free},
                  ClaimResult::Claimed,
                  1,
                  LockHolder::Unknown},
        ClaimCase{"KivoCli", {Round::HeldByCli}, ClaimResult::Refused, 0, LockHolder::KivoCli},
        ClaimCase{"KivoCliNamedLate",
                  {Round::HeldUnnamed, Round::HeldByCli},
                  ClaimResult::Refused,
                  1,
                  LockHolder::KivoCli},
        ClaimCase{"KivoThatNeverListens",
                  {Round::HeldByKivo},
                  ClaimResult::Refused,
                  kRoundsForKivo - 1,
                  LockHolder::Kivo},
        ClaimCase{"HolderThatNeverNamesItself",
                  {Round::HeldUnnamed},
                  ClaimResult::Refused,
                  kRoundsForName - 1,
                  LockHolder::Unknown},
        ClaimCase{
            "UnusableLockFile", {Round::Unusable}, ClaimResult::Refused, 0, LockHolder::Unknown}),
    [](const testing::TestParamInfo<ClaimCase>& info) { return info.param.Name; });

}  // namespace
}  // namespace kivo
