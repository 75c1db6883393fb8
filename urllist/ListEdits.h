#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "urllist/UrlList.h"

namespace kivo {

// The edits of the list that the main window and kivo-cli both make, and the
// update-time text that both show, written once so that the two agree row
// for row.

// Removes one row from the list. A view over the list passes its own, which
// tells the view of the row it loses; by default the row is simply taken.
using RemoveRow = std::function<void(int32_t row)>;

// Deletes `rows` (in any order; repeated rows and rows outside the list are
// ignored) from the last to the first, so that the rows still to go keep
// their indexes. Returns the row to select afterwards: the lowest deleted
// row, or the new last row when that is past the end; -1 when nothing was
// deleted or the list is now empty.
int32_t DeleteRows(UrlList& list, std::span<const int32_t> rows, const RemoveRow& remove = {});

// Clears the update time of each of `rows` (rows outside the list are
// ignored), so that the next patrol fetches those pages whatever their
// modification time. Returns how many entries were changed.
int32_t ResetUpdateTimes(UrlList& list, std::span<const int32_t> rows);

// Returns the update-time column's text: LastTime as "yyyy/mm/dd hh:mm" (GMT,
// as the server sent it; seconds are not shown), or "----/--/-- --:--" when
// the entry has none.
std::u16string LastTimeText(const UrlEntry& entry);

}  // namespace kivo
