#include "html/SequenceDiff.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <unordered_map>

namespace kivo {
namespace {

// dtl's comparison, counting down a budget. Once the budget is spent every
// pair compares unequal: dtl's search then only widens, without walking any
// further along the sequences, until it reaches the end or its own limit
// of recorded coordinates, where it gives the rest up as removed and added.
// Such a script is too poor to show, and is thrown away.
class BudgetedEquality {
 public:
  explicit BudgetedEquality(int64_t* budget) : budget_(budget) {}

  bool impl(const uint32_t& a, const uint32_t& b) const {
    if (*budget_ <= 0) {
      return false;
    }
    --*budget_;
    return a == b;
  }

 private:
  int64_t* budget_ = nullptr;
};

// At least this many symbols must be removed or added: those that one side
// has more often than the other.
int64_t LowerBoundOfEdits(const std::vector<uint32_t>& before, const std::vector<uint32_t>& after) {
  std::unordered_map<uint32_t, int64_t> balance;
  for (uint32_t symbol : before) {
    ++balance[symbol];
  }
  for (uint32_t symbol : after) {
    --balance[symbol];
  }
  int64_t edits = 0;
  for (const auto& [symbol, count] : balance) {
    edits += count < 0 ? -count : count;
  }
  return edits;
}

// True when dtl stopped at its own limit of recorded coordinates and gave
// the rest up. Its search records one coordinate per diagonal in each round,
// delta + 2p + 1 in round p, and needs (D - delta) / 2 + 1 rounds for an edit
// distance D; only a search that reached the limit took more.
bool StoppedAtDtlLimit(int64_t editDistance, size_t before, size_t after) {
  const auto delta = static_cast<int64_t>(before > after ? before - after : after - before);
  const int64_t rounds = (editDistance - delta) / 2 + 1;
  const int64_t coordinates = rounds * (delta + 1) + (rounds - 1) * rounds;
  return coordinates >= static_cast<int64_t>(dtl::MAX_CORDINATES_SIZE);
}

}  // namespace

std::optional<std::vector<EditStep>> DiffSequences(const std::vector<uint32_t>& before,
                                                   const std::vector<uint32_t>& after,
                                                   int64_t& budget) {
  const auto total = static_cast<int64_t>(before.size() + after.size());
  // The search of dtl costs about (M + N) * D / 4 comparisons for D edits
  // when the sequences share little; refuse a pair whose lower bound on D
  // already costs more than the budget has left, before spending anything.
  if (budget <= 0 || total * (LowerBoundOfEdits(before, after) / 4) > budget) {
    budget = std::min<int64_t>(budget, 0);
    return std::nullopt;
  }
  dtl::Diff<uint32_t, std::vector<uint32_t>, BudgetedEquality> diff(before, after,
                                                                    BudgetedEquality(&budget));
  // Past its limit of recorded coordinates dtl gives the rest up as removed
  // and added instead of starting over on it, which bounds its memory and time.
  diff.onUnserious();
  diff.compose();
  if (budget <= 0 || StoppedAtDtlLimit(diff.getEditDistance(), before.size(), after.size())) {
    budget = std::min<int64_t>(budget, 0);
    return std::nullopt;
  }
  std::vector<EditStep> steps;
  steps.reserve(static_cast<size_t>(total));
  for (const auto& [symbol, info] : diff.getSes().getSequence()) {
    steps.push_back(info.type == dtl::SES_COMMON   ? EditStep::Keep
                    : info.type == dtl::SES_DELETE ? EditStep::Remove
                                                   : EditStep::Add);
  }
  return steps;
}

}  // namespace kivo
