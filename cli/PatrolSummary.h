#pragma once

#include <string>

#include "patrol/HistoryRecords.h"
#include "urllist/Settings.h"

namespace kivo {

// Returns the line that ends a patrol's progress, for the user entries it
// checked: how many were updated, how many were unchanged and why (by their
// Last-Modified time, by a 304 answer, or with the same text or bytes as
// `test` compares them), and how many failed, e.g. "patrol: 2 updated,
// 3 unchanged (1 by Last-Modified, 2 by 304), 1 failed".
std::string PatrolSummary(const PatrolCounts& counts, ChangeTest test);

}  // namespace kivo
