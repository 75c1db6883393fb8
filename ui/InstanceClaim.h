#pragma once

#include <functional>

#include "platform/InstanceLock.h"

namespace kivo {

// What a start of the program came to.
enum class ClaimResult {
  Claimed,  // this copy holds the program folder and runs
  Raised,   // the copy already running came to the front; this one ends
  Refused,  // the folder is held by something that cannot be raised, or unusable
};

// The outcome of ClaimProgramFolder: the lock when Claimed, why not when
// Refused.
struct Claim {
  ClaimResult Result = ClaimResult::Refused;
  platform::LockAttempt Attempt;
};

// The steps of a claim; the program runs the real ones, tests script them.
struct ClaimSteps {
  std::function<bool()> Raise;                     // asks a running copy to come to the front
  std::function<platform::LockAttempt()> TryLock;  // one attempt at the instance lock
  std::function<void()> Pause;                     // waits a moment before the next round
};

// How many rounds a start waits for a holder that may yet answer: a Kivo
// that took the lock an instant ago listens for later starts only once its
// window is being made, and a holder names itself just after it took the
// lock. With the program's pause of 50 ms, that is 5 s and 200 ms.
inline constexpr int kRoundsForKivo = 100;
inline constexpr int kRoundsForName = 4;

// Takes the program folder for this start, or brings the copy that holds it
// to the front: a running Kivo is raised, and one that is only starting is
// waited for until it answers; kivo-cli, an unusable folder or lock file,
// and a holder that never answers refuse the start.
Claim ClaimProgramFolder(const ClaimSteps& steps);

}  // namespace kivo
