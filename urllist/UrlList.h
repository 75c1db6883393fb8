#pragma once

#include "support/OwnedPtrArray.h"
#include "urllist/UrlEntry.h"

namespace kivo {

// The ordered list of every watched page; its order is the row order of the
// list view. The list owns its entries: removing one hands it back as a
// unique_ptr, and destroying the list frees every entry left in it.
using UrlList = OwnedPtrArray<UrlEntry>;

}  // namespace kivo
