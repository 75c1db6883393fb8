#include "cli/PatrolSummary.h"

#include <utility>
#include <vector>

namespace kivo {

std::string PatrolSummary(const PatrolCounts& counts, ChangeTest test) {
  const uint32_t unchanged = counts.UnchangedLastModified + counts.NotModified + counts.SameContent;
  std::string line = "patrol: " + std::to_string(counts.Updated) + " updated, " +
                     std::to_string(unchanged) + " unchanged";
  const std::pair<uint32_t, const char*> reasons[] = {
      {counts.UnchangedLastModified, " by Last-Modified"},
      {counts.NotModified, " by 304"},
      {counts.SameContent,
       test == ChangeTest::SameBytes ? " with the same bytes" : " with the same text"},
  };
  std::string why;
  for (const auto& [count, reason] : reasons) {
    if (count != 0) {
      why += (why.empty() ? "" : ", ") + std::to_string(count) + reason;
    }
  }
  if (!why.empty()) {
    line += " (" + why + ")";
  }
  return line + ", " + std::to_string(counts.Failed) + " failed";
}

}  // namespace kivo
