#pragma once

#include <string>
#include <vector>

#include "common/TempDir.h"
#include "patrol/HistoryRecords.h"

// Checks for the history's tests, made and read back briefly.
namespace kivo::test {

inline constexpr int64_t kNow = 1796638500000;  // 2026-12-07 10:15:00 UTC

// A check of `url` at `at` with `outcome`, the copy it stored and the copy it follows.
inline HistoryCheck Check(int64_t at, const std::string& url, CheckOutcome outcome,
                          const std::string& stored = {}, const std::string& follows = {},
                          CheckedKind kind = CheckedKind::EntryPage) {
  HistoryCheck check;
  check.CheckedAt = at;
  check.Url = U16(url);
  check.Kind = kind;
  check.Outcome = outcome;
  check.StoredPath = U16(stored);
  check.FollowsPath = U16(follows);
  return check;
}

// The outcomes of `checks`, in their order.
inline std::vector<CheckOutcome> Outcomes(const std::vector<HistoryCheck>& checks) {
  std::vector<CheckOutcome> outcomes;
  for (const HistoryCheck& check : checks) {
    outcomes.push_back(check.Outcome);
  }
  return outcomes;
}

}  // namespace kivo::test
