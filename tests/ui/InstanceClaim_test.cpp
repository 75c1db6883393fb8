// How a start meets the copy that holds the program folder, with the
// raises and lock attempts scripted round by round.
#include "ui/InstanceClaim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "common/ProgramHome.h"

namespace kivo {
namespace {

using platform::LockHolder;

struct ClaimCase {
  const char* Name;
  // One letter a round, the last one repeated: A a running copy answers,
  // F the lock is free, K held by Kivo, U held by a holder not named yet,
  // C held by kivo-cli, X the lock file is unusable.
  std::string Rounds;
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
  const auto now = [&] { return c.Rounds[std::min(round, c.Rounds.size() - 1)]; };
  const Claim claim =
      ClaimProgramFolder(ClaimSteps{[&] { return now() == 'A'; },
                                    [&] {
                                      if (now() == 'F') {
                                        return platform::InstanceLock::Attempt(LockHolder::Kivo);
                                      }
                                      platform::LockAttempt attempt;
                                      attempt.Failure =
                                          now() == 'X' ? platform::LockFailure::LockFileUnusable
                                                       : platform::LockFailure::HeldElsewhere;
                                      attempt.Holder = now() == 'K'   ? LockHolder::Kivo
                                                       : now() == 'C' ? LockHolder::KivoCli
                                                                      : LockHolder::Unknown;
                                      return attempt;
                                    },
                                    [&] { ++round; }});
  EXPECT_EQ(claim.Result, c.Result);
  EXPECT_EQ(claim.Attempt.Lock != nullptr, c.Result == ClaimResult::Claimed);
  EXPECT_EQ(static_cast<int>(round), c.Pauses);
  EXPECT_EQ(claim.Attempt.Holder, c.Named);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InstanceClaimTest,
    testing::Values(
        ClaimCase{"FreeFolder", "F", ClaimResult::Claimed, 0, LockHolder::Unknown},
        ClaimCase{"RunningKivo", "A", ClaimResult::Raised, 0, LockHolder::Unknown},
        // Two kivo started at once: the loser waits for the winner's window.
        ClaimCase{"KivoAboutToListen", "UKKA", ClaimResult::Raised, 3, LockHolder::Unknown},
        ClaimCase{"KivoThatEnded", "KF", ClaimResult::Claimed, 1, LockHolder::Unknown},
        ClaimCase{"KivoCli", "C", ClaimResult::Refused, 0, LockHolder::KivoCli},
        ClaimCase{"KivoCliNamedLate", "UC", ClaimResult::Refused, 1, LockHolder::KivoCli},
        ClaimCase{"KivoThatNeverListens", "K", ClaimResult::Refused, kRoundsForKivo - 1,
                  LockHolder::Kivo},
        ClaimCase{"HolderNeverNamed", "U", ClaimResult::Refused, kRoundsForName - 1,
                  LockHolder::Unknown},
        ClaimCase{"UnusableLockFile", "X", ClaimResult::Refused, 0, LockHolder::Unknown}),
    [](const testing::TestParamInfo<ClaimCase>& info) { return info.param.Name; });

}  // namespace
}  // namespace kivo
