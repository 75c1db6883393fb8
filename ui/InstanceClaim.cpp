#include "ui/InstanceClaim.h"

namespace kivo {

Claim ClaimProgramFolder(const ClaimSteps& steps) {
  for (int round = 1;; ++round) {
    if (steps.Raise()) {
      return Claim{ClaimResult::Raised, {}};
    }
    platform::LockAttempt attempt = steps.TryLock();
    if (attempt.Lock != nullptr) {
      return Claim{ClaimResult::Claimed, std::move(attempt)};
    }
    // Only another Kivo will answer, and a holder that has not named itself
    // yet may turn out to be one.
    int rounds = 0;
    if (attempt.Failure == platform::LockFailure::HeldElsewhere) {
      switch (attempt.Holder) {
        case platform::LockHolder::Kivo:
          rounds = kRoundsForKivo;
          break;
        case platform::LockHolder::Unknown:
          rounds = kRoundsForName;
          break;
        default:
          break;
      }
    }
    if (round >= rounds) {
      return Claim{ClaimResult::Refused, std::move(attempt)};
    }
    steps.Pause();
  }
}

}  // namespace kivo
