#pragma once

#include <cstdint>
#include <span>

#include "patrol/PatrolList.h"
#include "urllist/UrlList.h"

namespace kivo {

// Which entries a patrol takes: every entry, or the chosen rows.
enum class PatrolScope { All, Selected };

// Readies a patrol as both front ends start one: numbers every entry's
// ListIndex with its row, so that the worker can name the row it changes,
// appends the entries to take to `patrolList` (every entry in list order for
// All, otherwise those of `rows` in the order given, rows outside the list
// left out; none at all is a valid, empty patrol), and installs the
// placeholder image that the rewritten pages refer to.
void PreparePatrol(UrlList& list, PatrolScope scope, std::span<const int32_t> rows,
                   PatrolList& patrolList);

}  // namespace kivo
